#include "app/director/file_watcher.h"

#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace app {

namespace {

constexpr uint32_t kWatchedEvents =
    IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE;

} // namespace

FileWatcher::FileWatcher(std::string folder, std::chrono::milliseconds settle, Mode mode)
    : folder_(std::move(folder)), settle_(settle), mode_(mode) {
    if (mode_ == Mode::Notify) {
        notify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (notify_ < 0 || inotify_add_watch(notify_, folder_.c_str(), kWatchedEvents) < 0) {
            if (notify_ >= 0) close(notify_);
            notify_ = -1;
            mode_ = Mode::Poll;
        }
    }
    // The poll's first look only learns what is there.
    if (mode_ == Mode::Poll) {
        pollFolder(Clock::now());
        pending_.clear();
    }
}

FileWatcher::~FileWatcher() {
    if (notify_ >= 0) close(notify_);
}

bool FileWatcher::signatureOf(const std::string& name, Signature& signature) const {
    struct stat s;
    if (stat((folder_ + "/" + name).c_str(), &s) != 0 || !S_ISREG(s.st_mode)) return false;
    signature = {s.st_dev, s.st_ino, (unsigned long long)s.st_size,
                 (unsigned long long)s.st_mtim.tv_sec * 1000000000ull +
                     (unsigned long long)s.st_mtim.tv_nsec};
    return true;
}

void FileWatcher::drainEvents(Clock::time_point now) {
    alignas(inotify_event) char buffer[16384];
    for (ssize_t got; (got = read(notify_, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            // Events were lost: anything may have changed.
            if (event->mask & IN_Q_OVERFLOW) {
                std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder_.c_str()), closedir);
                for (dirent* entry; dir && (entry = readdir(dir.get()));) pending_[entry->d_name] = now;
            } else if (event->len > 0) {
                pending_[event->name] = now;
            }
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
}

void FileWatcher::pollFolder(Clock::time_point now) {
    std::map<std::string, Signature> seen;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder_.c_str()), closedir);
    for (dirent* entry; dir && (entry = readdir(dir.get()));) {
        Signature signature;
        if (!signatureOf(entry->d_name, signature)) continue;
        auto known = known_.find(entry->d_name);
        if (known == known_.end() || !(known->second == signature)) pending_[entry->d_name] = now;
        seen.emplace(entry->d_name, signature);
    }
    known_ = std::move(seen);
    lastPoll_ = now;
}

std::vector<std::string> FileWatcher::settledChanges() {
    const Clock::time_point now = Clock::now();
    if (mode_ == Mode::Notify)
        drainEvents(now);
    else if (now - lastPoll_ >= settle_ / 4)
        pollFolder(now);
    std::vector<std::string> settled;
    for (auto entry = pending_.begin(); entry != pending_.end();) {
        if (now - entry->second < settle_) {
            ++entry;
            continue;
        }
        Signature signature;
        if (signatureOf(entry->first, signature)) settled.push_back(entry->first);
        entry = pending_.erase(entry);
    }
    return settled;
}

} // namespace app
