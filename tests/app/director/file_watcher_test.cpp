// The watcher on a real folder, with inotify and with the poll: each kind of save is reported once, after
// its last write, under the file's own name. How long a report took is printed, not asserted.
#include "app/director/file_watcher.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace app;

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Everything the watcher reports until `quiet` passes without a report, or until `limit`.
std::vector<std::string> collect(FileWatcher& watcher, std::chrono::milliseconds quiet, const fs::path& file,
                                 std::string* contentAtReport = nullptr) {
    std::vector<std::string> all;
    const auto start = std::chrono::steady_clock::now();
    auto last = start;
    while (std::chrono::steady_clock::now() - last < quiet &&
           std::chrono::steady_clock::now() - start < 10s) {
        for (std::string& name : watcher.settledChanges()) {
            if (contentAtReport && all.empty()) *contentAtReport = readText(file);
            all.push_back(std::move(name));
            last = std::chrono::steady_clock::now();
        }
        std::this_thread::sleep_for(5ms);
    }
    return all;
}

// Waits for the first report; prints how long after `since` it came.
std::vector<std::string> firstReport(FileWatcher& watcher, const char* what,
                                     std::chrono::steady_clock::time_point since) {
    const auto deadline = since + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        std::vector<std::string> names = watcher.settledChanges();
        if (!names.empty()) {
            std::printf(
                "[ timing   ] %s reported %.0f ms after its last write\n", what,
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count());
            return names;
        }
        std::this_thread::sleep_for(2ms);
    }
    return {};
}

TEST(FileWatcher, ReportsEachSaveOnceAfterItsLastWrite) {
    for (FileWatcher::Mode mode : {FileWatcher::Mode::Notify, FileWatcher::Mode::Poll}) {
        const char* modeName = mode == FileWatcher::Mode::Notify ? "inotify" : "poll";
        SCOPED_TRACE(modeName);
        const fs::path folder = fs::path(::testing::TempDir()) / (std::string("mirelandt_watch_") + modeName);
        fs::remove_all(folder);
        fs::create_directories(folder);
        const fs::path file = folder / "tracks.txt";
        std::ofstream(file) << "tempo 173 8\nend\n";
        FileWatcher watcher(folder.string(), 150ms, mode);
        ASSERT_EQ(watcher.mode(), mode);
        EXPECT_TRUE(collect(watcher, 300ms, file).empty()) << "a file that was there before is no change";

        // Truncate, then write in pieces with pauses shorter than the settle time: one report, after the
        // last piece, when the file holds all of it.
        const std::string whole = std::string(30000, 'a') + "\nend\n";
        {
            std::ofstream out(file, std::ios::binary | std::ios::trunc);
            for (size_t at = 0; at < whole.size(); at += 10000) {
                out << whole.substr(at, 10000) << std::flush;
                std::this_thread::sleep_for(40ms);
            }
        }
        auto saved = std::chrono::steady_clock::now();
        std::vector<std::string> names =
            firstReport(watcher, (std::string(modeName) + " in-place save").c_str(), saved);
        EXPECT_EQ(names, std::vector<std::string>{"tracks.txt"});
        EXPECT_EQ(readText(file), whole);
        EXPECT_TRUE(collect(watcher, 400ms, file).empty()) << "one save, one report";

        // Written under a temporary name and renamed over the file: the file is reported, the temporary not.
        const std::string renamed = "tempo 120 4\nend\n";
        std::ofstream(folder / ".tracks.txt.swp") << renamed;
        fs::rename(folder / ".tracks.txt.swp", file);
        saved = std::chrono::steady_clock::now();
        std::string content;
        names = firstReport(watcher, (std::string(modeName) + " rename-over save").c_str(), saved);
        EXPECT_EQ(names, std::vector<std::string>{"tracks.txt"});
        EXPECT_EQ(readText(file), renamed);
        EXPECT_TRUE(collect(watcher, 400ms, file).empty());

        // A file deleted is not reported; made again, it is.
        fs::remove(file);
        EXPECT_TRUE(collect(watcher, 400ms, file).empty());
        std::ofstream(file) << "again\n";
        EXPECT_EQ(collect(watcher, 400ms, file), std::vector<std::string>{"tracks.txt"});
        fs::remove_all(folder);
    }
}

} // namespace
