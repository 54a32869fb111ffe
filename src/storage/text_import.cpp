#include "storage/text_import.h"

#include "storage/ascii.h"
#include "storage/atomic_file.h"
#include "storage/storage_error.h"
#include "storage/text_lines.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace stanzel {

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Windows-1252 at 0x80..0x9F; the five bytes the code page leaves undefined
// map to the C1 controls of the same value, as Windows itself maps them.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Strict: no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool IsUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0; // overlong
            if (lead == 0xED)
                high = 0x9F; // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90; // overlong
            if (lead == 0xF4)
                high = 0x8F; // beyond U+10FFFF
        } else {
            return false;
        }
        if (bytes.size() - i < length)
            return false;
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        if (second < low || second > high)
            return false;
        for (std::size_t k = 2; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if (next < 0x80 || next > 0xBF)
                return false;
        }
        i += length;
    }
    return true;
}

void AppendUtf8(std::string& out, char16_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        if (b >= 0x80 && b < 0xA0)
            AppendUtf8(out, kWindows1252High[b - 0x80]);
        else
            AppendUtf8(out, b);
    }
    return out;
}

std::string AsUtf8(std::string_view bytes) {
    return IsUtf8(bytes) ? std::string(bytes) : Windows1252ToUtf8(bytes);
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
