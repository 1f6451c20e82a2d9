// Starting the encoder without a shell: the Windows command line that carries each argument whole, and the
// progress lines that a log (not a terminal) gets.
#include "tools/capture/piped_program.h"
#include "tools/output_files/progress_line.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace output_files;
using namespace tools;

namespace {

// The arguments a Windows program's C runtime (and CommandLineToArgvW) reads from a command line, past the
// program's name: spaces and tabs separate arguments outside quotes; 2n backslashes before a quote are n
// backslashes and the quote opens or closes a quoted part, 2n + 1 are n and a literal quote; other
// backslashes are literal.
std::vector<std::string> windowsArguments(const std::string& line) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
        if (at == line.size()) break;
        std::string argument;
        bool quoted = false;
        while (at < line.size() && (quoted || (line[at] != ' ' && line[at] != '\t'))) {
            size_t backslashes = 0;
            while (at < line.size() && line[at] == '\\') ++backslashes, ++at;
            if (at < line.size() && line[at] == '"') {
                argument.append(backslashes / 2, '\\');
                if (backslashes % 2)
                    argument.push_back('"');
                else
                    quoted = !quoted;
                ++at;
            } else {
                argument.append(backslashes, '\\');
                if (at < line.size() && (quoted || (line[at] != ' ' && line[at] != '\t')))
                    argument.push_back(line[at++]);
            }
        }
        out.push_back(argument);
    }
    return out;
}

TEST(WindowsCommandLine, EachArgumentComesBackWhole) {
    struct Case {
        std::vector<std::string> arguments;
        std::string line;
    };
    const Case cases[] = {
        {{"ffmpeg.exe", "-i", "-"}, "ffmpeg.exe -i -"},
        {{"C:\\Program Files\\ffmpeg.exe", "-y"}, "\"C:\\Program Files\\ffmpeg.exe\" -y"},
        // cmd.exe is not involved: '%', '^', '&' and '|' need nothing.
        {{"f", "file:%PATH%^&|<>.mp4"}, "f file:%PATH%^&|<>.mp4"},
        {{"f", ""}, "f \"\""},
        {{"f", "a b\tc\nd"}, "f \"a b\tc\nd\""},
        {{"f", "say \"hi\""}, "f \"say \\\"hi\\\"\""},
        // Backslashes stay single unless a quote follows them, inside the argument or as its closing quote.
        {{"f", "C:\\a\\b"}, "f C:\\a\\b"},
        {{"f", "C:\\a b\\"}, "f \"C:\\a b\\\\\""},
        {{"f", "x\\\"y"}, "f \"x\\\\\\\"y\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(windowsCommandLine(c.arguments), c.line);
        EXPECT_EQ(windowsArguments(windowsCommandLine(c.arguments)), c.arguments) << c.line;
    }
    // Random arguments made of the characters that matter come back unchanged.
    std::mt19937 random(7);
    const std::string alphabet = "ab \t\n\"\\%$'";
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::string> arguments{"prog"};
        for (int a = int(random() % 4); a >= 0; --a) {
            std::string argument;
            for (int n = int(random() % 8); n > 0; --n)
                argument.push_back(alphabet[random() % alphabet.size()]);
            arguments.push_back(argument);
        }
        const std::string line = windowsCommandLine(arguments);
        ASSERT_EQ(windowsArguments(line), arguments) << line;
    }
}

// Off a terminal a report is a plain line at each tenth of the work and at its end, however often the caller
// is ready; on a terminal it is redrawn at the caller's pace, ending its line only at the end.
TEST(ProgressLine, ALogGetsALineAtEachTenthATerminalOneRedrawnLine) {
    for (const uint64_t total : {1ull, 7ull, 200ull, 12345ull}) {
        ProgressLine log(total, false);
        std::vector<uint64_t> printed;
        for (uint64_t done = 1; done <= total; ++done)
            if (log.due(done, true)) printed.push_back(done);
        ASSERT_FALSE(printed.empty());
        EXPECT_EQ(printed.back(), total);
        EXPECT_LE(printed.size(), 10u) << total;
        for (size_t i = 0; i < printed.size(); ++i) {
            // Each line is the first `done` of a new tenth.
            EXPECT_GT(printed[i] * 10 / total, i ? printed[i - 1] * 10 / total : 0) << total;
            EXPECT_LT((printed[i] - 1) * 10 / total, printed[i] * 10 / total) << total;
        }
        if (total == 200) {
            EXPECT_EQ(printed, (std::vector<uint64_t>{20, 40, 60, 80, 100, 120, 140, 160, 180, 200}));
        }
    }
    ProgressLine log(100, false);
    EXPECT_EQ(log.line("10/100", false), "10/100\n");
    EXPECT_EQ(log.line("100/100", true), "100/100\n");

    ProgressLine terminal(100, true);
    EXPECT_TRUE(terminal.due(1, true));
    EXPECT_FALSE(terminal.due(50, false));
    EXPECT_TRUE(terminal.due(100, false));
    EXPECT_EQ(terminal.line("1/100", false), "\r1/100");
    EXPECT_EQ(terminal.line("100/100", true), "\r100/100\n");
}

} // namespace
