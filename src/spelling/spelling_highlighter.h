#pragma once

#include <QElapsedTimer>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <QTimer>
#include <chrono>
#include <optional>
#include <vector>

namespace stanzel {

class SpellingSession;

// A marked word of a box's text, in the text's own positions (UTF-16).
struct MarkedWord {
    int start = 0;
    int length = 0;
    int end() const { return start + length; }
};

// The misspelt words of one line of a box.
std::vector<MarkedWord> MisspeltWords(SpellingSession& spelling, const QString& line);
// The misspelt word at a position of the line (a click between two letters
// or just after the word's end counts).
std::optional<MarkedWord> MisspeltWordAt(SpellingSession& spelling, const QString& line,
                                         int position);

// The red wavy line under a misspelt word.
QTextCharFormat MisspeltFormat();

// Marks the misspelt words of the poem box. The document asks it for each
// paragraph that changes, so a keystroke re-checks only its own line. A
// whole poem (one just opened, or a dictionary just chosen) is checked a
// few milliseconds at a time, from its top, one piece each turn of the
// event loop: Hunspell asked for every word of a long poem in German or
// Hungarian takes most of a frame, and the poem must not hold up the frame
// that shows it. A keystroke in a turn whose piece is spent has its line
// marked in the next.
class SpellingHighlighter : public QSyntaxHighlighter {
public:
    // Each turn checks lines for `piece`, and always one with words.
    SpellingHighlighter(QTextDocument* document, SpellingSession& spelling,
                        std::chrono::milliseconds piece = std::chrono::milliseconds(4));

    // Lines are still waiting for their turn to be checked.
    bool checkingPending() const;

protected:
    void highlightBlock(const QString& text) override;

private:
    void checkNextPiece();

    SpellingSession& spelling_;
    QTextCharFormat format_;
    const std::chrono::milliseconds piece_;
    QElapsedTimer pieceClock_; // since this turn's first line was checked
    bool inPiece_ = false;
    bool checkedInPiece_ = false; // a line with words
    QTimer nextPiece_;
};

} // namespace stanzel
