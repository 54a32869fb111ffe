#include "mainwindow/folder_watch.h"

#include <QSocketNotifier>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <sys/inotify.h>
#include <unistd.h>
#include <utility>

namespace stanzel {

namespace {

// Names added, removed and renamed, and the folder itself replaced: what a
// sync tool's writes and another program's saves do to a folder.
constexpr std::uint32_t kFolderEvents =
    IN_ATTRIB | IN_MOVE | IN_CREATE | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

} // namespace

FolderWatch::FolderWatch(QObject* parent, std::function<void()> changed)
    : QObject(parent), fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
      changed_(std::move(changed)) {
    if (fd_ < 0)
        return;
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { readNotifications(); });
}

FolderWatch::~FolderWatch() {
    delete notifier_;
    if (fd_ >= 0)
        ::close(fd_);
}

void FolderWatch::watch(std::size_t which, const QString& path, FolderLook::Keep keep) {
    if (fd_ < 0 || watching(which))
        return;
    const int descriptor = ::inotify_add_watch(fd_, path.toLocal8Bit().constData(), kFolderEvents);
    if (descriptor < 0)
        return;
    watches_[which] = {descriptor, keep};
    // What was added before is for a look through the folder to tell.
    told_.whole = false;
}

FolderWatch::Told FolderWatch::take() {
    Told told = std::exchange(told_, Told{});
    told.whole = told.whole && watching(0) && watching(1);
    return told;
}

void FolderWatch::readNotifications() {
    alignas(inotify_event) char buffer[64 * 1024];
    bool any = false;
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got <= 0)
            break;
        any = true;
        for (ssize_t at = 0; at < got;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const char* name = buffer + at + sizeof event;
            at += static_cast<ssize_t>(sizeof event + event.len);
            if (event.mask & IN_Q_OVERFLOW) {
                told_.whole = false;
                continue;
            }
            for (Watch& watch : watches_) {
                if (watch.descriptor != event.wd)
                    continue;
                if (event.mask & IN_IGNORED) {
                    // The folder is gone or replaced: watched afresh later.
                    watch.descriptor = -1;
                    told_.whole = false;
                } else if ((event.mask & (IN_CREATE | IN_MOVED_TO)) && event.len > 0 &&
                           watch.keep && watch.keep(std::string_view(name))) {
                    told_.kept = true;
                }
            }
        }
    }
    if (any && changed_)
        changed_();
}

} // namespace stanzel
