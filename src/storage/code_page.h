#pragma once

#include "storage/folder.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace stanzel {

class TextConverter;

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF,
// no sequence cut short.
bool IsUtf8(std::string_view text);

// The character of two to four bytes that starts at `at`, and its length in
// bytes; a length of 0 for a byte that starts no such character (ASCII, a
// stray continuation byte, a sequence cut short, an overlong form, a
// surrogate, beyond U+10FFFF). Such a part then has `illFormed` bytes: the
// maximal part that one U+FFFD stands for.
struct Utf8Sequence {
    char32_t cp = 0;
    std::size_t length = 0;
    std::size_t illFormed = 0;
};
Utf8Sequence DecodeUtf8Sequence(std::string_view text, std::size_t at);
// Appends `cp` to `out` as UTF-8.
void AppendCodePoint(std::string& out, char32_t cp);

// The character set older files of a collection are written in (an 8-bit
// code page such as Windows-1250), read into the UTF-8 the program works in.
class CodePage {
public:
    // Nothing when the system cannot read the set, or it is a form of
    // Unicode (UTF-8, UTF-16...), which is no code page to read old text in.
    static std::optional<CodePage> Named(std::string_view name);

    // The name as it was given, for the settings file.
    const std::string& name() const { return name_; }

    // `text` as UTF-8, line by line: a line that is UTF-8 already stays as it
    // is, every other line is read in this code page. A byte the code page
    // leaves undefined stands for the character of the same number, as
    // Windows reads it, so nothing is ever replaced and every byte can be
    // told from what it became. Line breaks stay where they are.
    std::string ToUtf8(std::string_view text) const;
    void AppendUtf8(std::string& out, std::string_view text) const;

private:
    CodePage(std::string name, std::shared_ptr<const TextConverter> converter);

    std::string name_;
    std::shared_ptr<const TextConverter> converter_;
};

// The lines of `text` that are not UTF-8, each followed by a line break:
// what the code page of a collection is judged by.
void AppendLinesNotUtf8(std::string& sample, std::string_view text);

// The code page `sample` (text that is not UTF-8) is most likely written in,
// as uchardet judges it, by a name iconv knows. An ISO 8859 answer for text
// that uses the bytes 0x80..0x9F, which that family leaves to control
// characters, is taken as the Windows code page built on it; ISO 8859-1 and
// -9 always are, since Windows-1252 and -1254 read their letters alike.
// Windows-1252 when nothing better can be told.
std::string DetectCodePage(std::string_view sample);

inline constexpr std::string_view kFallbackCodePage = "WINDOWS-1252";

// The one code page of a collection for the run. It is settled by the first
// text that needs it: the code page the settings file names when the system
// can read it, otherwise the one detected from the collection's text that
// is not UTF-8, which the settings file then remembers. Text that is UTF-8
// throughout never settles it, so a collection without older text never
// has its settings file written for it.
class CollectionCodePage {
public:
    // Appends the collection's lines that are not UTF-8 to the sample, as
    // many as detection needs.
    using Sampler = std::function<void(std::string& sample)>;
    CollectionCodePage(FileRef settings, Sampler sampler);
    ~CollectionCodePage();

    // `stored` as UTF-8 (CodePage::ToUtf8). `sameFile` is more text of the
    // file `stored` comes from, to judge by should nothing else tell.
    std::string ToUtf8(std::string_view stored, std::string_view sameFile = {}) const;
    // `stored` itself when it is UTF-8, otherwise its reading in `scratch`.
    std::string_view ToUtf8(std::string_view stored, std::string& scratch) const;
    // The same in place: a text that is UTF-8 is neither copied nor changed.
    void MakeUtf8(std::string& text) const;

    // The code page, settled now if it was not.
    const CodePage& Get(std::string_view sameFile = {}) const;
    // The name the settings file should hold once it is settled: nothing
    // while unsettled, or when the settings file named it.
    std::optional<std::string> toRemember() const;

private:
    FileRef settings_;
    Sampler sampler_;
    mutable std::optional<CodePage> codePage_;
    mutable bool detected_ = false;
};

} // namespace stanzel
