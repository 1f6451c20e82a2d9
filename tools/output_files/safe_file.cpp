#include "tools/output_files/safe_file.h"

#include "platform/stop_signal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

using namespace platform;

namespace output_files {

namespace {

#ifdef _WIN32
constexpr int kCreateFlags = _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY;
int writeSome(int fd, const void* data, size_t size) {
    return _write(fd, data, unsigned(std::min<size_t>(size, 1u << 30)));
}
int64_t seekTo(int fd, uint64_t offset) {
    return _lseeki64(fd, int64_t(offset), SEEK_SET);
}
int flushAndClose(int fd) {
    const int flushed = _commit(fd);
    return _close(fd) != 0 || flushed != 0 ? -1 : 0;
}
int replaceFile(const std::string& from, const std::string& to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    errno = EACCES;
    return -1;
}
#else
constexpr int kCreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
ssize_t writeSome(int fd, const void* data, size_t size) {
    return ::write(fd, data, size);
}
off_t seekTo(int fd, uint64_t offset) {
    return lseek(fd, off_t(offset), SEEK_SET);
}
int flushAndClose(int fd) {
    // A delayed allocation can fail only here: the data reaches the disk before the name moves.
    const int synced = fdatasync(fd);
    return close(fd) != 0 || (synced != 0 && errno != EINVAL) ? -1 : 0;
}
int replaceFile(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str());
}
#endif

// The longest name a file in `folder` may have.
size_t nameLimit(const std::filesystem::path& folder) {
#ifdef _WIN32
    (void)folder;
#else
    const long limit = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    if (limit > 0) return size_t(limit);
#endif
    return 255;
}

// A link is followed to the file it names (relative links from the link's folder), however many there are
// (a loop has been refused by stat before).
std::string resolveLinks(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path p = path;
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(p, ec)); ++hops) {
        const fs::path target = fs::read_symlink(p, ec);
        if (ec) break;
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    return p.string();
}

// Where the bytes for a path go, decided by stat of the path alone: nothing is opened, so a FIFO's reader
// sees no end of file and a device is not touched.
struct Destination {
    std::string final;   // a regular file or a new name with its links followed; else the path itself
    bool direct = false; // a FIFO, a device or a socket, written in place
    bool exists = false;
    unsigned mode = 0; // an existing file's permission bits
};

std::string cannotWrite(const std::string& path, int error) {
    return "cannot write " + path + ": " + std::strerror(error);
}

// False with "cannot write PATH: reason" when nothing can be written at `path`: a folder, a loop of links, a
// name too long, a folder on the way that cannot be searched. An existing file is refused, as the shell
// refuses it, when the user may not write it (replacing it through the folder would bypass its mode), and
// when it has other names (hard links): those would keep the old bytes while this name got the new ones.
bool locate(const std::string& path, Destination* destination, std::string* error) {
    struct stat existing {};
    if (stat(path.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) {
            *error = cannotWrite(path, EISDIR);
            return false;
        }
        destination->direct = !S_ISREG(existing.st_mode);
        destination->exists = true;
        destination->mode = existing.st_mode & 07777;
#ifndef _WIN32
        if (!destination->direct && access(path.c_str(), W_OK) != 0) {
            *error = cannotWrite(path, errno);
            return false;
        }
        if (!destination->direct && existing.st_nlink > 1) {
            *error = "cannot write " + path + ": it has " + std::to_string(existing.st_nlink) +
                     " names (hard links), and the others would keep the old content";
            return false;
        }
#endif
    } else if (errno != ENOENT) {
        *error = cannotWrite(path, errno);
        return false;
    }
    // A pipe reached through /dev/stdout or /dev/fd/N links to "pipe:[N]", which names no file: only a
    // regular file or a new name is looked up through its links.
    destination->final = destination->direct ? path : resolveLinks(path);
    return true;
}

// Opens a FIFO, a device or a socket in place. A FIFO's open waits for a reader, and a stop signal may be
// taken by one of the GPU driver's threads instead of the one blocked in the open: so the open is tried
// without waiting, every 20 ms, until a reader comes or a stop is asked for (then it fails with EINTR).
int openDirect(const std::string& path) {
#ifdef _WIN32
    int fd;
    do fd = _open(path.c_str(), _O_WRONLY | _O_BINARY);
    while (fd < 0 && errno == EINTR && !stopSignal());
    return fd;
#else
    for (;;) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0) {
            const int flags = fcntl(fd, F_GETFL);
            if (flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0) return fd;
            const int failure = errno;
            ::close(fd);
            errno = failure;
            return -1;
        }
        if (stopSignal()) {
            errno = EINTR;
            return -1;
        }
        if (errno != ENXIO && errno != EINTR) return -1;
        usleep(20000);
    }
