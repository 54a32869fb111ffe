#include "mainwindow/qt_user_dialogs.h"

#include "mainwindow/qt_text.h"
#include "mainwindow/recover_draft_dialog.h"
#include "printing/qt_print_surface.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QProgressDialog>
#include <climits>

namespace stanzel {

void QtUserDialogs::message(QWidget* parent, Icon icon, const QString& title, const QString& text) {
    // In the order of UserDialogs::Icon.
    static constexpr QMessageBox::Icon kBoxIcons[] = {QMessageBox::Information,
                                                      QMessageBox::Question, QMessageBox::Warning,
                                                      QMessageBox::Critical};
    QMessageBox box(kBoxIcons[static_cast<std::size_t>(icon)], title, text, QMessageBox::Ok,
                    parent);
    box.exec();
}

bool QtUserDialogs::question(QWidget* parent, const QString& title, const QString& text,
                             Answer preferred) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(preferred == Answer::Yes ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool QtUserDialogs::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

std::optional<QString> QtUserDialogs::inputText(QWidget* parent, const QString& title,
                                                const QString& prompt) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(QString());
    for (auto* box : dialog.findChildren<QLineEdit*>())
        KeepEveryCharacter(box);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

bool QtUserDialogs::exec(QDialog& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

std::optional<UserDialogs::SaveChoice>
QtUserDialogs::saveFile(QWidget* parent, const QStringList& filters, int preselected) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The save step asks about an existing file itself, with the name it
    // will really write.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters(filters);
    if (preselected >= 1 && preselected <= filters.size())
        dialog.selectNameFilter(filters[preselected - 1]);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return SaveChoice{dialog.selectedFiles().front(),
                      static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1};
}

std::optional<QString> QtUserDialogs::saveFileIn(QWidget* parent, const QString& filter,
                                                 const QString& folder, const QString& name) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilter(filter);
    if (!folder.isEmpty() && QDir(folder).exists())
        dialog.setDirectory(folder);
    dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front();
}

namespace {

class ProgressWindow : public UserDialogs::Progress {
public:
    ProgressWindow(QWidget* parent, const QString& title) : dialog_(parent) {
        dialog_.setWindowTitle(title);
        dialog_.setWindowModality(Qt::WindowModal);
        dialog_.setMinimumDuration(400);
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
    }
    bool update(std::size_t done, std::size_t total) override {
        dialog_.setMaximum(static_cast<int>(std::min<std::size_t>(total, INT_MAX)));
        dialog_.setValue(static_cast<int>(std::min<std::size_t>(done, INT_MAX)));
        return !dialog_.wasCanceled();
    }

private:
    QProgressDialog dialog_;
};

} // namespace

std::unique_ptr<UserDialogs::Progress> QtUserDialogs::progress(QWidget* parent,
                                                               const QString& title) {
    return std::make_unique<ProgressWindow>(parent, title);
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

void QtUserDialogs::showPrintPreview(QPrintPreviewDialog& preview) {
    preview.exec();
}

std::optional<std::uint64_t>
QtUserDialogs::chooseDraft(QWidget* parent, const DraftListTexts& texts,
                           const std::vector<DraftRow>& rows,
                           const std::function<bool(std::uint64_t number)>& remove) {
    RecoverDraftDialog dialog(texts, rows, remove, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosen();
}

} // namespace stanzel
