#include "mainwindow/poem_edit.h"

namespace stanzel {

PoemEdit::PoemEdit(QWidget* parent) : QTextEdit(parent) {}

void PoemEdit::setLeftStrip(QWidget* strip) {
    strip_ = strip;
    strip_->setParent(this);
    placeStrip();
}

void PoemEdit::showLeftStrip(bool shown) {
    if (!strip_)
        return;
    strip_->setVisible(shown);
    placeStrip();
}

void PoemEdit::resizeEvent(QResizeEvent* event) {
    QTextEdit::resizeEvent(event);
    placeStrip();
}

void PoemEdit::placeStrip() {
    const int width = leftStripShown() ? strip_->sizeHint().width() : 0;
    setViewportMargins(width, 0, 0, 0);
    if (!strip_)
        return;
    const QRect inside = contentsRect();
    strip_->setGeometry(inside.left(), inside.top(), width, viewport()->height());
}

} // namespace stanzel
