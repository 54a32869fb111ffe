#include "search/engine_editor.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace stanzel {

EngineEditor::EngineEditor(Save save, QWidget* parent) : QDialog(parent), save_(std::move(save)) {
    setModal(true);
    setFixedSize(377, 163);

    info_ = new QLabel(this);
    info_->setGeometry(8, 4, 361, 17);

    text_ = new QPlainTextEdit(this);
    text_->setGeometry(0, 24, 377, 105);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);

    ok_ = new QPushButton(QStringLiteral("Ok"), this);
    ok_->setGeometry(80, 136, 89, 25);
    ok_->setDefault(true);

    cancel_ = new QPushButton(this);
    cancel_->setGeometry(200, 136, 89, 25);

    connect(ok_, &QPushButton::clicked, this, [this] {
        if (save_(text()))
            accept();
    });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void EngineEditor::setText(const QString& text) {
    text_->setPlainText(text);
}

QString EngineEditor::text() const {
    return text_->toPlainText();
}

void EngineEditor::setCaptions(const QString& title, const QString& info, const QString& cancel) {
    setWindowTitle(title);
    info_->setText(info);
    cancel_->setText(cancel);
}

} // namespace stanzel
