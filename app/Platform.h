// The platform's services, gathered where the program is assembled (main_win.cpp, or the tests' headless
// program) so each window reaches them through one reference. The mail library is not among them: the
// program calls nmail's functions directly, and the tests link a recording stand-in in their place.
#pragma once

#include "platform/Browser.h"
#include "platform/DialUp.h"
#include "platform/Mci.h"
#include "platform/Profile.h"
#include "platform/base/Region.h"
#include "platform/forms/Gui.h"

namespace platform {

struct Platform {
    Gui& gui;
    Regions& regions;
    Profile& profile;
    Mci& mci;
    DialUp& dialUp;
    Browser& browser;
};

}  // namespace platform
