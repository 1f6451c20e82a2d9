// Xlib ends the process with its own words when the X server goes away ("X connection to :0 broken") or
// refuses a request ("X Error of failed request: BadWindow"), as when the window is destroyed from outside.
// The intro says it in one line of its own instead, naming the display, and ends with the code of a failed
// device.
#pragma once

namespace sdl {

// Installs the handlers in the libX11 that SDL's X11 driver loaded; does nothing where none is loaded.
void reportXErrors();

} // namespace sdl
