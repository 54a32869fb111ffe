#pragma once

#include "storage/folder.h"
#include "storage/profile_text.h"

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace stanzel {

// A profile file: sections of key=value lines, read as ProfileText reads
// them. The file is read once, on the first operation, and kept until a
// write changes it. Every write replaces the file atomically before it
// returns and leaves every byte it does not concern as it was, so
// hand-written comments and layout survive.
class IniFile {
public:
    explicit IniFile(FileRef file);
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    const FileRef& file() const { return file_; }
    std::filesystem::path path() const { return file_.path(); }

    std::string ReadText(std::string_view section, std::string_view key,
                         std::string_view defaultText) const;
    std::int32_t ReadNumber(std::string_view section, std::string_view key,
                            std::int32_t defaultNumber) const;
    // The file's text as read (or as the held writes made it).
    const std::string& Contents() const;

    // Writes raise StorageError("Unable to write to <path>") and leave the file
    // as it was when the file cannot be replaced.
    void WriteText(std::string_view section, std::string_view key, std::string_view value);
    void WriteNumber(std::string_view section, std::string_view key, std::int32_t value);
    // Several entries of one section in a single replacement of the file, so
    // that they reach the disk together or not at all.
    using Entry = ProfileText::Entry;
    void WriteTexts(std::string_view section, std::initializer_list<Entry> entries);
    // Removes every section of that name with all its lines.
    void RemoveSection(std::string_view section);
    // A write to a file that exists but cannot be read (a folder or FIFO in
    // its place, no permission) fails the same way rather than replace what
    // it could not read.

    // Writes made after HoldWrites change only the text this object holds,
    // until WriteHeld replaces the file once with all of them: several
    // writes reach the disk together or not at all. A caller that replaces
    // this file together with others takes Contents() instead, and
    // HeldOriginal() to put the file back should another file fail.
    void HoldWrites();
    void WriteHeld();
    const std::string* HeldOriginal() const;
    // "Unable to write to <full path>", the error of a failed write.
    std::string UnableToWrite() const;

private:
    const ProfileText& text() const;
    void loadForWriting() const;
    void apply(const ProfileText::Edit& edit);

    FileRef file_;
    mutable std::shared_ptr<ProfileText> text_;
    mutable std::error_code readError_; // why an existing file could not be read
    std::shared_ptr<const ProfileText> held_; // the text before held writes
};

} // namespace stanzel
