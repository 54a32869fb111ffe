#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace stanzel {

// The whole contents of a file, or the reason it could not be read.
struct FileContents {
    std::string bytes;
    std::error_code error; // set when the file is missing or unreadable
    bool missing() const { return error == std::errc::no_such_file_or_directory; }
};

// Only a regular file is read: a FIFO, device or folder in its place reads as
// a file that cannot be opened ("Not a regular file", or "Is a directory"),
// without ever waiting for a writer that will not come.
FileContents ReadWholeFile(const std::filesystem::path& path);
// The same into a buffer the caller keeps: what it held is replaced, and its
// memory is used again rather than fresh memory faulted in.
std::error_code ReadFileInto(const std::filesystem::path& path, std::string& bytes);

class CopyAheadWriter; // copy_ahead.h
class DirectBlocks;    // direct_blocks.h

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
        std::filesystem::path path; // as the caller named it
        std::error_code error;
        bool removing = false; // the file could not be removed
    };

    // Lets go of the files the last replacement replaced (late_close.h).
    FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;
    ~FileReplacement(); // removes every temporary file not put in place

    // Writes and flushes the new version of `path` (a link is followed and its
    // target replaced; the file keeps its permissions). `previous`, when
    // given, is what the file holds now; it must outlive the commit.
    std::error_code Prepare(const std::filesystem::path& path, std::string_view bytes,
                            const std::string* previous = nullptr);
    // Starts the new version of `path` as a copy of `previous`, what the
    // caller has just read from it, on a thread of its own while the caller
    // works out its change (copy_ahead.h). The next Prepare of `path` then
    // writes only from the first byte that differs; any other Prepare or
    // Begin drops the copy. Failing to start it changes nothing: Prepare
    // writes the file whole and reports what goes wrong.
    void CopyAhead(const std::filesystem::path& path, std::shared_ptr<const std::string> previous);
    // The new version of `path` differs from `previous` at byte `end` at the
    // earliest: the copy stops there rather than copy what would be written
    // again.
    void CopyAheadUpTo(const std::filesystem::path& path, std::size_t end);
    // The same for a document made piece by piece and never held whole:
    // Begin makes the temporary file, each Write adds to it, and End flushes
    // it, after which it is prepared like any other. Until End the file is
    // not prepared: dropping the replacement removes it. Such a document
    // (an exported collection, gigabytes of it) is not read back, so where
    // the file system allows it goes to the disk past the system's cache, in
    // blocks written on a thread of their own while the next is made:
    // copying it into the cache cost as much as making it.
    std::error_code Begin(const std::filesystem::path& path, const std::string* previous = nullptr);
    std::error_code Write(std::string_view bytes);
    std::error_code End();
    // Deletes `path`, if it exists, once every prepared file is in place.
    void Remove(const std::filesystem::path& path);
    // Nothing on success.
    std::optional<Failure> Commit();

private:
    struct Pending {
        std::filesystem::path path;      // as named by the caller
        std::filesystem::path target;    // the file itself, a link followed
        std::filesystem::path temporary; // empty once put in place
        bool existed = false;
        const std::string* previous = nullptr;
    };
    void putBack(const std::vector<const Pending*>& done);

    // The file between Begin and End.
    struct Open {
        Pending file;
        int fd = -1;
        std::size_t written = 0;
        std::size_t sent = 0;                 // bytes already on their way to the disk
        std::unique_ptr<DirectBlocks> blocks; // when written past the cache
        std::unique_ptr<CopyAheadWriter> copy; // when copied ahead from the previous text
    };
    std::error_code begin(const std::filesystem::path& path, const std::string* previous,
                          bool pastTheCache);
    std::error_code createTemporary(const std::filesystem::path& path, const std::string* previous);
    std::error_code prepareCopied(std::string_view bytes, const std::string* previous);
    void abandon();

    std::optional<Open> open_;
    std::vector<Pending> files_;
    std::vector<std::filesystem::path> removals_;
};

// Replaces `path` with `bytes` so that a crash at any moment leaves either the
// old file or the new one: a FileReplacement of one file. On failure the old
// file is untouched and the returned code says why.
std::error_code ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// Writes `bytes` over the file itself, emptied first, and flushes it: for a
// file that may be written but beside which no temporary file can be made. A
// crash part-way leaves it incomplete.
std::error_code OverwriteFileInPlace(const std::filesystem::path& path, std::string_view bytes);

// Removes the temporary files that this program left in `directory` when its
// process was killed mid-write: those of processes that no longer run. Only
// names that this program makes are ever touched (hidden, with the marker
// ".stanzel-tmp-"); a user's own file never is, whatever its name.
void RemoveStaleTemporaryFiles(const std::filesystem::path& directory);

// The system's description of an error, for messages shown to the user.
std::string DescribeError(const std::error_code& error);

// "Not a regular file": a FIFO, device or socket where a file should be.
std::error_code NotARegularFile();

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
} // namespace file_faults

} // namespace stanzel
