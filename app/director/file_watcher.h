// Watches the files of one folder (not its subfolders) for the director mode and reports each changed
// file once its writes have settled, so that an editor's save (truncate and write, or write a temporary
// and rename it over the file) is reported once, after its last write. Linux inotify on the folder, which
// also sees files replaced by a rename; where inotify cannot be had, a poll of every file's size,
// modification time and inode.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace app {

class FileWatcher {
  public:
    enum class Mode { Notify, Poll };

    // `settle`: how long a file must stay untouched before it is reported.
    explicit FileWatcher(std::string folder,
                         std::chrono::milliseconds settle = std::chrono::milliseconds(150),
                         Mode mode = Mode::Notify);
    ~FileWatcher();
    FileWatcher(const FileWatcher&) = delete;
    FileWatcher& operator=(const FileWatcher&) = delete;

    // The names (within the folder) of the files that changed and then stayed untouched for the settle
    // time since the last call, sorted. Files that are gone by then are not named. Cheap: call it every
    // frame.
    std::vector<std::string> settledChanges();

    // Poll where inotify was asked for but could not be set up.
    Mode mode() const { return mode_; }

  private:
    using Clock = std::chrono::steady_clock;
    struct Signature {
        unsigned long long device = 0, inode = 0, size = 0, modifiedNs = 0;
        bool operator==(const Signature&) const = default;
    };

    void drainEvents(Clock::time_point now);
    void pollFolder(Clock::time_point now);
    bool signatureOf(const std::string& name, Signature& signature) const;

    std::string folder_;
    std::chrono::milliseconds settle_;
    Mode mode_;
    int notify_ = -1;
    Clock::time_point lastPoll_{};
    std::map<std::string, Signature> known_;           // poll: every file as last seen
    std::map<std::string, Clock::time_point> pending_; // changed, not yet reported: when last touched
};

} // namespace app
