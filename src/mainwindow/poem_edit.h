#pragma once

#include <QTextEdit>

namespace stanzel {

// The poem box: a text box with room along its left side, inside its frame,
// for a strip that belongs to the text (the syllable counts).
class PoemEdit : public QTextEdit {
public:
    explicit PoemEdit(QWidget* parent);

    // The strip, as wide as its size hint; the box places and shows it.
    void setLeftStrip(QWidget* strip);
    void showLeftStrip(bool shown);
    bool leftStripShown() const { return strip_ && !strip_->isHidden(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeStrip();

    QWidget* strip_ = nullptr;
};

} // namespace stanzel
