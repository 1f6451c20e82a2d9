// Output files are whole or absent: a full filesystem, a full device, a failing write and links.
#include "png_file.h"
#include "safe_file.h"
#include "wav_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

#endif

} // namespace
