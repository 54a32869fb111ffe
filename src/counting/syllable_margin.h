#pragma once

#include <QWidget>

class QTextEdit;

namespace stanzel {

class PoemCounting;

// The strip beside the poem box that shows each line's syllables at the
// line's first row, in a quiet colour between the box's text and its
// background; empty lines show nothing.
class SyllableMargin : public QWidget {
public:
    SyllableMargin(QTextEdit& box, const PoemCounting& counting, QWidget* parent);

    QSize sizeHint() const override;

    // A line's count as the margin shows it, and where: the text's row in
    // the box's viewport. For tests and for painting alike.
    struct ShownCount {
        int count = 0;
        int top = 0;
        int height = 0;
    };
    std::vector<ShownCount> shownCounts() const;
    QColor quietColour() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTextEdit& box_;
    const PoemCounting& counting_;
};

} // namespace stanzel
