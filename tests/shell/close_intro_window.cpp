// Acts on the intro's window from outside, as the task bar or Alt+F4 would, through the window of class
// "DemoTemplate": with no argument WM_CLOSE, with `minimise` or `restore` ShowWindow (then it prints whether
// the window is iconic and its client area). Exit code 0 when a window took it, 1 when none is open, 2 for
// an unknown argument.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    const char* action = argc > 1 ? argv[1] : "close";
    int show = 0;
    if (std::strcmp(action, "minimise") == 0)
        show = SW_MINIMIZE;
    else if (std::strcmp(action, "restore") == 0)
        show = SW_RESTORE;
    else if (std::strcmp(action, "close") != 0) {
        std::fprintf(stderr, "close_intro_window: unknown action %s (close, minimise or restore)\n", action);
        return 2;
    }
    HWND window = FindWindowW(L"DemoTemplate", nullptr);
    if (!window) {
        std::fputs("close_intro_window: no window of class DemoTemplate\n", stderr);
        return 1;
    }
    if (show == 0) return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    ShowWindow(window, show);
    // What the system says of the window now, for the test's log.
    RECT client{};
    GetClientRect(window, &client);
    std::printf("%s: iconic %d, client area %ldx%ld\n", action, IsIconic(window) ? 1 : 0,
                client.right - client.left, client.bottom - client.top);
    return 0;
}
