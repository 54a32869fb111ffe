#include "spelling/own_words.h"

#include "storage/atomic_file.h"

#include <algorithm>

namespace stanzel {

namespace {

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

OwnWords OwnWords::Read(const std::filesystem::path& collectionDir) {
    OwnWords list;
    list.collectionDir_ = collectionDir;
    const FileContents contents = ReadWholeFile(list.path());
    std::string_view text = contents.bytes;
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view word = Trimmed(text.substr(0, end));
        if (!word.empty() && !list.holds(word))
            list.words_.emplace_back(word);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return list;
}

bool OwnWords::holds(std::string_view word) const {
    return std::find(words_.begin(), words_.end(), word) != words_.end();
}

std::error_code OwnWords::add(std::string_view word) {
    word = Trimmed(word);
    if (word.empty() || holds(word) || word.find('\n') != std::string_view::npos)
        return {};
    // The file as it stands now, with whatever was written into it by hand
    // since the start, gets the word at its end; a list that exists but
    // cannot be read is never written over.
    FileContents contents = ReadWholeFile(path());
    if (contents.error && !contents.missing())
        return contents.error;
    std::string& text = contents.bytes;
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    text += word;
    text += '\n';
    if (const std::error_code error = ReplaceFileAtomically(path(), text))
        return error;
    words_.emplace_back(word);
    return {};
}

} // namespace stanzel
