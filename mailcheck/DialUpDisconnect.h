// Hangs up every active dial-up connection, silently. A failed enumeration hangs up nothing.
#pragma once

#include "platform/DialUp.h"

namespace mailcheck {

void DisconnectDialUp(platform::DialUp& dialUp);

}  // namespace mailcheck
