#pragma once

#include "storage/atomic_file.h"

#include <QObject>
#include <QString>
#include <array>
#include <cstddef>
#include <functional>

class QSocketNotifier;

namespace stanzel {

// The collection's two folders, its own and its poems', watched through the
// system's notifications, which name each file added. A sync tool's conflict
// copy is told by its name as it comes, so a folder of a million poems is
// not read through again after each of the program's own saves to find one.
class FolderWatch : public QObject {
public:
    // `changed` runs when anything in either folder changed.
    FolderWatch(QObject* parent, std::function<void()> changed);
    ~FolderWatch() override;

    // Watches the folder at `path` as folder `which` (0 the collection's, 1
    // the poems'), telling the names `keep` takes; nothing when it is
    // watched already.
    void watch(std::size_t which, const QString& path, FolderLook::Keep keep);
    bool watching(std::size_t which) const { return watches_[which].descriptor >= 0; }

    // What the notifications told since the last take. Unless `whole`,
    // some may be missing: a folder is not watched or was watched afresh,
    // or the system dropped notifications it had no room for.
    struct Told {
        bool whole = true;
        bool kept = false; // a name `keep` takes was added
    };
    Told take();

private:
    void readNotifications();

    struct Watch {
        int descriptor = -1;
        FolderLook::Keep keep = nullptr;
    };
    int fd_ = -1;
    std::array<Watch, 2> watches_;
    QSocketNotifier* notifier_ = nullptr;
    std::function<void()> changed_;
    Told told_{false, false};
};

} // namespace stanzel
