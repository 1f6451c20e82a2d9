// Writes the intro's module: mirelandt-composer OUT.xm
#include "song.h"
#include "xm_writer.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.xm\n", argv[0]);
        return 2;
    }
    try {
        const XmModule song = composer::composeSong();
        checkXm(song);
        const std::vector<uint8_t> bytes = writeXm(song);
        std::FILE* f = std::fopen(argv[1], "wb");
        if (!f) {
            std::fprintf(stderr, "mirelandt-composer: cannot create %s\n", argv[1]);
            return 1;
        }
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        if (std::fclose(f) != 0 || !written) {
            std::fprintf(stderr, "mirelandt-composer: cannot write %s\n", argv[1]);
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mirelandt-composer: %s\n", e.what());
        return 1;
    }
    return 0;
}
