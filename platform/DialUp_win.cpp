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

// The service's headers declare their records with 4-byte packing, and it refuses any size but those of
// its own records: on x64 the handle sits at offset 4 and the record is 416 bytes, not the 424 that
// natural alignment gives.
#pragma pack(push, 4)
struct RasConnRecord {
    DWORD dwSize;
    HRASCONN hrasconn;
    CHAR szEntryName[RAS_MaxEntryName + 1];
    CHAR szDeviceType[RAS_MaxDeviceType + 1];
    CHAR szDeviceName[RAS_MaxDeviceName + 1];
};
#pragma pack(pop)
// The same places as the system's own, longer record, of which this is the first version.
static_assert(offsetof(RasConnRecord, hrasconn) == offsetof(RASCONNA, hrasconn));
static_assert(offsetof(RasConnRecord, szEntryName) == offsetof(RASCONNA, szEntryName));
static_assert(offsetof(RasConnRecord, szDeviceType) == offsetof(RASCONNA, szDeviceType));
static_assert(offsetof(RasConnRecord, szDeviceName) == offsetof(RASCONNA, szDeviceName));
static_assert(sizeof(RasConnRecord) == (offsetof(RASCONNA, szPhonebook) + 3) / 4 * 4);
static_assert(RAS_MaxEntryName + 1 == 257 && RAS_MaxDeviceType + 1 == 17 && RAS_MaxDeviceName + 1 == 129);
#ifdef _WIN64
static_assert(sizeof(RasConnRecord) == 416 && offsetof(RasConnRecord, hrasconn) == 4);
#else
static_assert(sizeof(RasConnRecord) == 412 && offsetof(RasConnRecord, hrasconn) == 4);
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
