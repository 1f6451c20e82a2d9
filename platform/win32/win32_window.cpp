// The intro's window on Win32: class "DemoTemplate" with icon resource 101, a WS_POPUP window covering
// a monitor (the primary one by default) or a fixed-size overlapped window, the message pump with WM_QUIT
// and the Escape key.
#include "platform/start_dialog.h"
#include "platform/win32/monitors.h"
#include "platform/window.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace window {

namespace {

HWND introWindow = nullptr;
std::vector<Key> keyPresses;

void recordKey(WPARAM virtualKey) {
    static constexpr std::pair<WPARAM, Key> kKeys[] = {
        {VK_SPACE, Key::Space},   {VK_LEFT, Key::Left}, {VK_RIGHT, Key::Right}, {VK_PRIOR, Key::PageUp},
        {VK_NEXT, Key::PageDown}, {VK_HOME, Key::Home}, {'L', Key::L},
    };
    for (const auto& [code, key] : kKeys)
        if (virtualKey == code) keyPresses.push_back(key);
}

constexpr wchar_t kClassName[] = L"DemoTemplate";
constexpr WORD kIconResource = 101;

// Closing the window from outside (Alt+F4, WM_CLOSE) destroys it, which ends the message loop; Alt and
// F10 must not open the system menu, whose modal loop would stall the frames.
LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_KEYMENU) return 0;
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::string systemError(const char* what) {
    return std::string(what) + " (error " + std::to_string(GetLastError()) + ")";
}

} // namespace

bool readDisplaySize(int display, ScreenSize* size, std::string* error) {
    const std::vector<Monitor> monitors = listMonitors();
    if (display >= int(monitors.size())) {
        *error = "no display " + std::to_string(display) + ": this machine has " +
                 std::to_string(monitors.size()) + " (0 is the primary one)";
        return false;
    }
    const RECT& r = monitors[size_t(display)].area;
    *size = {int(r.right - r.left), int(r.bottom - r.top)};
    if (size->width > 0 && size->height > 0) return true;
    *error = "cannot read the screen's size";
    return false;
}

bool createIntroWindow(const WindowPlacement& placement, NativeWindow* window, std::string* error) {
    const ScreenSize size = placement.size;
    HINSTANCE module = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_CLASSDC;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = module;
    windowClass.hIcon = LoadIconW(module, MAKEINTRESOURCEW(kIconResource));
    windowClass.lpszClassName = kClassName;
    // A second window of the process finds the class registered already.
    RegisterClassExW(&windowClass);
    // A normal window is movable but keeps its size: the show renders at the size it started with.
    const DWORD style =
        placement.windowed ? WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX : WS_POPUP;
    RECT frame{0, 0, size.width, size.height};
    AdjustWindowRect(&frame, style, FALSE);
    HWND handle =
        CreateWindowExW(0, kClassName, L"Mirelandt", style | WS_VISIBLE, 0, 0, frame.right - frame.left,
                        frame.bottom - frame.top, nullptr, nullptr, module, nullptr);
    if (!handle) {
        *error = systemError("cannot create the window");
        return false;
    }
    // Centred on its monitor, which for a full-screen window is the monitor's origin.
    const std::vector<Monitor> monitors = listMonitors();
    const RECT area = monitors.empty() ? RECT{0, 0, size.width, size.height}
                                       : monitors[size_t(placement.display) % monitors.size()].area;
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(handle, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    ShowWindow(handle, SW_SHOWDEFAULT);
    UpdateWindow(handle);
    if (!placement.windowed) ShowCursor(FALSE);
    introWindow = handle;
    *window = {WindowSystem::Win32, module, reinterpret_cast<uintptr_t>(handle)};
    return true;
}

std::vector<Key> takeKeyPresses() {
    return std::exchange(keyPresses, {});
}

void setWindowTitle(const std::string& title) {
    if (introWindow) SetWindowTextA(introWindow, title.c_str());
}

bool pumpMessages(bool* escapePressed) {
    bool quit = false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) quit = true;
        if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) *escapePressed = true;
        if (message.message == WM_KEYDOWN) recordKey(message.wParam);
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return quit;
}

bool windowHasArea() {
    RECT client{};
    return introWindow && !IsIconic(introWindow) && GetClientRect(introWindow, &client) &&
           client.right > client.left && client.bottom > client.top;
}

bool escapeDown() {
    // Only the key's state now: the "pressed since the last query" bit can be left over from another
    // program (one that quit on the key message without asking), and would end this one at once.
    return (GetAsyncKeyState(VK_ESCAPE) & 0x8000) != 0;
}

void attachParentConsole() {
    // A windowed program starts without a console: its lines go to the console of the command prompt that
    // started it. Output the caller redirected to a file or pipe has its handle already.
    const HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
    const HANDLE standardOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    const bool noError = standardError == nullptr || standardError == INVALID_HANDLE_VALUE;
    const bool noOutput = standardOutput == nullptr || standardOutput == INVALID_HANDLE_VALUE;
    if ((noError || noOutput) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        if (noError) std::freopen("CONOUT$", "w", stderr);
        if (noOutput) std::freopen("CONOUT$", "w", stdout);
    }
}

void reportStartFailure(const std::string& reason) {
    attachParentConsole();
    std::fprintf(stderr, "mirelandt: %s\n", reason.c_str());
    std::fflush(stderr);

    if (!dialogsWanted()) return;
    const std::string text = "Mirelandt cannot start: " + reason;
    std::wstring wide(size_t(MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), int(wide.size()));
    MessageBoxW(nullptr, wide.c_str(), L"Mirelandt", MB_OK | MB_ICONERROR);
}

} // namespace window
