// Output files that are whole or absent: every file the programs write (stills, frames, music, plots,
// previews, modules) goes through here, so a full disk or a failing device is reported, never a short or
// empty file under the final name.
//
// A regular file (new or existing) is written under a hidden temporary name in its folder, with the mode a
// plain create would give (the umask, or the existing file's mode), then renamed into place; a symbolic link
// is followed, so the link stays a link and its target is replaced. A device, a FIFO (/dev/stdout into a
// pipe included) or "-" (standard output) is written directly and never renamed over. Which of the two a
// path is comes from stat of the path itself. An existing file that the user may not write, or that has
// other names (hard links), is refused. After SIGINT or SIGTERM (stop_signal.h) nothing is committed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace output_files {

class SafeFile {
  public:
    SafeFile() = default;
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;
    // An uncommitted file leaves nothing under its name: the temporary one is removed.
    ~SafeFile();

    // False with "cannot write PATH: reason" when the file cannot be started.
    bool open(const std::string& path, std::string* error);
    // Appends; a failure is kept and reported by commit().
    void write(const void* data, size_t size);
    // Writes at `offset` from the start (a header completed at the end); regular files only.
    void writeAt(uint64_t offset, const void* data, size_t size);
    // Flushes, closes and renames into place; false with "cannot write PATH: reason".
    bool commit(std::string* error);

    // True once a write has failed (commit() says why).
    bool failed() const { return error_ != 0; }
    // Written straight to a device, FIFO or standard output: no going back to an earlier offset.
    bool direct() const { return direct_; }

    // The name of the temporary file for a regular file, else the path itself (an external writer such as
    // an encoder may fill it, then commit()).
    const std::string& writtenPath() const { return written_; }

  private:
    void fail(int error);

    std::string path_;    // as the caller named it, for messages
    std::string final_;   // where the file ends up (a link's target)
    std::string written_; // where the bytes go now
    int fd_ = -1;
    bool direct_ = false; // device, FIFO or standard output
    bool toStdout_ = false;
    bool open_ = false;
    int error_ = 0; // the first failure's errno
};

// What open() would make of `path`, found without opening a FIFO or a device (a reader would see an empty
// stream): false with "cannot write PATH: reason" when it would fail. `*direct` says whether the bytes
// would go straight to a device, FIFO or standard output. A regular file or new name is probed by creating
// and removing its temporary file.
bool checkOutput(const std::string& path, bool* direct, std::string* error);

// A hidden name beside `path` (in its folder): ".NAME.XXXXXXXX" and `ending`, unique by the random tag, and
// within the folder's limit on a name's length (NAME shortened where needed).
std::string hiddenNameBeside(const std::string& path, const char* ending);

// The whole of `size` bytes as one file.
bool writeWholeFile(const std::string& path, const void* data, size_t size, std::string* error);

} // namespace output_files
