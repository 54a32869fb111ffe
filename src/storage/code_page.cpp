#include "storage/code_page.h"

#include "storage/ascii.h"
#include "storage/ini_file.h"
#include "storage/settings.h"
#include "storage/storage_error.h"
#include "storage/text_encoding.h"
#include "storage/text_lines.h"

#include <stdexcept>
#include <uchardet.h>

namespace stanzel {

namespace {

// Enough text for the detector to judge by, and no more than a moment's
// reading.
constexpr std::size_t kSampleBytes = 256 << 10;

// The Windows code page each ISO 8859 set of the same letters grew into.
struct WindowsSibling {
    std::string_view iso;
    std::string_view windows;
};
constexpr WindowsSibling kWindowsSiblings[] = {
    {"ISO-8859-15", "WINDOWS-1252"}, {"ISO-8859-2", "WINDOWS-1250"}, {"ISO-8859-5", "WINDOWS-1251"},
    {"ISO-8859-7", "WINDOWS-1253"},  {"ISO-8859-8", "WINDOWS-1255"}, {"ISO-8859-6", "WINDOWS-1256"},
    {"ISO-8859-13", "WINDOWS-1257"}, {"ISO-8859-4", "WINDOWS-1257"},
};

bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view start) {
    return text.size() >= start.size() &&
           EqualsIgnoringAsciiCase(text.substr(0, start.size()), start);
}

bool IsUnicodeForm(std::string_view name) {
    return StartsWithIgnoringAsciiCase(name, "UTF") || StartsWithIgnoringAsciiCase(name, "UCS") ||
           StartsWithIgnoringAsciiCase(name, "UNICODE");
}

bool UsesC1Bytes(std::string_view sample) {
    for (char c : sample) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte <= 0x9F)
            return true;
    }
    return false;
}

} // namespace

bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = DecodeUtf8Sequence(text, i).length;
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

Utf8Sequence DecodeUtf8Sequence(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t cp = 0;
    // The second byte's range is what rules out overlong forms, surrogates
    // and anything beyond U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return {0, 0, 1};
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (at + i >= text.size() || byte(i) < low || byte(i) > high)
            return {0, 0, i};
        cp = (cp << 6) | (byte(i) & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return {cp, length, 0};
}

void AppendCodePoint(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

CodePage::CodePage(std::string name, std::shared_ptr<const TextConverter> converter)
    : name_(std::move(name)), converter_(std::move(converter)) {}

std::optional<CodePage> CodePage::Named(std::string_view name) {
    if (name.empty() || IsUnicodeForm(name))
        return std::nullopt;
    try {
        return CodePage(std::string(name), std::make_shared<const TextConverter>(name, "UTF-8"));
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

std::string CodePage::ToUtf8(std::string_view text) const {
    std::string out;
    AppendUtf8(out, text);
    return out;
}

void CodePage::AppendUtf8(std::string& out, std::string_view text) const {
    if (IsUtf8(text)) {
        out.append(text);
        return;
    }
    VisitLines(text, [&](std::size_t begin, std::size_t end, std::size_t breakEnd) {
        const std::string_view line = text.substr(begin, end - begin);
        if (IsUtf8(line))
            out.append(line);
        else
            converter_->AppendEveryByte(out, line);
        out.append(text.substr(end, breakEnd - end));
    });
}

void AppendLinesNotUtf8(std::string& sample, std::string_view text) {
    if (IsUtf8(text))
        return;
    VisitLines(text, [&](std::size_t begin, std::size_t end, std::size_t) {
        const std::string_view line = text.substr(begin, end - begin);
        if (!IsUtf8(line)) {
            sample.append(line);
            sample += '\n';
        }
    });
}

std::string DetectCodePage(std::string_view sample) {
    const std::unique_ptr<struct uchardet, void (*)(uchardet_t)> detector(uchardet_new(),
                                                                          uchardet_delete);
    if (!detector)
        return std::string(kFallbackCodePage);
    sample = sample.substr(0, kSampleBytes);
    if (uchardet_handle_data(detector.get(), sample.data(), sample.size()) != 0)
        return std::string(kFallbackCodePage);
    uchardet_data_end(detector.get());
    const char* answer = uchardet_get_charset(detector.get());
    std::string name = answer ? answer : "";
    // Nothing, plain ASCII, a form of Unicode or a 7-bit escape scheme: none
    // can be what text that is not UTF-8 is in.
    if (name.empty() || EqualsIgnoringAsciiCase(name, "ASCII") || IsUnicodeForm(name) ||
        StartsWithIgnoringAsciiCase(name, "ISO-2022") || StartsWithIgnoringAsciiCase(name, "HZ"))
        return std::string(kFallbackCodePage);
    // Windows-1252 and -1254 hold every letter of ISO 8859-1 and -9 at the
    // same bytes, and letters where those have only control characters: a
    // collection judged by text without them may still have them elsewhere.
    if (EqualsIgnoringAsciiCase(name, "ISO-8859-1"))
        return "WINDOWS-1252";
    if (EqualsIgnoringAsciiCase(name, "ISO-8859-9"))
        return "WINDOWS-1254";
    if (UsesC1Bytes(sample)) {
        for (const auto& sibling : kWindowsSiblings)
            if (EqualsIgnoringAsciiCase(name, sibling.iso))
                return std::string(sibling.windows);
    }
    if (!CodePage::Named(name))
        return std::string(kFallbackCodePage);
    return name;
}

CollectionCodePage::CollectionCodePage(FileRef settings, Sampler sampler)
    : settings_(std::move(settings)), sampler_(std::move(sampler)) {}

CollectionCodePage::~CollectionCodePage() = default;

const CodePage& CollectionCodePage::Get(std::string_view sameFile) const {
    if (codePage_)
        return *codePage_;
    const IniFile settings(settings_);
    codePage_ = CodePage::Named(ReadSetting(settings, setting::codePage));
    if (codePage_)
        return *codePage_;
    std::string sample;
    if (sampler_)
        sampler_(sample);
    if (sample.size() < kSampleBytes)
        AppendLinesNotUtf8(sample, sameFile.substr(0, kSampleBytes));
    codePage_ = CodePage::Named(DetectCodePage(sample));
    if (!codePage_)
        codePage_ = CodePage::Named(kFallbackCodePage);
    if (!codePage_)
        throw std::runtime_error("The system cannot read " + std::string(kFallbackCodePage));
    detected_ = true;
    try {
        IniFile writable(settings_);
        WriteSetting(writable, setting::codePage, codePage_->name());
    } catch (const StorageError&) {
        // A collection that cannot be written to is still read; the next
        // save that can write its settings remembers the code page.
    }
    return *codePage_;
}

std::optional<std::string> CollectionCodePage::toRemember() const {
    if (!codePage_ || !detected_)
        return std::nullopt;
    return codePage_->name();
}

std::string CollectionCodePage::ToUtf8(std::string_view stored, std::string_view sameFile) const {
    if (IsUtf8(stored))
        return std::string(stored);
    return Get(sameFile.empty() ? stored : sameFile).ToUtf8(stored);
}

void CollectionCodePage::MakeUtf8(std::string& text) const {
    if (!IsUtf8(text))
        text = Get(text).ToUtf8(text);
}

std::string_view CollectionCodePage::ToUtf8(std::string_view stored, std::string& scratch) const {
    if (IsUtf8(stored))
        return stored;
    scratch.clear();
    Get(stored).AppendUtf8(scratch, stored);
    return scratch;
}

} // namespace stanzel
