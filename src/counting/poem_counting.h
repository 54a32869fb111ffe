#pragma once

#include "counting/poem_tally.h"

#include <QObject>

class QTextCursor;
class QTextDocument;

namespace stanzel {

// The poem box's counts, kept with its document: each change recounts the
// paragraphs it touched, so a keystroke recounts only its own line.
class PoemCounting : public QObject {
    Q_OBJECT
public:
    PoemCounting(QTextDocument& document, QObject* parent);

    // Counts everything again by the counter's rule.
    void setCounter(SyllableCounter counter);
    const SyllableCounter& counter() const { return counter_; }
    const PoemTally& tally() const { return tally_; }

    // The line a cursor is on: its number in the poem and its counts.
    struct CursorLine {
        int number = 1;
        LineTally counts;
    };
    CursorLine lineAt(const QTextCursor& cursor) const;

signals:
    void counted();

private:
    void follow(int position, int removed, int added);
    void recountAll();
    std::vector<std::string> paragraphTexts(int first, int last) const;

    QTextDocument& document_;
    SyllableCounter counter_;
    PoemTally tally_;
};

} // namespace stanzel
