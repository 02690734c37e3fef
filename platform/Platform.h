// Everything outside the program's own logic, gathered so each window reaches it through one reference.
#pragma once

#include "platform/Browser.h"
#include "platform/DialUp.h"
#include "platform/MailLibrary.h"
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
    MailLibrary& mail;
};

}  // namespace platform
