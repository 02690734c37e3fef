// The window system for the real program: screen metrics, message boxes, resources, ending the process
// and the message loop that lets the dialog manager handle Tab, Enter and Esc in every form.
#include "platform/forms/Gui_win.h"

#include <string>
#include <utility>
#include <vector>

#include "platform/forms/UiFont_win.h"

namespace platform {

namespace {

constexpr int kIconResource = 1;

float TwipsPerPixel(int capability) {
    win::ScopedGetDC screen(nullptr);
    int dpi = GetDeviceCaps(screen.Get(), capability);
    return 1440.0f / float(dpi > 0 ? dpi : 96);
}

HICON LoadProgramIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                         GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric), 0));
}

// "frames/girl0.gif" and "girl0.gif" both name the resource GIRL0.GIF.
std::wstring ResourceName(std::string_view name) {
    if (size_t slash = name.find_last_of("/\\"); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    std::wstring wide;
    for (char ch : name)
        wide += wchar_t(ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : static_cast<unsigned char>(ch));
    return wide;
}

// While a message box is open no window of the program takes input: every form of the thread but the
// box's owner is disabled (the box disables its owner itself, and gives it the activation back when it
// closes), and so is a form that a timer creates meanwhile. Exactly the forms disabled here are enabled
// again. Timers go on ticking: the box's message loop still dispatches them.
class ProgramModal {
public:
    explicit ProgramModal(HWND owner) : owner_(owner), outer_(std::exchange(open_, this)) { DisableForms(); }
    ~ProgramModal() {
        open_ = outer_;
        for (HWND form : disabled_) {
            if (IsWindow(form))
                EnableWindow(form, TRUE);
        }
    }
    ProgramModal(const ProgramModal&) = delete;
    ProgramModal& operator=(const ProgramModal&) = delete;

    static void FormCreated() {
        if (open_)
            open_->DisableForms();
    }

private:
    void DisableForms() { EnumThreadWindows(GetCurrentThreadId(), &DisableForm, reinterpret_cast<LPARAM>(this)); }
    static BOOL CALLBACK DisableForm(HWND window, LPARAM self) {
        auto* scope = reinterpret_cast<ProgramModal*>(self);
        if (window != scope->owner_ && win::FormWindow::IsForm(window) && IsWindowEnabled(window)) {
            EnableWindow(window, FALSE);
            scope->disabled_.push_back(window);
        }
        return TRUE;
    }

    static inline ProgramModal* open_ = nullptr;  // the innermost open box; all forms live on one thread
    HWND owner_;
    ProgramModal* outer_;
    std::vector<HWND> disabled_;
};

}  // namespace

Win32Gui::Win32Gui(HINSTANCE instance)
    : font_(win::CreateUiFont()),
      bigIcon_(LoadProgramIcon(instance, SM_CXICON, SM_CYICON)),
      smallIcon_(LoadProgramIcon(instance, SM_CXSMICON, SM_CYSMICON)) {
    ui_.instance = instance;
    ui_.font = font_.Get();
    ui_.bigIcon = bigIcon_.Get();
    ui_.smallIcon = smallIcon_.Get();
    ui_.twipsPerPixelX = TwipsPerPixel(LOGPIXELSX);
    ui_.twipsPerPixelY = TwipsPerPixel(LOGPIXELSY);
    ui_.pictures = &pictures_;
    win::FormWindow::RegisterWindowClass(instance);
}

Win32Gui::~Win32Gui() = default;

std::unique_ptr<NativeWindow> Win32Gui::CreateNativeWindow(const FormDef& def, WindowEvents& events) {
    auto window = std::make_unique<win::FormWindow>(ui_, def, events);
    ProgramModal::FormCreated();
    return window;
}

int Win32Gui::ScreenWidthPixels() const {
    return GetSystemMetrics(SM_CXSCREEN);
}

int Win32Gui::ScreenHeightPixels() const {
    return GetSystemMetrics(SM_CYSCREEN);
}

int Win32Gui::MessageBox(std::wstring_view text, std::wstring_view title, int style) {
    HWND owner = GetActiveWindow();
    ProgramModal modal(owner);
    return MessageBoxW(owner, std::wstring(text).c_str(), std::wstring(title).c_str(), UINT(style));
}

std::wstring Win32Gui::ProgramFolder() const {
    return ExecutableFolder();
}

std::wstring ExecutableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L'\\');
    std::wstring folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    if (folder.size() == 2 && folder[1] == L':')
        folder += L'\\';  // a drive root keeps its separator
    return folder;
}

std::string Win32Gui::LoadResource(std::string_view name) {
    HRSRC found = FindResourceW(ui_.instance, ResourceName(name).c_str(), RT_RCDATA);
    if (!found)
        return {};
    HGLOBAL loaded = ::LoadResource(ui_.instance, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return {};
    return std::string(static_cast<const char*>(bytes), SizeofResource(ui_.instance, found));
}

void Win32Gui::EndProgram() {
    ExitProcess(0);
}

void Win32Gui::RuntimeError(int number, std::wstring_view description) {
    win::FormWindow::BlockEvents();
    std::wstring text = L"実行時エラー '" + std::to_wstring(number) + L"':\n\n" + std::wstring(description);
    // Task-modal: with no owner, this still keeps the user out of every window until the program ends.
    MessageBoxW(nullptr, text.c_str(), L"Sorabune", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    ExitProcess(0);
}

int Win32Gui::RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        HWND active = GetActiveWindow();
        if (!win::FormWindow::IsForm(active) || !IsDialogMessageW(active, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        win::FormWindow::TrackFocus();
    }
    return int(msg.wParam);
}

}  // namespace platform
