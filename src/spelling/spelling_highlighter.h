#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>
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
// paragraph that changes, so a keystroke re-checks only its own line.
class SpellingHighlighter : public QSyntaxHighlighter {
public:
    SpellingHighlighter(QTextDocument* document, SpellingSession& spelling);

protected:
    void highlightBlock(const QString& text) override;

private:
    SpellingSession& spelling_;
    QTextCharFormat format_;
};

} // namespace stanzel
