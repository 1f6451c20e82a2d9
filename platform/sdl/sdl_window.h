// The intro's window on SDL2: one borderless window covering the primary screen, the message pump
// (SDL_QUIT stands for WM_QUIT) and the Escape key.
#pragma once

#include <string>

struct SDL_Window;

namespace window {

struct ScreenSize {
    int width = 0;
    int height = 0;
};

// Starts SDL's video and event subsystems and reads the primary screen's size. False with a one-line
// reason when no display can be reached.
bool readPrimaryScreenSize(ScreenSize* size, std::string* error);

// A borderless, full-screen, Vulkan-capable window titled "Mirelandt" with the cursor hidden; null with a
// reason when it cannot be made.
SDL_Window* createIntroWindow(ScreenSize size, std::string* error);

// Drains the event queue. Returns true when a quit arrived: the window was closed, or SIGINT/SIGTERM,
// which SDL turns into the same event. Records an Escape press since the last call in *escapePressed.
bool pumpMessages(bool* escapePressed);

// Escape held down right now.
bool escapeDown();

} // namespace window
