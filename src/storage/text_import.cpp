#include "storage/text_import.h"

#include "storage/ascii.h"
#include "storage/atomic_file.h"
#include "storage/code_page.h"
#include "storage/storage_error.h"
#include "storage/text_lines.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace stanzel {

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// A file that is not UTF-8 is taken as Windows-1252, the code page text
// files from older systems are most often in; a byte it leaves undefined
// stands for the C1 control of the same value, as Windows itself reads it.
std::string AsUtf8(std::string_view bytes) {
    if (IsUtf8(bytes))
        return std::string(bytes);
    static const std::optional<CodePage> windows1252 = CodePage::Named(kFallbackCodePage);
    if (!windows1252)
        throw StorageError("The system cannot read " + std::string(kFallbackCodePage) + " text.");
    std::string out;
    windows1252->AppendUtf8(out, bytes);
    return out;
}

std::string Quoted(const std::filesystem::path& path) {
    return "\"" + path.string() + "\"";
}

[[noreturn]] void ThrowCannotOpen(const std::filesystem::path& path, const std::string& cause) {
    throw StorageError("Cannot open file " + Quoted(path) + ". " + cause);
}

[[noreturn]] void ThrowCannotOpen(const std::filesystem::path& path, int error) {
    ThrowCannotOpen(path, DescribeError({error, std::generic_category()}));
}

// An open descriptor on a regular file. Opening never blocks, so a pipe or a
// device that happens to be named *.txt cannot hang the window.
class DroppedFile {
public:
    explicit DroppedFile(const std::filesystem::path& path)
        : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
        if (fd_ < 0)
            ThrowCannotOpen(path_, errno);
        struct stat info {};
        if (::fstat(fd_, &info) != 0)
            Fail(errno);
        if (S_ISDIR(info.st_mode))
            Fail(EISDIR);
        if (!S_ISREG(info.st_mode)) {
            ::close(fd_);
            ThrowCannotOpen(path_, "It is not a regular file.");
        }
        size_ = static_cast<std::uintmax_t>(info.st_size);
    }
    DroppedFile(const DroppedFile&) = delete;
    DroppedFile& operator=(const DroppedFile&) = delete;
    ~DroppedFile() { ::close(fd_); }

    std::uintmax_t size() const { return size_; }

    // At most `limit` + 1 bytes, so a file that grew past the limit since it
    // was checked is recognised without reading all of it.
    std::string Read(std::uintmax_t limit) {
        std::string bytes;
        char buffer[1 << 16];
        while (bytes.size() <= limit) {
            const ssize_t got = ::read(fd_, buffer, sizeof buffer);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                Fail(errno);
            }
            if (got == 0)
                break;
            bytes.append(buffer, static_cast<std::size_t>(got));
        }
        return bytes;
    }

private:
    [[noreturn]] void Fail(int error) {
        ::close(fd_);
        fd_ = -1;
        ThrowCannotOpen(path_, error);
    }

    std::filesystem::path path_;
    int fd_;
    std::uintmax_t size_ = 0;
};

bool EndsInTxt(const std::string& path) {
    return path.size() >= 3 &&
           EqualsIgnoringAsciiCase(std::string_view(path).substr(path.size() - 3), "txt");
}

DropImport Refusal(std::string_view key) {
    DropImport result;
    result.outcome = DropImport::Outcome::Refused;
    result.warningKey = key;
    return result;
}

// The title box holds one line; a name may hold a line break on this system.
std::string SingleLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return text;
}

} // namespace

std::string DecodeTextFile(std::string_view bytes) {
    if (bytes.starts_with(kUtf8ByteOrderMark))
        bytes.remove_prefix(kUtf8ByteOrderMark.size());
    return NormaliseLineBreaks(AsUtf8(bytes));
}

DropImport ImportDroppedFiles(const std::vector<std::filesystem::path>& paths,
                              const ImportQuestion& ask) {
    if (paths.empty())
        return {};
    if (paths.size() > 1)
        return Refusal(kTooManyFilesKey);

    const std::filesystem::path& path = paths.front();
    if (!EndsInTxt(path.string()))
        return Refusal(kNotTextFileKey);
    if (DroppedFile(path).size() > kLargestImportBytes)
        return Refusal(kFileTooBigKey);

    DropImport result;
    result.fileName = AsUtf8(path.filename().string());
    if (!ask(result.fileName)) {
        result.outcome = DropImport::Outcome::Declined;
        return result;
    }

    // Read only now, after the answer: the file is the one the user agreed to.
    DroppedFile file(path);
    const std::string bytes = file.Read(kLargestImportBytes);
    if (bytes.size() > kLargestImportBytes)
        return Refusal(kFileTooBigKey);

    result.outcome = DropImport::Outcome::Imported;
    // Up to the first dot; a name without one has no title, and the user
    // gives it one before saving.
    const auto dot = result.fileName.find('.');
    result.title = dot == std::string::npos ? "" : SingleLine(result.fileName.substr(0, dot));
    result.text = DecodeTextFile(bytes);
    return result;
}

} // namespace stanzel
