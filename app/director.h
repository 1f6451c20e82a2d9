// The director mode (mirelandt --edit): the show in a window that the keyboard pauses, scrubs and loops,
// while the key table and the programs of a checkout are watched and taken in as they are saved.
//   Space pause/resume, Left/Right a beat, Page Up/Page Down a bar, Home the start, L loop the section,
//   Escape quit. The title bar shows the time, row, order/pattern, frames per second and "paused".
#pragma once

#include "display.h"
#include "intro_options.h"
#include "show_setup.h"

#include <string>

// Runs until Escape or the window closes. `source` holds content/data/tracks.txt and shaders/.
void runDirector(Display& display, Show& show, const IntroOptions& options, const std::string& source);
