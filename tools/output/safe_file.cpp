#include "safe_file.h"

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

// ".NAME.SUFFIX.part", built piece by piece (GCC 12 at -O3 sees a false overlap in the chained sum).
std::string temporaryName(const std::string& name, const char* suffix) {
    std::string temporary = ".";
    temporary += name;
    temporary += suffix;
    temporary += ".part";
    return temporary;
}

// A link is followed to the file it names (relative links from the link's folder), however many there are.
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
    if (!direct_) std::remove(written_.c_str());
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
    final_ = resolveLinks(path);
    struct stat existing {};
    const bool exists = stat(final_.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        if (S_ISDIR(existing.st_mode)) {
            *error = "cannot write " + path + ": " + std::strerror(EISDIR);
            return false;
        }
        direct_ = true;
        written_ = final_;
#ifdef _WIN32
        fd_ = _open(final_.c_str(), _O_WRONLY | _O_BINARY);
#else
        fd_ = ::open(final_.c_str(), O_WRONLY | O_CLOEXEC);
#endif
    } else {
        // Created with 0666 the umask applies as for any new file; an existing file keeps its mode.
        std::random_device random;
        const std::filesystem::path target = final_;
        for (int attempt = 0; attempt < 16; ++attempt) {
            char suffix[16];
            std::snprintf(suffix, sizeof suffix, ".%08x", unsigned(random()));
            written_ = (target.parent_path() / temporaryName(target.filename().string(), suffix)).string();
            fd_ = ::open(written_.c_str(), kCreateFlags, 0666);
            if (fd_ >= 0 || errno != EEXIST) break;
        }
#ifndef _WIN32
        if (fd_ >= 0 && exists && fchmod(fd_, existing.st_mode & 07777) != 0) fail(errno);
#endif
    }
    if (fd_ < 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    open_ = true;
    return true;
}

void SafeFile::write(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0 && !error_) {
        const auto n = writeSome(fd_, bytes, size);
        if (n < 0 && errno == EINTR) continue;
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
    if (!error_ && !direct_ && replaceFile(written_, final_) != 0) fail(errno);
    open_ = false;
    if (!error_) return true;
    if (!direct_) std::remove(written_.c_str());
    *error = "cannot write " + path_ + ": " + std::strerror(error_);
    return false;
}

bool writeWholeFile(const std::string& path, const void* data, size_t size, std::string* error) {
    SafeFile file;
    if (!file.open(path, error)) return false;
    file.write(data, size);
    return file.commit(error);
}
