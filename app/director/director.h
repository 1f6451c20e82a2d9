// The director mode (mirelandt --edit): the show in a window that the keyboard pauses, scrubs and loops,
// while the key table and the programs of a checkout are watched and taken in as they are saved.
//   Space pause/resume, Left/Right a beat, Page Up/Page Down a bar, Home the start, L loop the section,
//   Escape quit. The title bar shows the time, row, order/pattern, frames per second and "paused".
#pragma once

#include "app/display.h"
#include "app/intro_options.h"
#include "show/show_setup.h"

#include <string>

namespace app {

// Whether `source` can be watched: a folder that can be read, holding a readable content/data/tracks.txt.
// Otherwise false, and `error` says why in one line.
bool checkDirectorSource(const std::string& source, std::string* error);

// Runs until Escape or the window closes (true), or until a frame cannot be presented (false, the reason
// printed). `source` holds content/data/tracks.txt and shaders/.
bool runDirector(Display& display, show::Show& show, const IntroOptions& options, const std::string& source);

} // namespace app
