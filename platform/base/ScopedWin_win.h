// Owners for window-system handles: each releases its handle with the one call that matches it.
// The generic owner (Scoped.h) over Win32's kinds of handle, and the owners that hold more than a handle.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <utility>

#include "platform/base/Scoped.h"

namespace platform::win {

using platform::Scoped;

template <typename T>
struct GdiTraits {
    using Handle = T;
    static T Empty() { return nullptr; }
    static void Free(T h) { ::DeleteObject(h); }
};

struct IconTraits {
    using Handle = HICON;
    static HICON Empty() { return nullptr; }
    static void Free(HICON h) { ::DestroyIcon(h); }
};

struct WindowTraits {
    using Handle = HWND;
    static HWND Empty() { return nullptr; }
    static void Free(HWND h) { ::DestroyWindow(h); }
};

struct BstrTraits {
    using Handle = BSTR;
    static BSTR Empty() { return nullptr; }
    static void Free(BSTR s) { ::SysFreeString(s); }
};

using ScopedFont = Scoped<GdiTraits<HFONT>>;
using ScopedBrush = Scoped<GdiTraits<HBRUSH>>;
using ScopedPen = Scoped<GdiTraits<HPEN>>;
using ScopedBitmap = Scoped<GdiTraits<HBITMAP>>;
using ScopedRegion = Scoped<GdiTraits<HRGN>>;
using ScopedIcon = Scoped<IconTraits>;
using ScopedWindow = Scoped<WindowTraits>;
using ScopedBstr = Scoped<BstrTraits>;

// A device context borrowed with GetDC.
class ScopedGetDC {
public:
    explicit ScopedGetDC(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    ~ScopedGetDC() {
        if (dc_)
            ::ReleaseDC(hwnd_, dc_);
    }
    ScopedGetDC(const ScopedGetDC&) = delete;
    ScopedGetDC& operator=(const ScopedGetDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// A memory DC; restores the bitmap it started with before deletion.
class ScopedMemDC {
public:
    explicit ScopedMemDC(HDC compatibleWith) : dc_(::CreateCompatibleDC(compatibleWith)) {}
    ~ScopedMemDC() {
        if (old_)
            ::SelectObject(dc_, old_);
        if (dc_)
            ::DeleteDC(dc_);
    }
    ScopedMemDC(const ScopedMemDC&) = delete;
    ScopedMemDC& operator=(const ScopedMemDC&) = delete;
    HDC Get() const { return dc_; }
    void Select(HGDIOBJ object) {
        HGDIOBJ previous = ::SelectObject(dc_, object);
        if (!old_)
            old_ = previous;
    }

private:
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

// Selects an object into a DC for one scope.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
    ~ScopedSelect() { ::SelectObject(dc_, old_); }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// One reference to a COM object.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* operator->() const { return ptr_; }
    T* Get() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    T** Put() {
        Reset();
        return &ptr_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() {
        if (ptr_)
            ptr_->Release();
        ptr_ = nullptr;
    }

private:
    T* ptr_ = nullptr;
};

// COM for the calling thread, in a single-threaded apartment without OLE1 DDE (as ShellExecute asks), for one
// scope.
class ScopedCom {
public:
    ScopedCom() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ScopedCom() {
        if (SUCCEEDED(hr_))
            ::CoUninitialize();
    }
    ScopedCom(const ScopedCom&) = delete;
    ScopedCom& operator=(const ScopedCom&) = delete;

private:
    HRESULT hr_;
};

}  // namespace platform::win
