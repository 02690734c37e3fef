// A stand-in for the remote-access service, which Wine only stubs (it never reports a connection). It has
// two connections whose handles do not fit in 32 bits and answers RasEnumConnectionsA as Windows documents:
// only the record sizes of the SDK's versions of RASCONNA are taken, else ERROR_INVALID_SIZE; a buffer too
// small for both gives ERROR_BUFFER_TOO_SMALL and the size needed. Every RasHangUpA is appended, as a hex
// handle on a line of its own, to the file the environment variable SORABUNE_RAS_LOG names.
#include <windows.h>

#include <ras.h>
#include <raserror.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

#pragma pack(push, 4)
struct RasConnNewest {  // the SDK's record for Windows Vista and later
    RASCONNA upToXp;
    GUID guidCorrelationId;
};
#pragma pack(pop)

// Each version of the record ends where the next one's first member begins (ras.h packs to 4 bytes).
constexpr DWORD kRecordSizes[] = {
    (offsetof(RASCONNA, szPhonebook) + 3) / 4 * 4,  // the first: names only
    offsetof(RASCONNA, guidEntry),                  // + szPhonebook, dwSubEntry
    offsetof(RASCONNA, dwFlags),                    // + guidEntry
    sizeof(RASCONNA),                               // + dwFlags, luid
    sizeof(RasConnNewest),                          // + guidCorrelationId
};
#ifdef _WIN64
static_assert(kRecordSizes[0] == 416 && kRecordSizes[1] == 680 && kRecordSizes[2] == 696 && kRecordSizes[3] == 708 &&
              kRecordSizes[4] == 724);
#else
static_assert(kRecordSizes[0] == 412 && kRecordSizes[1] == 676 && kRecordSizes[2] == 692 && kRecordSizes[3] == 704 &&
              kRecordSizes[4] == 720);
#endif

const UINT_PTR kConnections[] = {UINT_PTR(0x123400000001ull), UINT_PTR(0x567800000002ull)};
constexpr DWORD kCount = sizeof kConnections / sizeof kConnections[0];

bool KnownSize(DWORD size) {
    for (DWORD known : kRecordSizes) {
        if (size == known)
            return true;
    }
    return false;
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI RasEnumConnectionsA(LPRASCONNA table, LPDWORD bytes, LPDWORD count) {
    if (!bytes || !count)
        return ERROR_INVALID_PARAMETER;
    DWORD size = table ? table->dwSize : kRecordSizes[0];
    if (table && !KnownSize(size))
        return ERROR_INVALID_SIZE;
    if (!table || *bytes < size * kCount) {
        *bytes = size * kCount;
        *count = kCount;
        return ERROR_BUFFER_TOO_SMALL;
    }
    for (DWORD i = 0; i < kCount; ++i) {
        char* record = reinterpret_cast<char*>(table) + i * size;
        std::memset(record, 0, size);
        std::memcpy(record + offsetof(RASCONNA, dwSize), &size, sizeof size);
        std::memcpy(record + offsetof(RASCONNA, hrasconn), &kConnections[i], sizeof kConnections[i]);
        std::snprintf(record + offsetof(RASCONNA, szEntryName), RAS_MaxEntryName + 1, "Connection %lu", i + 1);
        std::strcpy(record + offsetof(RASCONNA, szDeviceType), "modem");
        std::strcpy(record + offsetof(RASCONNA, szDeviceName), "Stand-in modem");
    }
    *bytes = size * kCount;
    *count = kCount;
    return 0;
}

extern "C" __declspec(dllexport) DWORD WINAPI RasHangUpA(HRASCONN connection) {
    char path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("SORABUNE_RAS_LOG", path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        if (FILE* log = std::fopen(path, "a")) {
            std::fprintf(log, "%llx\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(connection)));
            std::fclose(log);
        }
    }
    for (UINT_PTR known : kConnections) {
        if (reinterpret_cast<UINT_PTR>(connection) == known)
            return 0;
    }
    return ERROR_INVALID_HANDLE;
}
