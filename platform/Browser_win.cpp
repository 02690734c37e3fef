// The browser: the "InternetExplorer.Application" automation object bound by name at run time,
// and the shell's default handler for an address.
#include <windows.h>

#include <oleauto.h>
#include <shellapi.h>

#include <string>

#include "platform/Backends_win.h"
#include "platform/base/ScopedWin_win.h"

namespace platform {

namespace {

using win::ComPtr;

DISPID DispatchId(IDispatch* object, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
        return DISPID_UNKNOWN;
    return id;
}

HRESULT PutBool(IDispatch* object, const wchar_t* name, bool value) {
    DISPID id = DispatchId(object, name);
    if (id == DISPID_UNKNOWN)
        return DISP_E_UNKNOWNNAME;
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_BOOL;
    arg.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&arg, &named, 1, 1};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
}

HRESULT Call(IDispatch* object, const wchar_t* name, VARIANT* args, UINT count) {
    DISPID id = DispatchId(object, name);
    if (id == DISPID_UNKNOWN)
        return DISP_E_UNKNOWNNAME;
    DISPPARAMS params{args, nullptr, count, 0};
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    VariantClear(&result);
    return hr;
}

HRESULT CallWithString(IDispatch* object, const wchar_t* name, std::wstring_view text) {
    win::ScopedBstr bstr(::SysAllocStringLen(text.data(), UINT(text.size())));
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_BSTR;
    arg.bstrVal = bstr.Get();
    return Call(object, name, &arg, 1);
}

}  // namespace

bool Win32Browser::NavigateInternetExplorer(std::wstring_view url) {
    win::ScopedCom com;
    CLSID clsid;
    if (FAILED(::CLSIDFromProgID(L"InternetExplorer.Application", &clsid)))
        return false;
    ComPtr<IDispatch> browser;
    if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, browser.PutVoid())))
        return false;
    // Where the object is only a remnant (Windows 11 keeps the name but shows nothing), one of the two fails:
    // the caller then opens the default browser, and the remnant is told to go.
    if (SUCCEEDED(PutBool(browser.Get(), L"Visible", true)) &&
        SUCCEEDED(CallWithString(browser.Get(), L"Navigate", url)))
        return true;
    Call(browser.Get(), L"Quit", nullptr, 0);
    return false;
}

void Win32Browser::OpenDefault(std::wstring_view url) {
    win::ScopedCom com;  // ShellExecute may hand the address to a handler that uses COM
    ::ShellExecuteW(nullptr, L"open", std::wstring(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace platform
