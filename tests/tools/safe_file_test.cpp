// Output files are whole or absent: a full filesystem, a full device, a failing write, links, long names
// and paths that are not regular files.
#include "tools/output_files/png_file.h"
#include "tools/output_files/safe_file.h"
#include "tools/output_files/wav_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace output_files;

namespace fs = std::filesystem;

namespace {

bool writeText(const fs::path& path, const std::string& text) {
    std::string error;
    return writeWholeFile(path.string(), text.data(), text.size(), &error);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What a folder holds, temporary files included.
std::vector<std::string> listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SafeFileTest : public ::testing::Test {
  protected:
    fs::path dir =
        fs::path(testing::TempDir()) / ("safe_file_" + std::to_string(std::random_device()()) + "_" +
                                        testing::UnitTest::GetInstance()->current_test_info()->name());
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
};

// Replacing a file leaves the new bytes and nothing beside them; a folder that does not exist or a name
// that is a folder is refused with the file's name and nothing is left behind.
TEST_F(SafeFileTest, AReplacedFileIsWholeAndRefusalsLeaveNothing) {
    const fs::path path = dir / "still.png";
    ASSERT_TRUE(writeText(path, "first version"));
    std::vector<uint8_t> rgb(64 * 36 * 3, 200);
    std::string error;
    ASSERT_TRUE(writePng(path.string(), 64, 36, rgb.data(), &error)) << error;
    EXPECT_EQ(readFile(path).substr(1, 3), "PNG");
    EXPECT_EQ(listing(dir), std::vector<std::string>{"still.png"});

    EXPECT_FALSE(writeWholeFile((dir / "missing" / "x.wav").string(), "x", 1, &error));
    EXPECT_NE(error.find("x.wav"), std::string::npos) << error;
    fs::create_directories(dir / "folder.png");
    EXPECT_FALSE(writePng((dir / "folder.png").string(), 64, 36, rgb.data(), &error));
    EXPECT_NE(error.find("folder.png"), std::string::npos) << error;
    EXPECT_EQ(listing(dir), (std::vector<std::string>{"folder.png", "still.png"}));
}

// The temporary and hidden names beside a file: in its folder, hidden, unique, and never longer than a
// name may be, however long the file's own name (a shortened name is cut between characters).
TEST_F(SafeFileTest, HiddenNamesFitTheNameLimit) {
    std::vector<std::string> names = {"a",
                                      "still.png",
                                      std::string(240, 'n'),
                                      std::string(241, 'n'),
                                      std::string(255, 'n'),
                                      std::string(300, 'n')};
#ifndef _WIN32 // bytes of UTF-8 in a name, which a Windows narrow path reads in its own code page
    for (const char* character : {"\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x8e\xb5"}) // 2, 3 and 4 bytes
        for (size_t count : {80u, 85u, 119u, 120u, 121u, 127u})
            names.push_back([&] {
                std::string name = "x"; // a cut at 240 bytes then falls inside a character
                for (size_t i = 0; i < count; ++i) name += character;
                return name;
            }());
#endif
    for (const std::string& name : names) {
        SCOPED_TRACE(std::to_string(name.size()) + " bytes: " + name.substr(0, 12));
        const fs::path hidden = hiddenNameBeside((dir / name).string(), ".part");
        const std::string file = hidden.filename().string();
        EXPECT_EQ(hidden.parent_path(), dir);
        EXPECT_LE(file.size(), 255u);
        ASSERT_GE(file.size(), 1 + 9 + 5u);
        EXPECT_EQ(file.front(), '.');
        EXPECT_TRUE(file.ends_with(".part")) << file;
        const size_t kept = file.size() - 1 - 9 - 5; // ".", NAME, ".XXXXXXXX", ".part"
        EXPECT_EQ(file.substr(1, kept), name.substr(0, kept));
        EXPECT_GT(kept, name.size() < 240 ? name.size() - 1 : 236u) << "shortened more than needed";
        EXPECT_TRUE(kept == name.size() || (uint8_t(name[kept]) & 0xC0) != 0x80) << "cut inside a character";
        EXPECT_NE(hiddenNameBeside((dir / name).string(), ".part"), hidden.string());
    }
#ifndef _WIN32 // beyond the length a Windows path may have
    // The longest name a folder takes is written whole, through its temporary name.
    const std::string longest(255, 'n');
    EXPECT_TRUE(writeText(dir / longest, "whole"));
    EXPECT_EQ(readFile(dir / longest), "whole");
    EXPECT_EQ(listing(dir), std::vector<std::string>{longest});
#endif
}

#ifndef _WIN32
// Every writer on a filesystem with a few KiB left: each fails naming the file and the reason, leaves
// neither the file nor its temporary behind, and an earlier file under the same name survives intact.
TEST_F(SafeFileTest, AFullFilesystemLeavesNothingPartial) {
    const fs::path full = dir / "full";
    fs::create_directories(full);
    if (mount("tmpfs", full.c_str(), "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno) << "); needs root";
    struct Unmount {
        fs::path at;
        ~Unmount() { umount(at.c_str()); }
    } unmount{full};

    ASSERT_TRUE(writeText(full / "keep.png", "old"));
    const std::vector<uint8_t> big(64 * 1024, 7);
    std::vector<uint8_t> noise(160 * 90 * 3); // does not compress below the space left
    std::mt19937 random(1);
    for (uint8_t& byte : noise) byte = uint8_t(random());
    std::string error;

    EXPECT_FALSE(writeWholeFile((full / "data.bin").string(), big.data(), big.size(), &error));
    EXPECT_NE(error.find("data.bin: No space left on device"), std::string::npos) << error;

    EXPECT_FALSE(writePng((full / "keep.png").string(), 160, 90, noise.data(), &error));
    EXPECT_NE(error.find("keep.png"), std::string::npos) << error;

    WavWriter wav;
    if (wav.open((full / "music.wav").string(), 44100, &error)) {
        const std::vector<float> second(2 * 44100, 0.25f);
        wav.write(second.data(), 44100);
        EXPECT_FALSE(wav.close(&error));
    }
    EXPECT_NE(error.find("music.wav"), std::string::npos) << error;

    EXPECT_EQ(listing(full), std::vector<std::string>{"keep.png"});
    EXPECT_EQ(readFile(full / "keep.png"), "old");
}

TEST_F(SafeFileTest, DevicesAreWrittenDirectlyAndTheirFailuresReported) {
    std::string error;
    EXPECT_FALSE(writeWholeFile("/dev/full", "x", 1, &error));
    EXPECT_EQ(error, "cannot write /dev/full: No space left on device");
    EXPECT_TRUE(writeWholeFile("/dev/null", "x", 1, &error)) << error;
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

// A write that fails part-way on an ordinary disk (the process's file size limit), after some bytes went
// through: reported, and the previous file stays.
TEST_F(SafeFileTest, AFailedWriteKeepsThePreviousFile) {
    const fs::path path = dir / "song.xm";
    ASSERT_TRUE(writeText(path, "previous"));
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::vector<uint8_t> big(100000, 1);
    std::string error;
    const bool written = writeWholeFile(path.string(), big.data(), big.size(), &error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
    EXPECT_NE(error.find("song.xm: File too large"), std::string::npos) << error;
    EXPECT_EQ(readFile(path), "previous");
    EXPECT_EQ(listing(dir), std::vector<std::string>{"song.xm"});
}

// A link stays a link and its target gets the bytes; an existing file keeps its mode, a new one gets the
// umask's.
TEST_F(SafeFileTest, LinksAndModesSurviveTheRename) {
    const fs::path target = dir / "target.wav";
    ASSERT_TRUE(writeText(target, "a"));
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("target.wav", dir / "link.wav");
    std::string error;
    ASSERT_TRUE(writeWholeFile((dir / "link.wav").string(), "new", 3, &error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir / "link.wav"));
    EXPECT_EQ(readFile(target), "new");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    const mode_t mask = umask(027);
    ASSERT_TRUE(writeWholeFile((dir / "fresh").string(), "", 0, &error)) << error;
    umask(mask);
    struct stat st {};
    ASSERT_EQ(stat((dir / "fresh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(listing(dir), (std::vector<std::string>{"fresh", "link.wav", "target.wav"}));
}

// Where the bytes go is decided by stat of the path itself, and the check before a long run opens no FIFO
// or device: a FIFO without a reader does not block it, and /dev/fd/N of a pipe (what /dev/stdout and
// process substitution name) gets the bytes in place. A loop of links and a folder are refused by both
// the check and the write, and left as they were; a dangling link gets its target created. A file with
// another name (hard link), reached by itself or by a link, is refused: the other name keeps its bytes.
TEST_F(SafeFileTest, PathsAreJudgedByStatAlone) {
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    ASSERT_TRUE(writeText((dir / "linked").string(), "old"));
    fs::create_hard_link(dir / "linked", dir / "other");
    fs::create_symlink("linked", dir / "to-linked");
    fs::create_symlink("b", dir / "a");
    fs::create_symlink("a", dir / "b");
    fs::create_directories(dir / "folder");
    fs::create_symlink("target", dir / "dangling");
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK); // a write that did not arrive fails the read, not hangs it
    const std::string pipePath = "/dev/fd/" + std::to_string(pipeEnds[1]);
    struct Case {
        std::string path;
        bool direct;
        std::string refusal; // empty when the path can be written
    };
    const Case cases[] = {
        {(dir / "new.bin").string(), false, ""},
        {(dir / "dangling").string(), false, ""},
        {"/dev/null", true, ""},
        {pipePath, true, ""},
        {(dir / "fifo").string(), true, ""},
        {(dir / "a").string(), false, ": Too many levels of symbolic links"},
        {(dir / "folder").string(), false, ": Is a directory"},
        {(dir / std::string(256, 'n')).string(), false, ": File name too long"},
        {(dir / "linked").string(), false,
         ": it has 2 names (hard links), and the others would keep the old content"},
        {(dir / "to-linked").string(), false,
         ": it has 2 names (hard links), and the others would keep the old content"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.substr(c.path.size() > 40 ? c.path.size() - 40 : 0));
        bool direct = !c.direct;
        std::string error;
        // Were the FIFO opened, this would wait for a reader: one is opened after 5 s to end the wait.
        auto checked = std::async(std::launch::async, [&] { return checkOutput(c.path, &direct, &error); });
        if (checked.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            ADD_FAILURE() << "the check opened the FIFO";
            close(open(c.path.c_str(), O_RDONLY | O_NONBLOCK));
        }
        EXPECT_EQ(checked.get(), c.refusal.empty()) << error;
        if (!c.refusal.empty()) {
            EXPECT_EQ(error, "cannot write " + c.path + c.refusal);
            EXPECT_FALSE(writeText(c.path, "x"));
            continue;
        }
        EXPECT_EQ(direct, c.direct);
        if (c.path.ends_with("fifo")) continue; // written by the capture test, with a reader
        EXPECT_TRUE(writeText(c.path, "bytes"));
    }
    char fromPipe[8] = {};
    EXPECT_EQ(read(pipeEnds[0], fromPipe, sizeof fromPipe), 5);
    EXPECT_STREQ(fromPipe, "bytes");
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    EXPECT_EQ(readFile(dir / "new.bin"), "bytes");
    EXPECT_EQ(readFile(dir / "target"), "bytes");
    EXPECT_EQ(fs::read_symlink(dir / "a"), "b");
    EXPECT_EQ(fs::read_symlink(dir / "b"), "a");
    EXPECT_EQ(readFile(dir / "other"), "old");
    EXPECT_EQ(listing(dir), (std::vector<std::string>{"a", "b", "dangling", "fifo", "folder", "linked",
                                                      "new.bin", "other", "target", "to-linked"}));
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
}

#endif

} // namespace
