// The main window's search commands: title search, online search, the
// engine menu and its editor.
#include "mainwindow/main_window.h"
#include "mainwindow/poem_list_model.h"
#include "mainwindow/qt_text.h"
#include "mainwindow/user_dialogs.h"
#include "search/engine_editor.h"
#include "search/engine_list.h"
#include "search/title_search.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>

namespace stanzel {

void MainWindow::searchTitle() {
    if (store_.ListPoems().empty())
        return;
    const QString wanted =
        dialogs_.inputText(this, text("searching"), text("searchmsg")).value_or(QString());
    // Listed after the prompt: the collection may have changed while it was open.
    if (const auto row = FindTitle(store_.ListPoems(), FromQ(wanted))) {
        const QModelIndex found = listModel_->index(static_cast<int>(*row), 0);
        listView_->selectionModel()->select(found, QItemSelectionModel::ClearAndSelect |
                                                       QItemSelectionModel::Rows);
        listView_->setCurrentIndex(found);
        listView_->scrollTo(found);
        listView_->setFocus();
        return;
    }
    if (!wanted.isEmpty())
        dialogs_.message(this, UserDialogs::Icon::Information, text("searching"),
                         ToQ(FormatTemplate(strings_["searchfail"], FromQ(wanted))));
}

void MainWindow::searchOnline() {
    // Nothing is said when there is nothing to open: no text, or no engine.
    if (const auto address = search_.AddressFor(FromQ(searchEdit_->text())))
        dialogs_.openUrl(QUrl(QString::fromStdString(*address), QUrl::TolerantMode));
}

void MainWindow::searchPoetOnline() {
    searchEdit_->setText(poetEdit_->text());
    searchOnline();
}

void MainWindow::chooseEngine(int position) {
    search_.ChooseEngine(static_cast<std::size_t>(position));
    showEngineChoice();
}

void MainWindow::editSearchEngines() {
    // A list written on an older system is shown, and saved, with its letters.
    if (const auto loaded = OpenEngineEditor(programDir()))
        engineEditor_->setText(ToQ(store_.AsUtf8(*loaded)));
    if (!dialogs_.exec(*engineEditor_))
        return;
    search_.RebuildAfterEdit(programDir());
    fillEngineMenu();
    showEngineChoice();
}

bool MainWindow::saveEngineList(const QString& text) {
    bool saved = false;
    guarded([&] {
        SaveEngineEditor(programDir(), FromQ(text));
        saved = true;
    });
    return saved;
}

// The engine menu as the engine list gives it.
void MainWindow::fillEngineMenu() {
    QMenu* menu = menus_.engines;
    menu->clear();
    engineActions_.clear();
    const auto& entries = search_.menu();
    for (std::size_t position = 0; position < entries.size(); ++position) {
        const auto& entry = entries[position];
        if (entry.showsAsSeparator()) {
            engineActions_.push_back(menu->addSeparator());
            continue;
        }
        // A "&" in a name is shown, not taken as a keyboard marker.
        QAction* action = menu->addAction(
            ToQ(store_.AsUtf8(entry.caption)).replace(QLatin1Char('&'), QStringLiteral("&&")));
        action->setCheckable(true);
        const int at = static_cast<int>(position);
        connect(action, &QAction::triggered, this,
                [this, at] { guarded([this, at] { chooseEngine(at); }); });
        engineActions_.push_back(action);
    }
}

void MainWindow::showEngineChoice() {
    const auto checked = search_.checkedPosition();
    for (std::size_t position = 0; position < engineActions_.size(); ++position) {
        QAction* action = engineActions_[position];
        if (action->isSeparator())
            continue;
        action->setChecked(checked && *checked == position);
    }
}

} // namespace stanzel
