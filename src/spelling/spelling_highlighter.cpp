#include "spelling/spelling_highlighter.h"

#include "mainwindow/qt_text.h"
#include "spelling/spelling_session.h"

#include <QTextBlock>

namespace stanzel {

namespace {

// A line's block state: checked, or left for a later turn.
constexpr int kChecked = 0;
constexpr int kWaiting = 1;

// Where each byte of the line's UTF-8 text starts in its UTF-16 text; one
// more entry for the end.
std::vector<int> Utf16Positions(const std::string& utf8) {
    std::vector<int> positions(utf8.size() + 1, 0);
    int unit = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        positions[i] = unit;
        const auto byte = static_cast<unsigned char>(utf8[i]);
        // A character starts at every byte but a continuation byte; one of
        // four bytes needs two UTF-16 units.
        if ((byte & 0xC0) != 0x80)
            unit += byte >= 0xF0 ? 2 : 1;
    }
    positions[utf8.size()] = unit;
    return positions;
}

} // namespace

std::vector<MarkedWord> MisspeltWords(SpellingSession& spelling, const QString& line) {
    std::vector<MarkedWord> marked;
    if (!spelling.checking())
        return marked;
    const std::string text = FromQ(line);
    const std::vector<WordSpan> words = spelling.misspelt(text);
    if (words.empty())
        return marked;
    const std::vector<int> positions = Utf16Positions(text);
    for (const WordSpan& word : words)
        marked.push_back({positions[word.begin], positions[word.end()] - positions[word.begin]});
    return marked;
}

std::optional<MarkedWord> MisspeltWordAt(SpellingSession& spelling, const QString& line,
                                         int position) {
    for (const MarkedWord& word : MisspeltWords(spelling, line))
        if (position >= word.start && position <= word.end())
            return word;
    return std::nullopt;
}

QTextCharFormat MisspeltFormat() {
    QTextCharFormat format;
    format.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
    format.setUnderlineColor(Qt::red);
    return format;
}

SpellingHighlighter::SpellingHighlighter(QTextDocument* document, SpellingSession& spelling,
                                         std::chrono::milliseconds piece)
    : QSyntaxHighlighter(document), spelling_(spelling), format_(MisspeltFormat()), piece_(piece) {
    nextPiece_.setSingleShot(true);
    nextPiece_.setInterval(0);
    connect(&nextPiece_, &QTimer::timeout, this, &SpellingHighlighter::checkNextPiece);
}

bool SpellingHighlighter::checkingPending() const {
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        if (block.userState() == kWaiting)
            return true;
    return false;
}

void SpellingHighlighter::highlightBlock(const QString& text) {
    if (!inPiece_) {
        inPiece_ = true;
        checkedInPiece_ = false;
        pieceClock_.start();
        nextPiece_.start();
    }
    if (!text.isEmpty()) {
        if (checkedInPiece_ && pieceClock_.elapsed() >= piece_.count()) {
            setCurrentBlockState(kWaiting);
            return;
        }
        for (const MarkedWord& word : MisspeltWords(spelling_, text))
            setFormat(word.start, word.length, format_);
        checkedInPiece_ = true;
    }
    setCurrentBlockState(kChecked);
}

void SpellingHighlighter::checkNextPiece() {
    inPiece_ = false;
    // A line whose state changes draws the document on to the next one, so
    // each waiting line asked for checks on down the poem until this turn's
    // piece is spent or a line already checked stops it (a stanza's break).
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block.userState() != kWaiting)
            continue;
        rehighlightBlock(block);
        if (block.userState() == kWaiting)
            return;
    }
}

} // namespace stanzel
