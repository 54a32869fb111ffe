#include "storage/text_encoding.h"

#include <cerrno>
#include <stdexcept>

namespace stanzel {

TextConverter::TextConverter(std::string_view from, std::string_view to)
    : descriptor_(::iconv_open(std::string(to).c_str(), std::string(from).c_str())) {
    if (descriptor_ == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("no conversion from " + std::string(from) + " to " +
                                 std::string(to));
}

TextConverter::~TextConverter() {
    ::iconv_close(descriptor_);
}

std::optional<std::string> TextConverter::convert(std::string_view text) const {
    // Back to the initial state, whatever an earlier failure left.
    ::iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
    std::string out(text.size() * 4 + 8, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* at = out.data();
    std::size_t outLeft = out.size();
    while (inLeft > 0) {
        if (::iconv(descriptor_, &in, &inLeft, &at, &outLeft) != static_cast<std::size_t>(-1))
            continue;
        if (errno != E2BIG)
            return std::nullopt;
        const std::size_t written = out.size() - outLeft;
        out.resize(out.size() * 2);
        at = out.data() + written;
        outLeft = out.size() - written;
    }
    if (::iconv(descriptor_, nullptr, nullptr, &at, &outLeft) == static_cast<std::size_t>(-1))
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

void TextConverter::AppendEveryByte(std::string& out, std::string_view text) const {
    ::iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
    // An 8-bit code page's letters take two UTF-8 bytes at most but for a
    // few signs (the euro, quotes), which make room for themselves.
    const std::size_t start = out.size();
    out.resize(start + text.size() * 2 + 16);
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* at = out.data() + start;
    std::size_t outLeft = out.size() - start;
    const auto grow = [&] {
        const std::size_t written = out.size() - outLeft;
        out.resize(out.size() * 2);
        at = out.data() + written;
        outLeft = out.size() - written;
    };
    while (inLeft > 0) {
        if (::iconv(descriptor_, &in, &inLeft, &at, &outLeft) != static_cast<std::size_t>(-1))
            continue;
        if (errno == E2BIG) {
            grow();
            continue;
        }
        // EILSEQ or EINVAL: the byte stands for itself, two UTF-8 bytes at most.
        if (outLeft < 2)
            grow();
        const auto byte = static_cast<unsigned char>(*in);
        if (byte < 0x80) {
            *at++ = static_cast<char>(byte);
            --outLeft;
        } else {
            *at++ = static_cast<char>(0xC0 | (byte >> 6));
            *at++ = static_cast<char>(0x80 | (byte & 0x3F));
            outLeft -= 2;
        }
        ++in;
        --inLeft;
        ::iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
    }
    while (::iconv(descriptor_, nullptr, nullptr, &at, &outLeft) == static_cast<std::size_t>(-1) &&
           errno == E2BIG)
        grow();
    out.resize(out.size() - outLeft);
}

std::string IconvEncodingName(std::string_view dictionaryEncoding) {
    // Hunspell's own names for the Windows code pages.
    if (dictionaryEncoding.starts_with("microsoft-cp"))
        return "CP" + std::string(dictionaryEncoding.substr(12));
    return std::string(dictionaryEncoding);
}

} // namespace stanzel
