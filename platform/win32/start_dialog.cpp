// The start-up dialog (resource MIRELANDT_START_DIALOG in mirelandt.rc): the monitors, the primary one
// first; for the chosen one its modes and the common 16:9 window sizes that fit it, largest first, the
// desktop's size selected; the renderers, the caller's choice selected; "Vertical sync" checked.
#include "platform/start_dialog.h"
#include "platform/win32/monitors.h"
#include "platform/win32/start_dialog_ids.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace window {

namespace {

// Sizes offered besides the monitor's modes: a window needs no mode of its own.
constexpr ScreenSize kWindowSizes[] = {{640, 360},   {960, 540},   {1280, 720}, {1600, 900},
                                       {1920, 1080}, {2560, 1440}, {3840, 2160}};

// The renderer list's entries, in its order.
struct RendererEntry {
    gpu::Renderer renderer;
    const wchar_t* text;
};
constexpr RendererEntry kRenderers[] = {{gpu::Renderer::Direct3D11, L"Direct3D 11"},
                                        {gpu::Renderer::Vulkan, L"Vulkan"}};

struct DialogState {
    std::vector<Monitor> monitors;
    std::vector<ScreenSize> sizes; // of the chosen monitor, as listed
    StartChoice* choice;
};

ScreenSize desktopSize(const Monitor& monitor) {
    return {int(monitor.area.right - monitor.area.left), int(monitor.area.bottom - monitor.area.top)};
}

std::vector<ScreenSize> monitorSizes(const Monitor& monitor) {
    const ScreenSize desktop = desktopSize(monitor);
    std::vector<ScreenSize> sizes{desktop};
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    for (DWORD i = 0; EnumDisplaySettingsW(monitor.device.c_str(), i, &mode); ++i)
        if (mode.dmBitsPerPel >= 24) sizes.push_back({int(mode.dmPelsWidth), int(mode.dmPelsHeight)});
    for (const ScreenSize& size : kWindowSizes)
        if (size.width <= desktop.width && size.height <= desktop.height) sizes.push_back(size);
    const auto larger = [](ScreenSize a, ScreenSize b) {
        return a.width != b.width ? a.width > b.width : a.height > b.height;
    };
    const auto same = [](ScreenSize a, ScreenSize b) { return a.width == b.width && a.height == b.height; };
    std::sort(sizes.begin(), sizes.end(), larger);
    sizes.erase(std::unique(sizes.begin(), sizes.end(), same), sizes.end());
    return sizes;
}

void addItem(HWND list, const std::wstring& text) {
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring sizeText(ScreenSize size) {
    return std::to_wstring(size.width) + L" x " + std::to_wstring(size.height);
}

// Refills the resolution list for the chosen monitor, its desktop size selected.
void listSizes(HWND dialog, DialogState& state) {
    const auto monitor = size_t(SendDlgItemMessageW(dialog, MIRELANDT_MONITOR_LIST, CB_GETCURSEL, 0, 0));
    if (monitor >= state.monitors.size()) return;
    state.sizes = monitorSizes(state.monitors[monitor]);
    HWND list = GetDlgItem(dialog, MIRELANDT_RESOLUTION_LIST);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    const ScreenSize desktop = desktopSize(state.monitors[monitor]);
    for (size_t i = 0; i < state.sizes.size(); ++i) {
        const bool isDesktop =
            state.sizes[i].width == desktop.width && state.sizes[i].height == desktop.height;
        addItem(list, sizeText(state.sizes[i]) + (isDesktop ? L" (desktop)" : L""));
        if (isDesktop) SendMessageW(list, CB_SETCURSEL, i, 0);
    }
}

void initialise(HWND dialog, DialogState& state) {
    HINSTANCE module = GetModuleHandleW(nullptr);
    SendMessageW(dialog, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadIconW(module, MAKEINTRESOURCEW(101))));
    HWND list = GetDlgItem(dialog, MIRELANDT_MONITOR_LIST);
    for (size_t i = 0; i < state.monitors.size(); ++i)
        addItem(list, std::to_wstring(i + 1) + L": " + sizeText(desktopSize(state.monitors[i])) +
                          (i == 0 ? L" (primary)" : L""));
    SendMessageW(list, CB_SETCURSEL, 0, 0);
    listSizes(dialog, state);
    HWND renderers = GetDlgItem(dialog, MIRELANDT_RENDERER_LIST);
    for (size_t i = 0; i < std::size(kRenderers); ++i) {
        addItem(renderers, kRenderers[i].text);
        if (kRenderers[i].renderer == state.choice->renderer) SendMessageW(renderers, CB_SETCURSEL, i, 0);
    }
    CheckDlgButton(dialog, MIRELANDT_VSYNC_BOX, BST_CHECKED);
}

void readChoice(HWND dialog, const DialogState& state) {
    StartChoice& choice = *state.choice;
    const auto monitor = int(SendDlgItemMessageW(dialog, MIRELANDT_MONITOR_LIST, CB_GETCURSEL, 0, 0));
    const auto size = size_t(SendDlgItemMessageW(dialog, MIRELANDT_RESOLUTION_LIST, CB_GETCURSEL, 0, 0));
    choice.placement.display = std::max(monitor, 0);
    choice.placement.windowed = IsDlgButtonChecked(dialog, MIRELANDT_WINDOWED_BOX) == BST_CHECKED;
    if (size < state.sizes.size()) {
        choice.resolution = state.sizes[size];
        if (choice.placement.windowed) choice.placement.size = state.sizes[size];
    }
    const auto renderer = size_t(SendDlgItemMessageW(dialog, MIRELANDT_RENDERER_LIST, CB_GETCURSEL, 0, 0));
    if (renderer < std::size(kRenderers)) choice.renderer = kRenderers[renderer].renderer;
    choice.vsync = IsDlgButtonChecked(dialog, MIRELANDT_VSYNC_BOX) == BST_CHECKED;
    choice.loop = IsDlgButtonChecked(dialog, MIRELANDT_LOOP_BOX) == BST_CHECKED;
}

INT_PTR CALLBACK dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        initialise(dialog, *reinterpret_cast<DialogState*>(lParam));
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case MIRELANDT_MONITOR_LIST:
            if (HIWORD(wParam) == CBN_SELCHANGE) listSizes(dialog, *state);
            return TRUE;
        case IDOK:
            readChoice(dialog, *state);
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

} // namespace

DialogAnswer runStartDialog(StartChoice* choice, std::string* error) {
    DialogState state{listMonitors(), {}, choice};
    if (state.monitors.empty()) {
        *error = "no monitor to choose";
        return DialogAnswer::Failed;
    }
    const INT_PTR answer =
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(MIRELANDT_START_DIALOG), nullptr,
                        dialogProcedure, reinterpret_cast<LPARAM>(&state));
    if (answer == IDOK) return DialogAnswer::Start;
    if (answer == IDCANCEL) return DialogAnswer::Quit;
    *error = "the start-up dialog cannot be shown (error " + std::to_string(GetLastError()) + ")";
    return DialogAnswer::Failed;
}

bool dialogsWanted() {
    const char* setting = std::getenv("MIRELANDT_NO_DIALOG");
    return !(setting && std::strcmp(setting, "1") == 0);
}

} // namespace window
