#include "export/markup_text.h"

#include "storage/code_page.h"

#include <array>
#include <cstdint>

namespace stanzel {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

void AppendXmlText(std::string& out, std::string_view text, XmlTextRules rules) {
    // Nearly all of a poem is printable ASCII and well-formed UTF-8, which go
    // out as they stand; runs of them are appended whole.
    static constexpr auto kPlain = [] {
        std::array<bool, 256> plain{};
        for (int c = 0x20; c < 0x80; ++c)
            plain[c] = c != '&' && c != '<' && c != '>' && c != '"';
        plain['\t'] = true;
        return plain;
    }();

    std::size_t run = 0;
    std::size_t i = 0;
    const auto flush = [&] { out.append(text.substr(run, i - run)); };
    while (i < text.size()) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        if (kPlain[byte]) {
            ++i;
            continue;
        }
        if (byte >= 0x80) {
            const Utf8Sequence sequence = DecodeUtf8Sequence(text, i);
            // U+FFFE and U+FFFF are characters no XML document may hold.
            if (sequence.length != 0 && sequence.cp != 0xFFFE && sequence.cp != 0xFFFF) {
                i += sequence.length;
                continue;
            }
            flush();
            out += kReplacement;
            i += sequence.length != 0 ? sequence.length : sequence.illFormed;
            run = i;
            continue;
        }
        flush();
        switch (byte) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += rules.attribute ? "&quot;" : "\"";
            break;
        case '\r':
        case '\n':
            if (rules.crLfBreaks) {
                out += "\r\n";
                if (byte == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                    ++i;
            } else {
                out += static_cast<char>(byte);
            }
            break;
        default: // the other control characters
            out += kReplacement;
            break;
        }
        run = ++i;
    }
    flush();
}

} // namespace stanzel
