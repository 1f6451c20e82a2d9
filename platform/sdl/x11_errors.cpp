#include "platform/sdl/x11_errors.h"

#include "base/exit_codes.h"

#include <X11/Xlib.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

using namespace base;

namespace sdl {
namespace {

// Found in the loaded libX11 rather than linked: the programs start on machines without it.
decltype(&::XDisplayString) displayString = nullptr;
decltype(&::XGetErrorText) errorText = nullptr;

const char* nameOf(Display* display) {
    const char* name = display ? displayString(display) : nullptr;
    return name && *name ? name : "?";
}

// Xlib would end the process after this returns; it ends here, with our line.
int connectionLost(Display* display) {
    std::fprintf(stderr, "mirelandt: lost the display %s: its X server closed the connection\n",
                 nameOf(display));
    std::_Exit(ExitFailure);
}

// Xlib's own handler ends the process on any refused request too; a request on a window destroyed from
// outside is the one a viewer meets.
int requestRefused(Display* display, XErrorEvent* event) {
    char text[160] = "an X error";
    errorText(display, event->error_code, text, sizeof text);
    std::fprintf(stderr, "mirelandt: the display %s refused a request: %s%s\n", nameOf(display), text,
                 event->error_code == BadWindow ? "; the window was closed from outside" : "");
    std::_Exit(ExitFailure);
}

} // namespace

void reportXErrors() {
    void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (!x11) return;
    displayString = reinterpret_cast<decltype(displayString)>(dlsym(x11, "XDisplayString"));
    errorText = reinterpret_cast<decltype(errorText)>(dlsym(x11, "XGetErrorText"));
    auto setIoHandler = reinterpret_cast<decltype(&::XSetIOErrorHandler)>(dlsym(x11, "XSetIOErrorHandler"));
    auto setHandler = reinterpret_cast<decltype(&::XSetErrorHandler)>(dlsym(x11, "XSetErrorHandler"));
    if (!displayString || !errorText || !setIoHandler || !setHandler) return;
    setIoHandler(connectionLost);
    setHandler(requestRefused);
}

} // namespace sdl
