// Runs the mail check's call sequence through nmail once and prints what it fetched and how long it took:
// connect, log in, then for each message status, size, a fetch buffer of size + 1 spaces, fetch; close.
//
//   pop3_mailcheck_bench SERVER USER PASSWORD [apop] [--ca CA_PEM]
//
// --ca trusts one more root (a test CA) for a TLS server. The time of the connect call (TCP, greeting,
// CAPA and, with TLS, the handshake and certificate check) is printed on its own.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "platform/nmail/NMail.h"

using namespace nmail;

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s SERVER USER PASSWORD [apop] [--ca CA_PEM]\n", argv[0]);
        return 2;
    }
    bool apop = false;
    const char* ca = nullptr;
    for (int i = 4; i < argc; ++i) {
        if (std::string(argv[i]) == "apop")
            apop = true;
        else if (std::string(argv[i]) == "--ca" && i + 1 < argc)
            ca = argv[++i];
    }
    auto start = std::chrono::steady_clock::now();
    std::clock_t cpuStart = std::clock();
    NMailInitializeWinSock();
    NMailSetOption(kOptionTextCapacity, 8192);
    if (ca != nullptr && NMailSetOption(kOptionExtraRootFile, ca) != 0)
        std::fprintf(stderr, "cannot read %s\n", ca);
    std::vector<char> a(8192), b(8192), c(8192), d(8192);

    auto connectStart = std::chrono::steady_clock::now();
    int handle = NMailPop3Connect(argv[1]);
    double connectMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - connectStart).count();
    int count = handle >= 0 ? NMailPop3Authenticate(handle, argv[2], argv[3], apop ? -1 : 0) : -1;
    long long octets = 0;
    int failures = 0;
    for (int n = 1; n <= count; ++n) {
        failures += NMailPop3GetMailStatus(handle, n, a, b, c, d, 0) < 0;
        int size = NMailPop3GetMailSize(handle, n);
        std::vector<char> fetch(size_t(size < 0 ? 0 : size) + 1, ' ');
        failures += NMailPop3GetMail(handle, n, a, b, c, d, fetch, 0, 0) < 0;
        octets += size;
    }
    if (handle < 0 || count < 0) {
        int capacity = int(a.size());
        NMailGetMessage(0, a.data(), &capacity);
        std::fprintf(stderr, "failed: %s\n", a.data());
    }
    if (handle >= 0)
        NMailPop3Close(handle);
    NMailEndWinSock();

    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The check's own, finer than the 10 ms steps /usr/bin/time reports.
    double cpuMs = double(std::clock() - cpuStart) * 1000 / CLOCKS_PER_SEC;
    std::printf("messages %d  octets %lld  failed calls %d  connect %.1f ms  seconds %.3f  cpu %.1f ms\n", count,
                octets, failures, connectMs, seconds, cpuMs);
    return count < 0 || failures > 0 ? 1 : 0;
}
