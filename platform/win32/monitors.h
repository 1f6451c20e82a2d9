// The machine's monitors as Win32 reports them, the primary one first: the window and the start-up
// dialog both number them this way (0 is the primary one).
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>
#include <vector>

namespace window {

struct Monitor {
    RECT area{};         // in desktop coordinates; its size is the desktop's resolution on it
    std::wstring device; // the display device's name, for its modes
};

std::vector<Monitor> listMonitors();

} // namespace window
