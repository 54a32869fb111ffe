// Feeds arbitrary bytes to the reading of text that is not UTF-8: the
// detection of its code page and the reading in one. Checks that what comes
// out is UTF-8, that lines already UTF-8 and every line break stay as they
// are, that no replacement character appears, and that in an 8-bit code page
// every line read can be written back to the very bytes it came from. Any
// broken promise aborts with a description.

#include "storage/code_page.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iconv.h>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using stanzel::CodePage;

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The 8-bit code pages, in which every byte reads as one character.
constexpr const char* kEightBit[] = {"WINDOWS-1250", "WINDOWS-1252", "ISO-8859-2",
                                     "ISO-8859-1",   "WINDOWS-1251", "IBM852"};

[[noreturn]] void Fail(const char* what, std::string_view name) {
    std::fprintf(stderr, "code page %.*s: %s\n", static_cast<int>(name.size()), name.data(), what);
    std::abort();
}

std::size_t Count(std::string_view text, std::string_view part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::size_t Breaks(std::string_view text) {
    std::size_t count = 0;
    for (char c : text)
        count += c == '\r' || c == '\n' ? 1 : 0;
    return count;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    lines.push_back(text.substr(start));
    return lines;
}

// The line written back in the code page; a character it lacks below U+0100
// goes back as the byte of that number, as the reading made it.
std::optional<std::string> WrittenBack(std::string_view line, const char* name) {
    const iconv_t to = ::iconv_open(name, "UTF-8");
    if (to == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(line.size() + 8, '\0');
    char* in = const_cast<char*>(line.data());
    std::size_t inLeft = line.size();
    char* at = out.data();
    std::size_t outLeft = out.size();
    bool failed = false;
    while (inLeft > 0 && !failed) {
        if (::iconv(to, &in, &inLeft, &at, &outLeft) != static_cast<std::size_t>(-1))
            break;
        const auto lead = static_cast<unsigned char>(in[0]);
        if (errno != EILSEQ || inLeft < 2 || (lead != 0xC2 && lead != 0xC3) || outLeft == 0) {
            failed = true;
            break;
        }
        *at++ =
            static_cast<char>(((lead & 0x03) << 6) | (static_cast<unsigned char>(in[1]) & 0x3F));
        --outLeft;
        in += 2;
        inLeft -= 2;
    }
    ::iconv_close(to);
    if (failed)
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

void Check(std::string_view text, const CodePage& codePage, bool eightBit) {
    const std::string name = codePage.name();
    const std::string read = codePage.ToUtf8(text);
    if (!stanzel::IsUtf8(read))
        Fail("the reading is not UTF-8", name);
    if (stanzel::IsUtf8(text) && read != text)
        Fail("text that is UTF-8 changed", name);
    if (Breaks(read) != Breaks(text))
        Fail("the line breaks changed", name);
    if (Count(read, kReplacement) > Count(text, kReplacement))
        Fail("a replacement character appeared", name);
    const auto before = Lines(text);
    const auto after = Lines(read);
    if (before.size() != after.size())
        Fail("the lines changed", name);
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (stanzel::IsUtf8(before[i])) {
            if (after[i] != before[i])
                Fail("a line that is UTF-8 changed", name);
        } else if (eightBit && WrittenBack(after[i], name.c_str()) != std::string(before[i])) {
            Fail("a line read does not write back to its bytes", name);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const auto choice = static_cast<std::size_t>(data[0]);
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    constexpr std::size_t kChoices = std::size(kEightBit);
    if (choice % (kChoices + 1) < kChoices) {
        const char* name = kEightBit[choice % (kChoices + 1)];
        const auto codePage = CodePage::Named(name);
        if (!codePage)
            Fail("the system cannot read it", name);
        Check(text, *codePage, true);
        return 0;
    }
    // Whatever the detector answers must be a code page that reads the text.
    const std::string detected = stanzel::DetectCodePage(text);
    const auto codePage = CodePage::Named(detected);
    if (!codePage)
        Fail("detected, but the system cannot read it", detected);
    Check(text, *codePage, false);
    return 0;
}
