// The remote-access service through its ANSI entry points, using the oldest connection record,
// which every version of the service accepts.
#include <windows.h>

#include <ras.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/Backends_win.h"

namespace platform {

namespace {

struct RasConnRecord {
    DWORD dwSize;
    HRASCONN hrasconn;
    CHAR szEntryName[RAS_MaxEntryName + 1];
    CHAR szDeviceType[RAS_MaxDeviceType + 1];
    CHAR szDeviceName[RAS_MaxDeviceName + 1];
};
static_assert(RAS_MaxEntryName + 1 == 257 && RAS_MaxDeviceType + 1 == 17 && RAS_MaxDeviceName + 1 == 129);
#ifdef _WIN64
static_assert(sizeof(RasConnRecord) == 424 && offsetof(RasConnRecord, hrasconn) == 8);
#else
static_assert(sizeof(RasConnRecord) == 412);
#endif

constexpr DWORD kTableRecords = 256;

}  // namespace

std::uint32_t Win32DialUp::EnumConnections(std::vector<DialUpConnection>& connections) {
    connections.clear();
    auto table = std::make_unique<RasConnRecord[]>(kTableRecords);
    table[0].dwSize = sizeof(RasConnRecord);
    DWORD bytes = sizeof(RasConnRecord) * kTableRecords;
    DWORD count = 0;
    DWORD result = ::RasEnumConnectionsA(reinterpret_cast<RASCONNA*>(table.get()), &bytes, &count);
    if (result == 0) {
        for (DWORD i = 0; i < count && i < kTableRecords; ++i)
            connections.push_back(DialUpConnection(reinterpret_cast<std::uintptr_t>(table[i].hrasconn)));
    }
    return result;
}

std::uint32_t Win32DialUp::HangUp(DialUpConnection connection) {
    return ::RasHangUpA(reinterpret_cast<HRASCONN>(static_cast<std::uintptr_t>(connection)));
}

}  // namespace platform
