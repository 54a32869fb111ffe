#pragma once

#include "spelling/spelling_highlighter.h"

#include <QLineEdit>
#include <vector>

namespace stanzel {

class SpellingSession;

// A one-line box that draws a red wavy line under its misspelt words, as
// the poem box's highlighter does: a QLineEdit has no highlighter of its
// own. The words are checked again whenever the text changes.
class SpellCheckedLineEdit : public QLineEdit {
public:
    explicit SpellCheckedLineEdit(QWidget* parent = nullptr);

    // Nothing is marked without a session, or while it is not checking.
    void setSpelling(SpellingSession* spelling);
    SpellingSession* spelling() const { return spelling_; }
    // Checks the text again: another dictionary, a word added.
    void recheck();
    const std::vector<MarkedWord>& marked() const { return marked_; }
    // The x coordinate, in the box, of a position of its text.
    int xOfPosition(int position) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SpellingSession* spelling_ = nullptr;
    std::vector<MarkedWord> marked_;
};

} // namespace stanzel
