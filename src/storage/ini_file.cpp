#include "storage/ini_file.h"

#include "storage/ascii.h"
#include "storage/atomic_file.h"
#include "storage/number_text.h"
#include "storage/storage_error.h"

namespace stanzel {

IniFile::IniFile(FileRef file) : file_(std::move(file)) {}

const ProfileText& IniFile::text() const {
    if (!text_) {
        // Reads never fail: an unreadable file reads as an empty one. Writes
        // do fail then, or they would replace what could not be read.
        FileContents contents = ReadWholeFile(file_);
        readError_ = contents.missing() ? std::error_code() : contents.error;
        text_ = std::make_shared<ProfileText>(std::move(contents.bytes));
    }
    return *text_;
}

std::string IniFile::ReadText(std::string_view section, std::string_view key,
                              std::string_view defaultText) const {
    const ProfileText& read = text();
    const auto found = read.find(section);
    if (!found)
        return std::string(defaultText);
    return std::string(read.valueOr(*found, key, defaultText));
}

std::int32_t IniFile::ReadNumber(std::string_view section, std::string_view key,
                                 std::int32_t defaultNumber) const {
    return ParseInt32(ReadText(section, key, "")).value_or(defaultNumber);
}

const std::string& IniFile::Contents() const {
    return text().bytes();
}

void IniFile::WriteText(std::string_view section, std::string_view key, std::string_view value) {
    WriteTexts(section, {{key, value}});
}

void IniFile::WriteNumber(std::string_view section, std::string_view key, std::int32_t value) {
    WriteText(section, key, FormatInt32(value));
}

void IniFile::WriteTexts(std::string_view section, std::initializer_list<Entry> entries) {
    const auto edit = text().WriteEdit(section, std::span(entries.begin(), entries.size()));
    apply(edit);
}

void IniFile::RemoveSection(std::string_view section) {
    loadForWriting();
    const auto edit = text().RemoveEdit(section);
    if (!edit.empty())
        apply(edit);
}

void IniFile::loadForWriting() const {
    text();
    if (readError_)
        throw StorageError(UnableToWrite());
}

void IniFile::apply(const ProfileText::Edit& edit) {
    loadForWriting();
    if (!held_ && ReplaceFileAtomically(file_, text_->Edited(edit)))
        throw StorageError(UnableToWrite());
    // The text as held writes found it stays whole for putting it back.
    if (held_ && held_ == text_)
        text_ = std::make_shared<ProfileText>(*text_);
    text_->Apply(edit);
}

void IniFile::HoldWrites() {
    text();
    held_ = text_;
}

const std::string* IniFile::HeldOriginal() const {
    return held_ ? &held_->bytes() : nullptr;
}

void IniFile::WriteHeld() {
    const auto original = std::exchange(held_, nullptr);
    if (!original || original == text_)
        return;
    if (ReplaceFileAtomically(file_, text_->bytes())) {
        text_ = std::const_pointer_cast<ProfileText>(original);
        throw StorageError(UnableToWrite());
    }
}

std::string IniFile::UnableToWrite() const {
    return "Unable to write to " + path().string();
}

} // namespace stanzel
