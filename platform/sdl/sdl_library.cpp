#include "platform/sdl/sdl_library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace sdl {
namespace {

// The archive's copy: <folder of the program>/../lib/libSDL2-2.0.so.0. Empty when the program's own
// path cannot be read.
std::string besideProgram() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    std::string folder(path, size_t(length));
    const size_t slash = folder.rfind('/');
    if (slash == std::string::npos) return {};
    folder.resize(slash);
    return folder + "/../lib/" + kLibraryName;
}

// The library stays loaded until the process ends: SDL's threads and the window's handles live in it.
void* openLibrary(std::string* error) {
    const std::string bundled = besideProgram();
    const bool haveCopy = !bundled.empty() && access(bundled.c_str(), F_OK) == 0;
    const char* first = haveCopy ? bundled.c_str() : kLibraryName;
    if (void* library = dlopen(first, RTLD_NOW | RTLD_LOCAL)) return library;
    // A copy that is there but does not load most often lacks a sound or window library of the system:
    // its reason is the one to give, unless the system's own SDL2 does the work instead.
    *error = std::string("cannot load SDL2 (") + first + "): " + dlerror() +
             "; the system's SDL2 package (libsdl2-2.0-0 on Debian) brings what it needs";
    if (haveCopy)
        if (void* library = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL)) return library;
    return nullptr;
}

struct Loaded {
    Functions functions;
    bool complete = false;
    std::string error;
};

Loaded loadOnce() {
    Loaded loaded;
    void* library = openLibrary(&loaded.error);
    if (!library) return loaded;
#define MIRELANDT_SDL_FIND(name)                                                                             \
    loaded.functions.name = reinterpret_cast<decltype(loaded.functions.name)>(dlsym(library, "SDL_" #name)); \
    if (!loaded.functions.name) {                                                                            \
        loaded.error = std::string("the SDL2 library lacks SDL_") + #name;                                   \
        return loaded;                                                                                       \
    }
    MIRELANDT_SDL_FUNCTIONS(MIRELANDT_SDL_FIND)
#undef MIRELANDT_SDL_FIND
    loaded.complete = true;
    return loaded;
}

} // namespace

const Functions* load(std::string* error) {
    static const Loaded kLoaded = loadOnce();
    if (kLoaded.complete) return &kLoaded.functions;
    *error = kLoaded.error;
    return nullptr;
}

} // namespace sdl
