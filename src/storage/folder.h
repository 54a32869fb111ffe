#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

struct stat;

namespace stanzel {

struct FileRef;

// A folder held open for the run. Every file of the collection is opened,
// replaced and removed relative to it, so that a collection folder moved or
// renamed while the program runs goes on being the collection, and nothing
// is ever made at the place it was opened from.
class Folder {
public:
    // A folder that cannot be opened still makes a Folder: each file
    // operation on it then fails with the reason.
    static std::shared_ptr<const Folder> Open(const std::filesystem::path& path);
    // A folder below one held open ("poems"), reached as any file below it
    // is: never through a link. Its files are below the folder held open
    // too, and are never opened through a link either.
    static std::shared_ptr<const Folder> OpenBelow(const FileRef& folder);
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    ~Folder();

    int fd() const { return fd_; }
    std::error_code openError() const { return openError_; }
    // Where the folder is now, for messages; where it was opened when the
    // system cannot tell.
    std::filesystem::path path() const;
    bool below() const { return below_; }

private:
    Folder(int fd, std::filesystem::path opened, std::error_code error, bool below = false);

    int fd_;
    std::filesystem::path opened_;
    std::error_code openError_;
    bool below_;
};

// A file named relative to a folder held open: "poems.dmp", "poems/12.poem".
struct FileRef {
    std::shared_ptr<const Folder> folder;
    std::string name;

    FileRef(std::shared_ptr<const Folder> in, std::string relative)
        : folder(std::move(in)), name(std::move(relative)) {}
    // A file named by its path: its folder is opened for the operation.
    FileRef(const std::filesystem::path& path); // NOLINT: a path names a file as well
    FileRef(const char* path) : FileRef(std::filesystem::path(path)) {}

    int dirFd() const { return folder->fd(); }
    // The full path, for messages.
    std::filesystem::path path() const { return folder->path() / name; }
    // The folder part of the name ("poems" for "poems/12.poem", "." for none)
    // and the file's own name.
    std::string parentName() const;
    std::string fileName() const;
};

// The folder a file is in, reached for one operation from the folder held
// open one name at a time and never through a link: what keeps every read and
// write of the collection inside it, whatever links a received collection
// carries. For "poems.dmp" it is the folder held open itself; for
// "poems/12.poem" the "poems" folder, refused when "poems" is a link.
class FileParent {
public:
    explicit FileParent(const FileRef& file);
    FileParent(const FileParent&) = delete;
    FileParent& operator=(const FileParent&) = delete;
    ~FileParent();

    // -1 when the folder cannot be reached, and error() says why.
    int fd() const { return fd_; }
    std::error_code error() const { return error_; }
    // The file's own name in that folder.
    const char* leaf() const { return leaf_.c_str(); }
    // A file directly in a folder the caller opened (the index, the settings,
    // a file the user chose) is read through a link the user made; one below
    // it (a poem's text, a draft) never: O_NOFOLLOW for those.
    int noFollow() const;

private:
    int fd_ = -1;
    bool owned_ = false;
    bool nested_ = false;
    std::string leaf_;
    std::error_code error_;
};

// The file operations every part of the collection goes through, each
// reached through its FileParent; each sets errno as the system call does.
// A link where a file below the folder held open should be opens as "Not a
// regular file"; a link replaced or removed is the link itself, never the
// file it names.
int OpenInFolder(const FileRef& file, int flags, unsigned mode = 0);
// stat for a file directly in its folder, lstat for one below it.
bool StatInFolder(const FileRef& file, struct stat& info);
// lstat: what stands under the name itself, a link not followed.
bool StatNameInFolder(const FileRef& file, struct stat& info);
int RemoveInFolder(const FileRef& file);
int MakeFolderIn(const FileRef& folder);

// "Not a regular file": a FIFO, device, socket or link where a file should be.
std::error_code NotARegularFile();

// Whether the two name the same file of the same folder, however each was
// opened.
bool SameFile(const FileRef& a, const FileRef& b);

// What tells one version of a file from another without reading it: a file
// replaced by a rename is another inode, one written in place has another
// size or change time.
struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long size = -1;
    long long modifiedSeconds = 0;
    long modifiedNanoseconds = 0;
    long long changedSeconds = 0;
    long changedNanoseconds = 0;
    bool exists = false;

    static FileIdentity Of(const struct stat& info);
    // The file's identity now; a file that is missing (or cannot be looked
    // at) has the identity of no file.
    static FileIdentity Now(const FileRef& file);
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
    // The same contents, however often the file was renamed since: a rename
    // gives it a new change time, nothing else.
    friend bool SameVersion(const FileIdentity& a, const FileIdentity& b) {
        return a.exists == b.exists && a.device == b.device && a.inode == b.inode &&
               a.size == b.size && a.modifiedSeconds == b.modifiedSeconds &&
               a.modifiedNanoseconds == b.modifiedNanoseconds;
    }
};

} // namespace stanzel
