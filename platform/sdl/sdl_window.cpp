// The intro's window on SDL2: SDL_PollEvent stands for the message pump and SDL_QUIT for WM_QUIT.
#include "platform/window.h"

#include "platform/sdl/sdl_library.h"
#include "platform/sdl/x11_errors.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace window {

namespace {

// SDL's functions, once the display has been asked for.
const sdl::Functions* api = nullptr;

} // namespace

bool readDisplaySize(int display, ScreenSize* size, std::string* error) {
    // Without a display server SDL would fall back to drivers that cannot show a window, after
    // probing noisily; say plainly what is missing instead.
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x11 || !*x11) && (!wayland || !*wayland)) {
        *error =
            "no display (neither DISPLAY nor WAYLAND_DISPLAY is set); mirelandt-capture renders the show "
            "to a video without one";
        return false;
    }
    api = sdl::load(error);
    if (!api) return false;
    // With X alone, keep SDL from probing Wayland (which complains on stderr when it is absent).
    if (!wayland || !*wayland) api->SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_DEFAULT);
    // SIGINT and SIGTERM are the intro's own (platform/stop_signal.h). SDL's handlers would come and go
    // with its subsystems (the sound device is closed and opened again on every lap of a loop) and turn a
    // stop into a quit.
    api->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (api->InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        // SDL's own words ("x11 not available") read as missing X11 support: name the display instead.
        *error = wayland && *wayland ? std::string("no display: ") + api->GetError()
                                     : std::string("no display: cannot open the X display '") + x11 +
                                           "' that DISPLAY names (is its X server running?)";
        return false;
    }
    const char* driver = api->GetCurrentVideoDriver();
    if (driver && std::strcmp(driver, "x11") == 0) sdl::reportXErrors();
    if (!driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) {
        *error = std::string("no display: SDL found only its '") + (driver ? driver : "?") + "' video driver";
        return false;
    }
    const int displays = api->GetNumVideoDisplays();
    if (display >= displays) {
        *error = "no display " + std::to_string(display) + ": this machine has " + std::to_string(displays) +
                 " (0 is the primary one)";
        return false;
    }
    SDL_DisplayMode mode{};
    if (api->GetDesktopDisplayMode(display, &mode) != 0 || mode.w <= 0 || mode.h <= 0) {
        *error = std::string("cannot read the screen size: ") + api->GetError();
        return false;
    }
    *size = {mode.w, mode.h};
    return true;
}

namespace {

SDL_Window* introWindow = nullptr;
std::vector<Key> keyPresses;

void recordKey(SDL_Scancode code) {
    static constexpr std::pair<SDL_Scancode, Key> kKeys[] = {
        {SDL_SCANCODE_SPACE, Key::Space},
        {SDL_SCANCODE_LEFT, Key::Left},
        {SDL_SCANCODE_RIGHT, Key::Right},
        {SDL_SCANCODE_PAGEUP, Key::PageUp},
        {SDL_SCANCODE_PAGEDOWN, Key::PageDown},
        {SDL_SCANCODE_HOME, Key::Home},
        {SDL_SCANCODE_L, Key::L},
    };
    for (const auto& [scancode, key] : kKeys)
        if (code == scancode) keyPresses.push_back(key);
}

// The handles under SDL's window for a presentation surface of the graphics backend.
bool nativeHandles(SDL_Window* sdlWindow, NativeWindow* window, std::string* error) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!api->GetWindowWMInfo(sdlWindow, &info)) {
        *error = std::string("cannot read the window's handles: ") + api->GetError();
        return false;
    }
    switch (info.subsystem) {
#if defined(SDL_VIDEO_DRIVER_X11)
    case SDL_SYSWM_X11:
        *window = {WindowSystem::Xlib, info.info.x11.display, uintptr_t(info.info.x11.window)};
        return true;
#endif
#if defined(SDL_VIDEO_DRIVER_WAYLAND)
    case SDL_SYSWM_WAYLAND:
        *window = {WindowSystem::Wayland, info.info.wl.display,
                   reinterpret_cast<uintptr_t>(info.info.wl.surface)};
        return true;
#endif
    default:
        *error = "the window system of SDL's '" + std::string(api->GetCurrentVideoDriver()) +
                 "' driver cannot be presented to (X11 or Wayland is needed)";
        return false;
    }
}

} // namespace

bool createIntroWindow(const WindowPlacement& placement, NativeWindow* window, std::string* error) {
    if (!api) {
        *error = "the window is created after the display has been asked for";
        return false;
    }
    // Not resizable: the show renders at the size it started with.
    const Uint32 flags = placement.windowed
                             ? SDL_WINDOW_SHOWN
                             : SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN;
    const int position = int(SDL_WINDOWPOS_CENTERED_DISPLAY(placement.display));
    SDL_Window* sdlWindow = api->CreateWindow("Mirelandt", position, position, placement.size.width,
                                              placement.size.height, flags);
    if (!sdlWindow) {
        *error = std::string("cannot create the window: ") + api->GetError();
        return false;
    }
    if (!placement.windowed) api->ShowCursor(SDL_DISABLE);
    introWindow = sdlWindow;
    return nativeHandles(sdlWindow, window, error);
}

bool pumpMessages(bool* escapePressed) {
    bool quit = false;
    if (!api) return quit;
    SDL_Event event;
    while (api->PollEvent(&event)) {
        if (event.type == SDL_QUIT) quit = true;
        if (event.type != SDL_KEYDOWN) continue;
        if (event.key.keysym.scancode == SDL_SCANCODE_ESCAPE) *escapePressed = true;
        recordKey(event.key.keysym.scancode);
    }
    return quit;
}

std::vector<Key> takeKeyPresses() {
    return std::exchange(keyPresses, {});
}

void setWindowTitle(const std::string& title) {
    if (introWindow) api->SetWindowTitle(introWindow, title.c_str());
}

bool windowHasArea() {
    return introWindow && !(api->GetWindowFlags(introWindow) & SDL_WINDOW_MINIMIZED);
}

bool escapeDown() {
    if (!api) return false;
    int count = 0;
    const Uint8* keys = api->GetKeyboardState(&count);
    return SDL_SCANCODE_ESCAPE < count && keys[SDL_SCANCODE_ESCAPE] != 0;
}

void attachParentConsole() {}

void reportStartFailure(const std::string& reason) {
    std::fprintf(stderr, "mirelandt: %s\n", reason.c_str());
}

} // namespace window
