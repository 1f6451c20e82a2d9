// The intro's window, whatever the window system: one borderless window covering the primary screen,
// its message pump and the Escape key. platform/sdl/ implements it on Linux, platform/win32/ on Windows.
// A graphics backend sees only NativeWindow: the handles it makes its presentation surface from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace window {

enum class WindowSystem : uint32_t {
    None, // no window: the device renders offscreen only
    Win32,
    Xlib,
    Wayland,
};

// The native handles of a window, as a presentation surface needs them.
struct NativeWindow {
    WindowSystem system = WindowSystem::None;
    // Win32: the module's HINSTANCE; Xlib: the Display*; Wayland: the wl_display*.
    void* display = nullptr;
    // Win32: the HWND; Xlib: the Window id; Wayland: the wl_surface*.
    uintptr_t window = 0;
};

struct ScreenSize {
    int width = 0;
    int height = 0;
};

// Where the intro's window goes: by default borderless over the whole of a monitor, or a normal movable
// window of a fixed size.
struct WindowPlacement {
    bool windowed = false;
    ScreenSize size; // the window's inside; for the full-screen window the monitor's size
    int display = 0; // the monitor of the full-screen window, 0 the primary one
};

// Connects to the window system and reads the size in pixels of monitor `display` (0 the primary one).
// False with a one-line reason when no display can be reached or there is no such monitor.
bool readDisplaySize(int display, ScreenSize* size, std::string* error);

// The visible window titled "Mirelandt": borderless over its monitor with the cursor hidden over it, or
// windowed. False with a one-line reason when it cannot be made. It lives until the process ends.
bool createIntroWindow(const WindowPlacement& placement, NativeWindow* window, std::string* error);

// Drains the message queue. Returns true when a quit arrived (the window was closed, or on Linux
// SIGINT/SIGTERM). Records an Escape press since the last call in *escapePressed.
bool pumpMessages(bool* escapePressed);

// Escape is down now.
bool escapeDown();

// False while the window is minimised: it has no area to show a picture in.
bool windowHasArea();

// The keys of the director mode, besides Escape.
enum class Key : uint8_t { Space, Left, Right, PageUp, PageDown, Home, L };

// The director's keys pressed since the last call, in order (pumpMessages records them).
std::vector<Key> takeKeyPresses();

// The text of the window's title bar.
void setWindowTitle(const std::string& title);

// Lets what the program prints reach the command prompt it was started from (on Windows a windowed
// program has no console of its own; elsewhere standard output is already there).
void attachParentConsole();

// Tells the person who started the intro why it cannot run: "mirelandt: <reason>" on stderr (on
// Windows the console of the command prompt that started it), and on Windows a message box as well
// unless MIRELANDT_NO_DIALOG=1.
void reportStartFailure(const std::string& reason);

} // namespace window
