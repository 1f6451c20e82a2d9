// The intro's window on Win32: class "DemoTemplate" with icon resource 101, a WS_POPUP window covering
// the primary screen, the message pump with WM_QUIT and the Escape key.
#include "platform/window.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace window {

namespace {

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

bool readPrimaryScreenSize(ScreenSize* size, std::string* error) {
    size->width = GetSystemMetrics(SM_CXSCREEN);
    size->height = GetSystemMetrics(SM_CYSCREEN);
    if (size->width > 0 && size->height > 0) return true;
    *error = "cannot read the primary screen's size";
    return false;
}

bool createIntroWindow(ScreenSize size, NativeWindow* window, std::string* error) {
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
    HWND handle = CreateWindowExW(0, kClassName, L"Mirelandt", WS_POPUP | WS_VISIBLE, 0, 0, size.width,
                                  size.height, nullptr, nullptr, module, nullptr);
    if (!handle) {
        *error = systemError("cannot create the window");
        return false;
    }
    // Centred on the desktop, which for a window of the screen's size is its origin.
    RECT desktop{};
    GetClientRect(GetDesktopWindow(), &desktop);
    SetWindowPos(handle, nullptr, (desktop.right - size.width) / 2, (desktop.bottom - size.height) / 2, 0, 0,
                 SWP_NOZORDER | SWP_NOSIZE);
    ShowWindow(handle, SW_SHOWDEFAULT);
    UpdateWindow(handle);
    ShowCursor(FALSE);
    *window = {WindowSystem::Win32, module, reinterpret_cast<uintptr_t>(handle)};
    return true;
}

bool pumpMessages(bool* escapePressed) {
    bool quit = false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) quit = true;
        if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) *escapePressed = true;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return quit;
}

bool escapeDown() {
    return GetAsyncKeyState(VK_ESCAPE) != 0;
}

void reportStartFailure(const std::string& reason) {
    // A windowed program starts without a console: the line goes to the console of the command prompt
    // that started it. Output the caller redirected to a file or pipe has its handle already.
    const HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
    if ((standardError == nullptr || standardError == INVALID_HANDLE_VALUE) &&
        AttachConsole(ATTACH_PARENT_PROCESS))
        std::freopen("CONOUT$", "w", stderr);
    std::fprintf(stderr, "mirelandt: %s\n", reason.c_str());
    std::fflush(stderr);

    const char* noDialog = std::getenv("MIRELANDT_NO_DIALOG");
    if (noDialog && std::strcmp(noDialog, "1") == 0) return;
    const std::string text = "Mirelandt cannot start: " + reason;
    std::wstring wide(size_t(MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), int(wide.size()));
    MessageBoxW(nullptr, wide.c_str(), L"Mirelandt", MB_OK | MB_ICONERROR);
}

} // namespace window
