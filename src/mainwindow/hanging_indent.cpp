#include "mainwindow/hanging_indent.h"

#include <QFontInfo>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace stanzel {

namespace {

constexpr int kIndentEms = 2;

} // namespace

HangingIndent::HangingIndent(QTextEdit& box) : QObject(&box), box_(box) {
    QTextDocument* document = box.document();
    QTextOption option = document->defaultTextOption();
    option.setAlignment(Qt::AlignLeft);
    document->setDefaultTextOption(option);
    connect(document, &QTextDocument::contentsChange, this,
            [this](int position, int, int added) { indentParagraphs(position, added); });
    indentParagraphs(0, document->characterCount());
    box.installEventFilter(this);
}

bool HangingIndent::eventFilter(QObject* watched, QEvent* event) {
    // Qt takes Enter in an empty indented paragraph for "take the indent
    // away", as in a list, and makes no new paragraph: the empty line
    // between two stanzas could not be typed. Here Enter always makes one.
    if (watched != &box_ || event->type() != QEvent::KeyPress || box_.isReadOnly())
        return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (!enter || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    QTextCursor cursor = box_.textCursor();
    if (cursor.hasSelection() || cursor.block().length() != 1)
        return false;
    cursor.insertBlock();
    box_.setTextCursor(cursor);
    box_.ensureCursorVisible();
    return true;
}

qreal HangingIndent::indent() const {
    return kIndentEms * QFontInfo(box_.font()).pixelSize();
}

void HangingIndent::indentParagraphs(int position, int length) {
    if (indenting_)
        return;
    QTextDocument* document = box_.document();
    const qreal wanted = indent();
    const auto indented = [wanted](const QTextBlock& block) {
        const QTextBlockFormat format = block.blockFormat();
        return format.leftMargin() == wanted && format.textIndent() == -wanted;
    };
    // A typed paragraph takes its format from the one it was split from;
    // only new text (a load, a clear) comes without it.
    const QTextBlock first = document->findBlock(position);
    QTextBlock last = document->findBlock(position + length);
    if (!last.isValid())
        last = document->lastBlock();
    bool all = true;
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        all = all && indented(block);
        if (block == last)
            break;
    }
    if (all)
        return;

    indenting_ = true;
    QTextBlockFormat format;
    format.setLeftMargin(wanted);
    format.setTextIndent(-wanted);
    QTextCursor cursor(document);
    cursor.setPosition(first.position());
    cursor.setPosition(last.position(), QTextCursor::KeepAnchor);
    // After a load the box has nothing to undo, and the indent must not
    // become the first step Ctrl+Z takes back; after an edit it goes with it.
    const bool fresh = document->availableUndoSteps() == 0 && document->availableRedoSteps() == 0;
    if (fresh) {
        document->setUndoRedoEnabled(false);
        cursor.mergeBlockFormat(format);
        document->setUndoRedoEnabled(true);
    } else {
        cursor.joinPreviousEditBlock();
        cursor.mergeBlockFormat(format);
        cursor.endEditBlock();
    }
    indenting_ = false;
}

} // namespace stanzel
