#include "spelling/text_encoding.h"

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

std::string IconvEncodingName(std::string_view dictionaryEncoding) {
    // Hunspell's own names for the Windows code pages.
    if (dictionaryEncoding.starts_with("microsoft-cp"))
        return "CP" + std::string(dictionaryEncoding.substr(12));
    return std::string(dictionaryEncoding);
}

} // namespace stanzel
