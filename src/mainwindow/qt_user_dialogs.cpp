#include "mainwindow/qt_user_dialogs.h"

#include "printing/qt_print_surface.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace stanzel {

void QtUserDialogs::message(QWidget* parent, Icon icon, const QString& title, const QString& text) {
    QMessageBox::Icon boxIcon = QMessageBox::Information;
    switch (icon) {
    case Icon::Information:
        boxIcon = QMessageBox::Information;
        break;
    case Icon::Question:
        boxIcon = QMessageBox::Question;
        break;
    case Icon::Warning:
        boxIcon = QMessageBox::Warning;
        break;
    case Icon::Error:
        boxIcon = QMessageBox::Critical;
        break;
    }
    QMessageBox box(boxIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtUserDialogs::question(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtUserDialogs::openUrl(const QUrl& url) {
    // A desktop that cannot open the address reports nothing here either.
    QDesktopServices::openUrl(url);
}

std::optional<QString> QtUserDialogs::inputText(QWidget* parent, const QString& title,
                                                const QString& prompt) {
    bool accepted = false;
    const QString text =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, QString(), &accepted);
    if (!accepted)
        return std::nullopt;
    return text;
}

bool QtUserDialogs::exec(QDialog& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

std::optional<QColor> QtUserDialogs::chooseColour(QWidget* parent, const QColor& initial) {
    const QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

void QtUserDialogs::print(const PrintedPoem& poem) {
    PrintOnDefaultPrinter(poem);
}

} // namespace stanzel
