// Closes the intro's window from outside, as Alt+F4 or the task bar would: WM_CLOSE to the window of
// class "DemoTemplate". Exit code 0 when a window took the message, 1 when none is open.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>

int main() {
    HWND window = FindWindowW(L"DemoTemplate", nullptr);
    if (!window) {
        std::fputs("close_intro_window: no window of class DemoTemplate\n", stderr);
        return 1;
    }
    return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
}
