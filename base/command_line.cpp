#include "base/command_line.h"

#include "base/exit_codes.h"
#include "base/generated/version.h"

#include <cstdio>
#include <cstring>

namespace base {

bool answerHelpOrVersion(int argc, const char* const* argv, const char* program, const char* usage) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s (%s)\n", program, MIRELANDT_VERSION, MIRELANDT_COMMIT);
            return true;
        }
    }
    return false;
}

int refuseCommandLine(const char* program, const std::string& reason) {
    std::fprintf(stderr, "%s: %s\n", program, reason.c_str());
    return ExitUsage;
}

} // namespace base
