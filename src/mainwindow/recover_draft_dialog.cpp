#include "mainwindow/recover_draft_dialog.h"

#include "mainwindow/qt_colour.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace stanzel {

namespace {

constexpr int kNumberRole = Qt::UserRole;

} // namespace

RecoverDraftDialog::RecoverDraftDialog(const UserDialogs::DraftListTexts& texts,
                                       const std::vector<UserDialogs::DraftRow>& rows,
                                       std::function<bool(std::uint64_t number)> remove,
                                       QWidget* parent)
    : QDialog(parent), remove_(std::move(remove)) {
    setWindowTitle(texts.windowTitle);
    resize(560, 320);

    list_ = new QTreeWidget(this);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHeaderLabels({texts.time, texts.title, texts.firstLine});
    // The colours the user gave the poem list, dark ones too.
    if (texts.background.isValid())
        SetBackground(list_, texts.background);
    for (const auto& row : rows) {
        auto* item = new QTreeWidgetItem(list_, {row.time, row.title, row.firstLine});
        item->setData(0, kNumberRole, QVariant::fromValue<qulonglong>(row.number));
    }
    list_->resizeColumnToContents(0);
    list_->setColumnWidth(1, 160);
    if (list_->topLevelItemCount() > 0)
        list_->setCurrentItem(list_->topLevelItem(0));
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { accept(); });
    connect(list_, &QTreeWidget::currentItemChanged, this, [this] { updateButtons(); });

    auto* buttons = new QDialogButtonBox(this);
    recoverButton_ = buttons->addButton(texts.recover, QDialogButtonBox::AcceptRole);
    deleteButton_ = buttons->addButton(texts.remove, QDialogButtonBox::ActionRole);
    buttons->addButton(texts.cancel, QDialogButtonBox::RejectRole);
    // Enter in the list recovers the chosen draft, never deletes it.
    recoverButton_->setDefault(true);
    deleteButton_->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(deleteButton_, &QPushButton::clicked, this, [this] { removeChosen(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    list_->setFocus();
    updateButtons();
}

std::optional<std::uint64_t> RecoverDraftDialog::chosen() const {
    const QTreeWidgetItem* item = list_->currentItem();
    if (!item)
        return std::nullopt;
    return item->data(0, kNumberRole).toULongLong();
}

void RecoverDraftDialog::removeChosen() {
    QTreeWidgetItem* item = list_->currentItem();
    if (!item || !remove_(item->data(0, kNumberRole).toULongLong()))
        return;
    delete item;
    list_->setFocus();
    updateButtons();
}

void RecoverDraftDialog::updateButtons() {
    const bool any = list_->currentItem() != nullptr;
    recoverButton_->setEnabled(any);
    deleteButton_->setEnabled(any);
}

} // namespace stanzel
