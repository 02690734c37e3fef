// Program entry: the Windows backends and the program itself, then the message loop.
#include <windows.h>
#undef MessageBox

#include "app/App.h"
#include "app/Platform.h"
#include "platform/Backends_win.h"
#include "platform/Profile_win.h"
#include "platform/forms/Gui_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // The system DLLs the program loads on first use (sound, dial-up, COM, crypto) are found by bare name,
    // and the program's own folder, often Downloads, would be searched first: a DLL planted there would
    // run as the user. From here on only the system folder is searched.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    platform::Win32Gui gui(instance);
    platform::Win32Regions regions;
    platform::Win32Profile profile;
    platform::Win32Mci mci;
    platform::Win32DialUp dialUp;
    platform::Win32Browser browser;
    platform::Platform platform{gui, regions, profile, mci, dialUp, browser};

    app::App app(platform);
    app.Start();
    return gui.RunMessageLoop();
}
