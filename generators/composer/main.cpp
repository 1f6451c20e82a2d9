// Writes the intro's module: mirelandt-composer OUT.xm
#include "generators/composer/song.h"
#include "music/xm_writer.h"
#include "platform/stop_signal.h"
#include "tools/output_files/safe_file.h"

#include <cstdio>
#include <exception>
#include <string>

using namespace generators;
using namespace music;
using namespace output_files;
using namespace platform;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.xm\n", argv[0]);
        return 2;
    }
    // Ctrl+C or SIGTERM: the module is not put in place.
    catchStopSignals();
    try {
        const XmModule song = composer::composeSong();
        checkXm(song);
        const std::vector<uint8_t> bytes = writeXm(song);
        std::string error;
        if (!writeWholeFile(argv[1], bytes.data(), bytes.size(), &error)) {
            if (stopSignal())
                return reportStop("mirelandt-composer", std::string("; ") + argv[1] + " is not written");
            std::fprintf(stderr, "mirelandt-composer: %s\n", error.c_str());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mirelandt-composer: %s\n", e.what());
        return 1;
    }
    return 0;
}
