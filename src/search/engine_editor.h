#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace stanzel {

// The search-engine editor: the whole of search.egs as text. Ok hands
// the text to `save`; the window closes only when saving succeeded, so a
// failed write leaves the user's edits on screen.
class EngineEditor : public QDialog {
    Q_OBJECT
public:
    using Save = std::function<bool(const QString& text)>;

    EngineEditor(Save save, QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const;
    void setCaptions(const QString& title, const QString& info, const QString& cancel);

    QPlainTextEdit* textEdit() const { return text_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    Save save_;
    QLabel* info_;
    QPlainTextEdit* text_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

} // namespace stanzel
