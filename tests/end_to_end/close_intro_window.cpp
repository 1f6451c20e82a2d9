// Acts on the intro's windows from outside, as the task bar or Alt+F4 would. The show's window has class
// "DemoTemplate": with no argument it gets WM_CLOSE, with `minimise` or `restore` ShowWindow (then it
// prints whether the window is iconic and its client area). With `dialog` it finds the start-up dialog by
// its class, "#32770", and title and prints what it shows: the monitor, the resolutions listed and the one
// chosen, the renderers listed and the one chosen, and the three boxes. Exit code 0 when a window took it, 1
// when none is open, 2 for an unknown argument.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/win32/start_dialog_ids.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string itemText(HWND dialog, int control, int item) {
    wchar_t wide[128] = {};
    if (SendDlgItemMessageW(dialog, control, CB_GETLBTEXTLEN, WPARAM(item), 0) >= 128) return "?";
    SendDlgItemMessageW(dialog, control, CB_GETLBTEXT, WPARAM(item), reinterpret_cast<LPARAM>(wide));
    char text[256] = {};
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

int describeDialog() {
    HWND dialog = FindWindowW(L"#32770", L"Mirelandt");
    if (!dialog) {
        std::fputs("close_intro_window: no dialog of class #32770 titled Mirelandt\n", stderr);
        return 1;
    }
    const auto selected = [&](int control) {
        return itemText(dialog, control, int(SendDlgItemMessageW(dialog, control, CB_GETCURSEL, 0, 0)));
    };
    const auto listed = [&](int control) {
        std::string items;
        const auto count = int(SendDlgItemMessageW(dialog, control, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) items += (i ? ", " : "") + itemText(dialog, control, i);
        return items;
    };
    std::printf("dialog: monitor '%s'; resolution '%s' of [%s]; renderer '%s' of [%s]; windowed %u, vertical "
                "sync %u, loop %u\n",
                selected(MIRELANDT_MONITOR_LIST).c_str(), selected(MIRELANDT_RESOLUTION_LIST).c_str(),
                listed(MIRELANDT_RESOLUTION_LIST).c_str(), selected(MIRELANDT_RENDERER_LIST).c_str(),
                listed(MIRELANDT_RENDERER_LIST).c_str(), IsDlgButtonChecked(dialog, MIRELANDT_WINDOWED_BOX),
                IsDlgButtonChecked(dialog, MIRELANDT_VSYNC_BOX),
                IsDlgButtonChecked(dialog, MIRELANDT_LOOP_BOX));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const char* action = argc > 1 ? argv[1] : "close";
    if (std::strcmp(action, "dialog") == 0) return describeDialog();
    int show = 0;
    if (std::strcmp(action, "minimise") == 0)
        show = SW_MINIMIZE;
    else if (std::strcmp(action, "restore") == 0)
        show = SW_RESTORE;
    else if (std::strcmp(action, "close") != 0) {
        std::fprintf(stderr, "close_intro_window: unknown action %s (close, minimise, restore or dialog)\n",
                     action);
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
