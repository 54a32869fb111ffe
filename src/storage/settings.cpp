#include "storage/settings.h"

#include "storage/ini_file.h"

namespace stanzel {

std::filesystem::path SettingsPath(const std::filesystem::path& programDir) {
    return programDir / kSettingsFileName;
}

FileRef SettingsFile(std::shared_ptr<const Folder> collection) {
    return {std::move(collection), std::string(kSettingsFileName)};
}

std::int32_t ReadSetting(const IniFile& file, const IntegerSetting& entry) {
    return file.ReadNumber(entry.section, entry.key, entry.fallback);
}

std::string ReadSetting(const IniFile& file, const TextSetting& entry) {
    return file.ReadText(entry.section, entry.key, entry.fallback);
}

Colour ReadSetting(const IniFile& file, const ColourSetting& entry, Colour current) {
    const std::string text = file.ReadText(entry.section, entry.key, ColorToText(current));
    return TextToColor(text).value_or(current);
}

void WriteSetting(IniFile& file, const IntegerSetting& entry, std::int32_t value) {
    file.WriteNumber(entry.section, entry.key, value);
}

void WriteSetting(IniFile& file, const TextSetting& entry, std::string_view value) {
    file.WriteText(entry.section, entry.key, value);
}

void WriteSetting(IniFile& file, const ColourSetting& entry, Colour value) {
    file.WriteText(entry.section, entry.key, ColorToText(value));
}

} // namespace stanzel
