#pragma once

#include "storage/folder.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace stanzel {

// The whole contents of a file, or the reason it could not be read.
struct FileContents {
    std::string bytes;
    std::error_code error; // set when the file is missing or unreadable
    FileIdentity identity; // of the version read
    bool missing() const { return error == std::errc::no_such_file_or_directory; }
};

// Only a regular file is read: a FIFO, device or folder in its place reads as
// a file that cannot be opened ("Not a regular file", or "Is a directory"),
// without ever waiting for a writer that will not come.
FileContents ReadWholeFile(const FileRef& file);

// A file opened for reading as ReadWholeFile opens it, read piece by piece:
// for a file too large to read in one frame of the window.
class FileReader {
public:
    explicit FileReader(const FileRef& file);
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;
    ~FileReader();

    std::error_code error() const { return error_; }
    // Of the file as opened; a file replaced meanwhile is read as it was.
    const FileIdentity& identity() const { return identity_; }
    // Appends at most `most` more bytes to `bytes`, which holds what was
    // read of this file so far; false at the end.
    bool ReadSome(std::string& bytes, std::size_t most);
    // Whether the file was written in place while it was read.
    bool ChangedSinceOpened() const;

private:
    int fd_ = -1;
    std::error_code error_;
    FileIdentity identity_;
};

// The new versions of several files, each written in full and flushed beside
// its file under a temporary name, that take the files' places together.
//
// Nothing is replaced until Commit, so a failure while preparing leaves every
// file as it was. Commit first puts in place the files that do not exist yet
// (nothing refers to them, and a crash leaves at worst a file nobody lists),
// then replaces the others in the order they were prepared, then removes the
// files named by Remove. When one of those steps fails, the files replaced
// before it get their previous bytes back and new ones are removed again, so
// that a reported failure has changed nothing. A file whose previous bytes are
// not given can only be put back by being last.
class FileReplacement {
public:
    struct Failure {
        FileRef file;               // as the caller named it
        std::filesystem::path path; // its full path
        std::error_code error;
        bool removing = false; // the file could not be removed
        // Another program replaced the file since its previous text was
        // read (ExpectUnchanged): nothing was changed.
        bool changedMeanwhile = false;
    };

    FileReplacement() = default;
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;
    ~FileReplacement(); // removes every temporary file not put in place

    // Writes and flushes the new version of `file` (a link in its place is
    // replaced itself, never the file it names; a file keeps its permissions). `previous`, when
    // given, is what the file holds now; it must outlive the commit.
    std::error_code Prepare(const FileRef& file, std::string_view bytes,
                            const std::string* previous = nullptr);
    // The same for a text made of pieces, written as they stand.
    std::error_code Prepare(const FileRef& file, std::span<const std::string_view> pieces,
                            const std::string* previous = nullptr);
    // The commit goes ahead only while `file` still has `identity`, the one
    // it had when the text the new version is made from was read.
    void ExpectUnchanged(const FileRef& file, const FileIdentity& identity);
    // The same for a document made piece by piece and never held whole:
    // Begin makes the temporary file, each Write adds to it, and End flushes
    // it, after which it is prepared like any other. Until End the file is
    // not prepared: dropping the replacement removes it.
    std::error_code Begin(const FileRef& file, const std::string* previous = nullptr);
    std::error_code Write(std::string_view bytes);
    std::error_code End();
    // Deletes `file`, if it exists, once every prepared file is in place.
    void Remove(const FileRef& file);
    // Nothing on success.
    std::optional<Failure> Commit();
    // After a commit, the identity a file put in place has: what the next
    // command compares the file with to tell whether another program changed it.
    FileIdentity PlacedIdentity(const FileRef& file) const;

private:
    struct Pending {
        FileRef named;         // as the caller named it
        FileRef target;        // the file replaced
        std::string temporary; // beside the target; empty once put in place
        bool existed = false;
        const std::string* previous = nullptr;
        FileIdentity placed;
    };
    struct Expected {
        FileRef file;
        FileIdentity identity;
    };
    void putBack(const std::vector<const Pending*>& done);
    enum class Placed { Done, ChangedMeanwhile, Failed };
    // Renames the file's temporary into place, held to `expected` when given.
    static Placed PlaceFile(const Pending& file, const FileIdentity* expected);
    std::error_code writeOut(std::span<const std::string_view> pieces);
    void abandon();

    // The file between Begin and End.
    struct Open {
        Pending file;
        int fd = -1;
    };
    std::optional<Open> open_;
    std::vector<Pending> files_;
    std::vector<FileRef> removals_;
    std::vector<Expected> expected_;
};

// Replaces `file` with `bytes` so that a crash at any moment leaves either the
// old file or the new one: a FileReplacement of one file. On failure the old
// file is untouched and the returned code says why.
std::error_code ReplaceFileAtomically(const FileRef& file, std::string_view bytes);

// Writes `bytes` over the file itself, emptied first, and flushes it: for a
// file that may be written but beside which no temporary file can be made. A
// crash part-way leaves it incomplete.
std::error_code OverwriteFileInPlace(const FileRef& file, std::string_view bytes);

// One look through a folder's names, a batch at a time, so that the poems'
// folder of a large collection is looked through between the window's other
// work. On the way it removes the temporary files that this program left
// when its process was killed mid-write: those of processes that no longer
// run. Only names that this program makes are ever touched (hidden, with the
// marker ".stanzel-tmp-"); a user's own file never is, whatever its name.
// It keeps the names that `keep` accepts.
class FolderLook {
public:
    using Keep = bool (*)(std::string_view name);
    explicit FolderLook(const FileRef& folder, Keep keep = nullptr);
    FolderLook(const FolderLook&) = delete;
    FolderLook& operator=(const FolderLook&) = delete;
    ~FolderLook();
    // Looks at up to `names` more names; false once the folder is done.
    bool LookSome(std::size_t names);
    // The names kept, sorted once the look is done.
    const std::vector<std::string>& kept() const { return kept_; }
    // The folder as it stood before the look: a name that came after that
    // may have been missed, and a changed identity says so.
    const FileIdentity& identity() const { return identity_; }

private:
    void* dir_ = nullptr; // DIR*
    Keep keep_;
    std::vector<std::string> kept_;
    FileIdentity identity_;
};
void RemoveStaleTemporaryFiles(const FileRef& folder);

// The system's description of an error, for messages shown to the user.
std::string DescribeError(const std::error_code& error);

// A seam for the tests that prove a failed write changes nothing: every step
// of the writing above (creating a file, writing it, flushing it, renaming it
// into place, removing one) is counted, and the chosen one fails as if the
// system had refused it. Never armed by the program itself.
enum class FileStep { Create, Write, Flush, Rename, Remove };
namespace file_faults {
// The `occurrence`-th (from 1) step of that kind from now on fails with `error`.
void Arm(FileStep step, int occurrence, int error);
void Disarm();
// Whether the armed step has been reached since Arm.
bool Fired();
// Runs `meanwhile` once, at the next commit, when its files are prepared and
// none is renamed yet: where another program's write would fall.
void BeforeRenames(std::function<void()> meanwhile);
} // namespace file_faults

} // namespace stanzel
