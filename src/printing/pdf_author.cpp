#include "printing/pdf_author.h"

#include "storage/code_page.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

namespace stanzel {

namespace {

constexpr auto npos = std::string_view::npos;

bool IsWhitespace(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

bool IsDelimiter(char c) {
    return std::strchr("()<>[]{}/%", c) != nullptr && c != '\0';
}

std::size_t SkipWhitespace(std::string_view s, std::size_t at) {
    while (at < s.size()) {
        if (IsWhitespace(s[at])) {
            ++at;
        } else if (s[at] == '%') {
            while (at < s.size() && s[at] != '\n' && s[at] != '\r')
                ++at;
        } else {
            break;
        }
    }
    return at;
}

std::size_t TokenEnd(std::string_view s, std::size_t at) {
    while (at < s.size() && !IsWhitespace(s[at]) && !IsDelimiter(s[at]))
        ++at;
    return at;
}

// Where the object that starts at `at` ends: a dictionary or an array with
// everything in it, a string, a name or a plain token (a number, a keyword).
// Nothing when the text ends first or holds no object there. Our own files
// nest a level or two; a file nested deeper than any of ours is not ours.
std::optional<std::size_t> ObjectEnd(std::string_view s, std::size_t at, int depth = 0) {
    at = SkipWhitespace(s, at);
    if (at >= s.size() || depth > 32)
        return std::nullopt;
    const char c = s[at];
    if (c == '(') {
        int open = 0;
        for (std::size_t i = at; i < s.size(); ++i) {
            if (s[i] == '\\')
                ++i;
            else if (s[i] == '(')
                ++open;
            else if (s[i] == ')' && --open == 0)
                return i + 1;
        }
        return std::nullopt;
    }
    const bool dictionary = s.substr(at, 2) == "<<";
    if (dictionary || c == '[') {
        const std::string_view close = dictionary ? ">>" : "]";
        std::size_t i = at + close.size();
        for (;;) {
            i = SkipWhitespace(s, i);
            if (i >= s.size())
                return std::nullopt;
            if (s.substr(i, close.size()) == close)
                return i + close.size();
            const auto end = ObjectEnd(s, i, depth + 1);
            if (!end)
                return std::nullopt;
            i = *end;
        }
    }
    if (c == '<') {
        const std::size_t end = s.find('>', at);
        return end == npos ? std::nullopt : std::optional(end + 1);
    }
    if (c == '/')
        return TokenEnd(s, at + 1);
    if (IsDelimiter(c))
        return std::nullopt;
    return TokenEnd(s, at);
}

std::optional<long long> Integer(std::string_view token) {
    long long value = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (error != std::errc() || end != token.data() + token.size() || value < 0)
        return std::nullopt;
    return value;
}

std::string_view Token(std::string_view s, std::size_t at) {
    at = SkipWhitespace(s, at);
    return s.substr(at, TokenEnd(s, at) - at);
}

struct Dictionary {
    std::size_t begin = 0;                                              // of "<<"
    std::size_t end = 0;                                                // after ">>"
    std::vector<std::pair<std::string_view, std::string_view>> entries; // key without "/"
    std::optional<std::string_view> find(std::string_view key) const {
        for (const auto& [name, value] : entries)
            if (name == key)
                return value;
        return std::nullopt;
    }
};

std::optional<Dictionary> ReadDictionary(std::string_view s, std::size_t at) {
    Dictionary dictionary;
    dictionary.begin = SkipWhitespace(s, at);
    if (s.substr(dictionary.begin, 2) != "<<")
        return std::nullopt;
    std::size_t i = dictionary.begin + 2;
    for (;;) {
        i = SkipWhitespace(s, i);
        if (s.substr(i, 2) == ">>") {
            dictionary.end = i + 2;
            return dictionary;
        }
        if (i >= s.size() || s[i] != '/')
            return std::nullopt;
        const std::size_t keyEnd = TokenEnd(s, i + 1);
        const std::string_view key = s.substr(i + 1, keyEnd - i - 1);
        const std::size_t valueBegin = SkipWhitespace(s, keyEnd);
        auto valueEnd = ObjectEnd(s, valueBegin);
        if (!valueEnd)
            return std::nullopt;
        // "12 0 R" is one value in three tokens.
        if (Integer(s.substr(valueBegin, *valueEnd - valueBegin))) {
            const std::size_t generation = SkipWhitespace(s, *valueEnd);
            const std::size_t generationEnd = TokenEnd(s, generation);
            if (generationEnd > generation &&
                Integer(s.substr(generation, generationEnd - generation)) &&
                Token(s, generationEnd) == "R")
                valueEnd = SkipWhitespace(s, generationEnd) + 1;
        }
        dictionary.entries.emplace_back(key, s.substr(valueBegin, *valueEnd - valueBegin));
        i = *valueEnd;
    }
}

// The object number of a reference "12 0 R".
std::optional<long long> ReferencedObject(std::string_view reference) {
    return Integer(Token(reference, 0));
}

// Where object `number` starts, from the classic cross-reference section at
// `xref` (the one the trailer after it belongs to), and where its trailer is.
struct CrossReference {
    std::optional<std::size_t> objectOffset;
    std::size_t trailer = 0;
};

std::optional<CrossReference> ReadCrossReference(std::string_view s, std::size_t xref,
                                                 long long number) {
    if (Token(s, xref) != "xref")
        return std::nullopt;
    CrossReference found;
    std::size_t i = SkipWhitespace(s, xref) + 4;
    for (;;) {
        i = SkipWhitespace(s, i);
        if (s.substr(i, 7) == "trailer") {
            found.trailer = i + 7;
            return found;
        }
        const auto first = Integer(Token(s, i));
        i = TokenEnd(s, SkipWhitespace(s, i));
        const auto count = Integer(Token(s, i));
        i = TokenEnd(s, SkipWhitespace(s, i));
        if (!first || !count)
            return std::nullopt;
        for (long long k = 0; k < *count; ++k) {
            const auto offset = Integer(Token(s, i));
            i = TokenEnd(s, SkipWhitespace(s, i));
            i = TokenEnd(s, SkipWhitespace(s, i)); // the generation
            const std::string_view kind = Token(s, i);
            i = TokenEnd(s, SkipWhitespace(s, i));
            if (!offset || (kind != "n" && kind != "f"))
                return std::nullopt;
            if (*first + k == number && kind == "n")
                found.objectOffset = static_cast<std::size_t>(*offset);
        }
    }
}

void AppendUtf16(std::string& hex, unsigned unit) {
    char digits[5];
    std::snprintf(digits, sizeof digits, "%04X", unit & 0xFFFF);
    hex += digits;
}

} // namespace

std::string PdfTextString(std::string_view utf8) {
    std::string hex = "<FEFF";
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const Utf8Sequence decoded =
            lead < 0x80 ? Utf8Sequence{lead, 1} : DecodeUtf8Sequence(utf8, i);
        const char32_t code = decoded.length == 0 ? 0xFFFD : decoded.cp;
        i += decoded.length == 0 ? 1 : decoded.length;
        if (code >= 0x10000) {
            AppendUtf16(hex, 0xD800 + ((code - 0x10000) >> 10));
            AppendUtf16(hex, 0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            AppendUtf16(hex, code);
        }
    }
    return hex + ">";
}

std::string WithPdfAuthor(std::string pdf, std::string_view author) {
    const std::string_view s = pdf;
    const std::size_t startxref = s.rfind("startxref");
    if (author.empty() || startxref == npos)
        return pdf;
    const auto xref = Integer(Token(s, startxref + 9));
    if (!xref || *xref >= static_cast<long long>(s.size()))
        return pdf;

    // The trailer names the information dictionary; the cross-reference
    // table says where it is.
    const auto table = ReadCrossReference(s, static_cast<std::size_t>(*xref), -1);
    if (!table)
        return pdf;
    const auto trailer = ReadDictionary(s, table->trailer);
    if (!trailer || !trailer->find("Info") || !trailer->find("Root") || !trailer->find("Size"))
        return pdf;
    const auto infoNumber = ReferencedObject(*trailer->find("Info"));
    const auto size = Integer(*trailer->find("Size"));
    if (!infoNumber || !size)
        return pdf;
    const auto located = ReadCrossReference(s, static_cast<std::size_t>(*xref), *infoNumber);
    if (!located || !located->objectOffset || *located->objectOffset >= s.size())
        return pdf;
    const std::size_t objectAt = *located->objectOffset;
    if (Integer(Token(s, objectAt)) != *infoNumber)
        return pdf;
    const std::size_t afterNumber = TokenEnd(s, SkipWhitespace(s, objectAt));
    const std::size_t afterGeneration = TokenEnd(s, SkipWhitespace(s, afterNumber));
    if (Token(s, afterGeneration) != "obj")
        return pdf;
    const auto info = ReadDictionary(s, TokenEnd(s, SkipWhitespace(s, afterGeneration)));
    if (!info || info->find("Author"))
        return pdf;

    const std::string number = std::to_string(*size);
    const std::string_view entries = s.substr(info->begin + 2, info->end - 2 - info->begin - 2);
    std::string update = "\n";
    const std::size_t objectOffset = pdf.size() + update.size();
    update += number + " 0 obj\n<<\n/Author " + PdfTextString(author) + "\n";
    update += entries;
    update += ">>\nendobj\n";
    const std::size_t tableOffset = pdf.size() + update.size();
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n\r\n", objectOffset);
    update += "xref\n" + number + " 1\n" + entry;
    update += "trailer\n<<\n/Size " + std::to_string(*size + 1) + "\n/Root ";
    update += *trailer->find("Root");
    update += "\n/Info " + number + " 0 R\n/Prev " + std::to_string(*xref) + "\n";
    if (const auto id = trailer->find("ID")) {
        update += "/ID ";
        update += *id;
        update += "\n";
    }
    update += ">>\nstartxref\n" + std::to_string(tableOffset) + "\n%%EOF\n";
    pdf += update;
    return pdf;
}

} // namespace stanzel
