#pragma once

#include "mainwindow/user_dialogs.h"

#include <QDialog>
#include <optional>

class QPushButton;
class QTreeWidget;

namespace stanzel {

// Edit > Recover Draft: the kept drafts, newest first, one line each (time,
// title, first line of the text). The newest is chosen and the list has the
// focus, so Enter recovers it; Delete removes the chosen draft for good.
class RecoverDraftDialog : public QDialog {
    Q_OBJECT
public:
    RecoverDraftDialog(const UserDialogs::DraftListTexts& texts,
                       const std::vector<UserDialogs::DraftRow>& rows,
                       std::function<bool(std::uint64_t number)> remove, QWidget* parent = nullptr);

    // The draft chosen in the list; nothing once the list is empty.
    std::optional<std::uint64_t> chosen() const;

    QTreeWidget* list() const { return list_; }
    QPushButton* recoverButton() const { return recoverButton_; }
    QPushButton* deleteButton() const { return deleteButton_; }

private:
    void removeChosen();
    void updateButtons();

    std::function<bool(std::uint64_t)> remove_;
    QTreeWidget* list_ = nullptr;
    QPushButton* recoverButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
};

} // namespace stanzel
