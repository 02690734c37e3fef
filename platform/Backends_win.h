// The Windows implementations of the thin outside-service interfaces: window regions (gdi32),
// multimedia command strings (winmm), dial-up connections (rasapi32) and the browser (COM, shell32).
#pragma once

#include "platform/Browser.h"
#include "platform/DialUp.h"
#include "platform/Mci.h"
#include "platform/base/Region.h"

namespace platform {

class Win32Regions final : public Regions {
public:
    RegionHandle CreateRectRgn(int left, int top, int right, int bottom) override;
    int CombineRgn(RegionHandle dest, RegionHandle src1, RegionHandle src2, int mode) override;
    std::uint32_t GetRegionData(RegionHandle region, std::uint32_t size, void* data) override;
    RegionHandle ExtCreateRegion(const Xform* xform, std::uint32_t count, const void* data) override;
    bool DeleteObject(RegionHandle region) override;
};

class Win32Mci final : public Mci {
public:
    std::uint32_t SendString(std::wstring_view command) override;
    std::wstring ShortPath(std::wstring_view path) override;
};

class Win32DialUp final : public DialUp {
public:
    std::uint32_t EnumConnections(std::vector<DialUpConnection>& connections) override;
    std::uint32_t HangUp(DialUpConnection connection) override;
};

class Win32Browser final : public Browser {
public:
    bool NavigateInternetExplorer(std::wstring_view url) override;
    void OpenDefault(std::wstring_view url) override;
};

}  // namespace platform
