#include "spelling/spell_checked_line_edit.h"

#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

namespace stanzel {

SpellCheckedLineEdit::SpellCheckedLineEdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textChanged, this, [this] { recheck(); });
}

void SpellCheckedLineEdit::setSpelling(SpellingSession* spelling) {
    spelling_ = spelling;
    recheck();
}

void SpellCheckedLineEdit::recheck() {
    std::vector<MarkedWord> marked;
    if (spelling_ && echoMode() == QLineEdit::Normal)
        marked = MisspeltWords(*spelling_, text());
    const bool same = marked.size() == marked_.size() &&
                      std::equal(marked.begin(), marked.end(), marked_.begin(),
                                 [](const MarkedWord& a, const MarkedWord& b) {
                                     return a.start == b.start && a.length == b.length;
                                 });
    marked_ = std::move(marked);
    if (!same)
        update();
}

int SpellCheckedLineEdit::xOfPosition(int position) const {
    // The box lays its text out as one line in its own font and shows it
    // scrolled so the cursor stays in view; the cursor's rectangle is the
    // one place that scrolled position shows. It starts five pixels before
    // the cursor's line.
    QTextLayout layout(text(), font());
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    const qreal cursorX = cursorRect().left() + 5;
    return qRound(cursorX - line.cursorToX(cursorPosition()) + line.cursorToX(position));
}

void SpellCheckedLineEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    if (marked_.empty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::red, 1));
    const QFontMetrics metrics(font());
    const int baseline = cursorRect().top() + metrics.ascent();
    // Half a wave up and half a wave down, as the poem box draws it.
    const int depth = 2;
    const int y = std::min(baseline + metrics.descent() / 2 + 1, height() - depth - 1);
    painter.setClipRect(contentsRect());
    for (const MarkedWord& word : marked_) {
        const int left = xOfPosition(word.start);
        const int right = xOfPosition(word.end());
        QPainterPath wave(QPointF(left, y));
        bool up = true;
        for (int x = left + depth; x <= right; x += depth, up = !up)
            wave.lineTo(x, up ? y - depth / 2.0 : y + depth / 2.0);
        painter.drawPath(wave);
    }
}

} // namespace stanzel
