#include "mailcheck/DialUpDisconnect.h"

#include <vector>

namespace mailcheck {

void DisconnectDialUp(platform::DialUp& dialUp) {
    std::vector<platform::DialUpConnection> connections;
    if (dialUp.EnumConnections(connections) != 0)
        return;
    for (platform::DialUpConnection connection : connections)
        dialUp.HangUp(connection);
}

}  // namespace mailcheck
