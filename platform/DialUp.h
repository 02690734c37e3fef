// The remote-access (dial-up) service: enumerate the active connections and hang them up.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

using DialUpConnection = std::uint64_t;  // HRASCONN

class DialUp {
public:
    virtual ~DialUp() = default;
    // RasEnumConnectionsA into a table of 256 records. Returns 0 on success, with the handles in order.
    virtual std::uint32_t EnumConnections(std::vector<DialUpConnection>& connections) = 0;
    virtual std::uint32_t HangUp(DialUpConnection connection) = 0;
};

}  // namespace platform