#endif
}

} // namespace

SafeFile::~SafeFile() {
    if (!open_) return;
    if (fd_ >= 0 && !toStdout_) {
#ifdef _WIN32
        _close(fd_);
#else
        close(fd_);
#endif
    }
    if (!direct_) {
        std::remove(written_.c_str());
        keepOnStop(written_);
    }
}

void SafeFile::fail(int error) {
    if (!error_) error_ = error ? error : EIO;
}

bool SafeFile::open(const std::string& path, std::string* error) {
    path_ = path;
    error_ = 0;
    if (path == "-") {
        direct_ = toStdout_ = true;
        fd_ = 1;
        written_ = final_ = path;
        open_ = true;
        return true;
    }
    Destination destination;
    if (!locate(path, &destination, error)) return false;
    final_ = destination.final;
    direct_ = destination.direct;
    if (direct_) {
        written_ = final_;
        fd_ = openDirect(final_);
    } else {
        // Created with 0666 the umask applies as for any new file; an existing file keeps its mode.
        for (int attempt = 0; attempt < 16; ++attempt) {
            written_ = hiddenNameBeside(final_, ".part");
            fd_ = ::open(written_.c_str(), kCreateFlags, 0666);
            if (fd_ >= 0 || errno != EEXIST) break;
        }
#ifndef _WIN32
        if (fd_ >= 0 && destination.exists && fchmod(fd_, destination.mode) != 0) fail(errno);
#endif
    }
    if (fd_ < 0) {
        *error = cannotWrite(path, errno);
        return false;
    }
    if (!direct_) removeOnStop(written_);
    open_ = true;
    return true;
}

void SafeFile::write(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0 && !error_) {
        const auto n = writeSome(fd_, bytes, size);
        if (n < 0 && errno == EINTR && !stopSignal()) continue;
        if (n <= 0) {
            fail(n < 0 ? errno : ENOSPC);
            return;
        }
        bytes += n;
        size -= size_t(n);
    }
}

void SafeFile::writeAt(uint64_t offset, const void* data, size_t size) {
    if (error_) return;
    if (direct_ || seekTo(fd_, offset) < 0) {
        fail(direct_ ? ESPIPE : errno);
        return;
    }
    write(data, size);
}

bool SafeFile::commit(std::string* error) {
    if (!open_) {
        *error = "cannot write " + path_ + ": not open";
        return false;
    }
    if (!toStdout_ && flushAndClose(fd_) != 0) fail(errno);
    fd_ = -1;
    // A run stopped by SIGINT or SIGTERM is unfinished: the earlier file stays.
    if (stopSignal()) fail(EINTR);
    if (!error_ && !direct_ && replaceFile(written_, final_) != 0) fail(errno);
    open_ = false;
    keepOnStop(written_);
    if (!error_) return true;
    if (!direct_) std::remove(written_.c_str());
    *error = cannotWrite(path_, error_);
    return false;
}

bool writeWholeFile(const std::string& path, const void* data, size_t size, std::string* error) {
    SafeFile file;
    if (!file.open(path, error)) return false;
    file.write(data, size);
    return file.commit(error);
}

std::string hiddenNameBeside(const std::string& path, const char* ending) {
    const std::filesystem::path target = path;
    char tag[16];
    std::snprintf(tag, sizeof tag, ".%08x", unsigned(std::random_device()()));
    std::string name = target.filename().string();
    const size_t overhead = 1 + std::strlen(tag) + std::strlen(ending);
    const size_t limit = nameLimit(target.parent_path());
    size_t keep = limit > overhead ? limit - overhead : 0;
    if (name.size() > keep) {
        // Cut before a character: UTF-8 continuation bytes are 10xxxxxx.
        while (keep > 0 && (uint8_t(name[keep]) & 0xC0) == 0x80) --keep;
        name.resize(keep);
    }
    // Built piece by piece (GCC 12 at -O3 sees a false overlap in the chained sum).
    std::string hidden = ".";
    hidden += name;
    hidden += tag;
    hidden += ending;
    return (target.parent_path() / hidden).string();
}

bool checkOutput(const std::string& path, bool* direct, std::string* error) {
    Destination destination;
    if (path == "-") {
        destination.direct = true;
    } else if (!locate(path, &destination, error)) {
        return false;
    }
    *direct = destination.direct;
    if (!destination.direct) {
        SafeFile probe; // creates the temporary file, which the uncommitted probe removes
        return probe.open(path, error);
    }
#ifndef _WIN32
    if (path != "-" && access(path.c_str(), W_OK) != 0) {
        *error = cannotWrite(path, errno);
        return false;
    }
#endif
    return true;
}

} // namespace output_files
