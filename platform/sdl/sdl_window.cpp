#include "platform/sdl/sdl_window.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace window {

bool readPrimaryScreenSize(ScreenSize* size, std::string* error) {
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
    // With X alone, keep SDL from probing Wayland (which complains on stderr when it is absent).
    if (!wayland || !*wayland) SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_DEFAULT);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        *error = std::string("no display: ") + SDL_GetError();
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) {
        *error = std::string("no display: SDL found only its '") + (driver ? driver : "?") + "' video driver";
        return false;
    }
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0 || mode.w <= 0 || mode.h <= 0) {
        *error = std::string("cannot read the screen size: ") + SDL_GetError();
        return false;
    }
    *size = {mode.w, mode.h};
    return true;
}

SDL_Window* createIntroWindow(ScreenSize size, std::string* error) {
    const Uint32 flags =
        SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS | SDL_WINDOW_VULKAN | SDL_WINDOW_SHOWN;
    SDL_Window* window = SDL_CreateWindow("Mirelandt", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          size.width, size.height, flags);
    if (!window) {
        *error = std::string("cannot create the window: ") + SDL_GetError();
        return nullptr;
    }
    SDL_ShowCursor(SDL_DISABLE);
    return window;
}

bool pumpMessages(bool* escapePressed) {
    bool quit = false;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) quit = true;
        if (event.type == SDL_KEYDOWN && event.key.keysym.scancode == SDL_SCANCODE_ESCAPE)
            *escapePressed = true;
    }
    return quit;
}

bool escapeDown() {
    int count = 0;
    const Uint8* keys = SDL_GetKeyboardState(&count);
    return SDL_SCANCODE_ESCAPE < count && keys[SDL_SCANCODE_ESCAPE] != 0;
}

} // namespace window
