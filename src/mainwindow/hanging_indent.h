#pragma once

#include <QObject>

class QTextEdit;

namespace stanzel {

// Keeps every paragraph of a text box indented after its first row, about
// 2 em, so that a line the box wraps never looks like two lines: typed,
// pasted and loaded text alike. Only the paragraphs' format changes, never
// the text. The box's text is left-aligned: centred rows each sit on a centre
// of their own, where an indent moves a continuation by half of itself and
// it still reads as a line of its own.
class HangingIndent : public QObject {
public:
    // Lives as long as the box, its parent.
    explicit HangingIndent(QTextEdit& box);

    // The indent of a wrapped line's later rows, in the box's pixels.
    qreal indent() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void indentParagraphs(int position, int length);

    QTextEdit& box_;
    bool indenting_ = false;
};

} // namespace stanzel
