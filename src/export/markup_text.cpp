#include "export/markup_text.h"

#include <array>
#include <cstdint>

namespace stanzel {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0 when
// there is none; `ill` then receives the length of the maximal ill-formed
// part to replace (at least 1).
std::size_t SequenceLength(std::string_view text, std::size_t& ill) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(0);
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // shorter forms are overlong
        else if (lead == 0xED)
            high = 0x9F; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F; // beyond U+10FFFF
    } else {
        ill = 1;
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= text.size() || byte(i) < low || byte(i) > high) {
            ill = i;
            return 0;
        }
        low = 0x80;
        high = 0xBF;
    }
    return length;
}

bool IsNonCharacterXmlRefuses(std::string_view sequence) {
    // U+FFFE and U+FFFF: EF BF BE, EF BF BF.
    return sequence.size() == 3 && sequence[0] == '\xEF' && sequence[1] == '\xBF' &&
           (sequence[2] == '\xBE' || sequence[2] == '\xBF');
}

} // namespace

std::string ToValidUtf8(std::string_view text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t run = i;
        while (run < text.size() && static_cast<std::uint8_t>(text[run]) < 0x80)
            ++run;
        out.append(text.substr(i, run - i));
        i = run;
        if (i == text.size())
            break;
        std::size_t ill = 0;
        const std::size_t length = SequenceLength(text.substr(i), ill);
        if (length == 0) {
            out += kReplacement;
            i += ill;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

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
            std::size_t ill = 0;
            const std::size_t length = SequenceLength(text.substr(i), ill);
            if (length != 0 && !IsNonCharacterXmlRefuses(text.substr(i, length))) {
                i += length;
                continue;
            }
            flush();
            out += kReplacement;
            i += length != 0 ? length : ill;
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
