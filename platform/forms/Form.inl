#pragma once

#include "platform/base/RuntimeError.h"

namespace platform {

template <typename F>
void RunHandler(Gui& gui, F&& handler) {
    try {
        handler();
    } catch (const RuntimeErrorException& e) {
        gui.RuntimeError(e.number, e.description);
    }
}

}  // namespace platform
