// The SDL2 functions the window and the sound call, found at run time so that the programs start (and
// the tools run) on a machine without SDL2: only opening a window or the sound needs it. The SDL2
// headers still give the types and constants.
#pragma once

#include <SDL.h>
#include <SDL_syswm.h>

#include <string>

// Each X(Name) is the function SDL_Name.
#define MIRELANDT_SDL_FUNCTIONS(X)                                                                           \
    X(CloseAudioDevice)                                                                                      \
    X(CreateWindow)                                                                                          \
    X(GetCurrentVideoDriver)                                                                                 \
    X(GetDesktopDisplayMode)                                                                                 \
    X(GetError)                                                                                              \
    X(GetKeyboardState)                                                                                      \
    X(GetNumVideoDisplays)                                                                                   \
    X(GetWindowFlags)                                                                                        \
    X(GetWindowWMInfo)                                                                                       \
    X(InitSubSystem)                                                                                         \
    X(LockAudioDevice)                                                                                       \
    X(OpenAudioDevice)                                                                                       \
    X(PauseAudioDevice)                                                                                      \
    X(PollEvent)                                                                                             \
    X(QuitSubSystem)                                                                                         \
    X(SetHint)                                                                                               \
    X(SetHintWithPriority)                                                                                   \
    X(SetWindowTitle)                                                                                        \
    X(ShowCursor)                                                                                            \
    X(UnlockAudioDevice)

namespace sdl {

// The library's entry points: `api->PollEvent(&event)` calls SDL_PollEvent.
struct Functions {
#define MIRELANDT_SDL_MEMBER(name) decltype(&::SDL_##name) name = nullptr;
    MIRELANDT_SDL_FUNCTIONS(MIRELANDT_SDL_MEMBER)
#undef MIRELANDT_SDL_MEMBER
};

// The shared library's name; the Linux archive carries a copy in its lib/ folder.
inline constexpr const char* kLibraryName = "libSDL2-2.0.so.0";

// Opens SDL2 once per process: first the copy beside the program (../lib/ from the program's folder),
// then the system's. Null with a one-line reason when neither loads or a function is missing.
const Functions* load(std::string* error);

} // namespace sdl
