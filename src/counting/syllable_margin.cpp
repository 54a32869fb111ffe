#include "counting/syllable_margin.h"

#include "counting/poem_counting.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>

namespace stanzel {

namespace {

// The gap between the counts and the poem's text.
constexpr int kGap = 6;

} // namespace

SyllableMargin::SyllableMargin(QTextEdit& box, const PoemCounting& counting, QWidget* parent)
    : QWidget(parent), box_(box), counting_(counting) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    const auto repaint = [this] { update(); };
    connect(&counting_, &PoemCounting::counted, this, repaint);
    connect(box_.verticalScrollBar(), &QScrollBar::valueChanged, this, repaint);
    connect(box_.document()->documentLayout(), &QAbstractTextDocumentLayout::update, this, repaint);
}

QSize SyllableMargin::sizeHint() const {
    return {QFontMetrics(box_.font()).horizontalAdvance(QStringLiteral("00")) + 2 * kGap, 0};
}

QColor SyllableMargin::quietColour() const {
    const QColor text = box_.palette().color(QPalette::Text);
    const QColor base = box_.palette().color(QPalette::Base);
    // Halfway to the background: readable, and never louder than the poem.
    return QColor((text.red() + base.red()) / 2, (text.green() + base.green()) / 2,
                  (text.blue() + base.blue()) / 2);
}

std::vector<SyllableMargin::ShownCount> SyllableMargin::shownCounts() const {
    std::vector<ShownCount> shown;
    const PoemTally& tally = counting_.tally();
    const QAbstractTextDocumentLayout* layout = box_.document()->documentLayout();
    const int scrolled = box_.verticalScrollBar()->value();
    const int visible = box_.viewport()->height();
    for (QTextBlock block = box_.cursorForPosition(QPoint(0, 0)).block(); block.isValid();
         block = block.next()) {
        const auto paragraph = static_cast<std::size_t>(block.blockNumber());
        const QRectF area = layout->blockBoundingRect(block);
        if (area.top() - scrolled > visible || paragraph >= tally.paragraphCount())
            break;
        const auto lines = tally.lines(paragraph);
        const QString text = block.text();
        int lineStart = 0;
        for (std::size_t line = 0; line < lines.size(); ++line) {
            const QTextLine row = block.layout()->lineForTextPosition(lineStart);
            if (lines[line].syllables > 0 && row.isValid())
                shown.push_back({lines[line].syllables,
                                 static_cast<int>(area.top() + row.y()) - scrolled,
                                 static_cast<int>(row.height())});
            lineStart = static_cast<int>(text.indexOf(QChar::LineSeparator, lineStart)) + 1;
            if (lineStart == 0)
                break;
        }
    }
    return shown;
}

void SyllableMargin::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), box_.palette().color(QPalette::Base));
    painter.setPen(quietColour());
    painter.setFont(box_.font());
    for (const ShownCount& count : shownCounts())
        painter.drawText(QRect(0, count.top, width() - kGap, count.height),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(count.count));
}

} // namespace stanzel
