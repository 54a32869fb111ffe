// The main window's Find in Poems: the command, its panel, and opening a
// found poem with the first of its words shown in the editor.
#include "mainwindow/find_in_poems_panel.h"
#include "mainwindow/main_window.h"
#include "mainwindow/poem_list_model.h"
#include "mainwindow/qt_text.h"
#include "search/find_in_poems.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QTextEdit>
#include <QToolBar>

namespace stanzel {

namespace {

// The stretch of `box`'s text that `range` marks in its UTF-8 form, in the
// UTF-16 positions Qt counts.
std::pair<int, int> QtPositions(const std::string& text, ByteRange range) {
    const std::string_view bytes = text;
    const auto begin = static_cast<int>(ToQ(bytes.substr(0, range.begin)).size());
    const auto end = static_cast<int>(ToQ(bytes.substr(0, range.end)).size());
    return {begin, end};
}

// The lines of the poem box that the docked panel never takes.
constexpr int kLeastPoemLines = 12;

} // namespace

void MainWindow::createFindInPoems() {
    QAction* find = actions_.findInPoems =
        addCommand("edit-find-replace", "find-in-poems.svg", &MainWindow::findInPoems);
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    menus_.edit->insertAction(actions_.searchOnline, find);
    menus_.listPopup->insertAction(actions_.searchOnline, find);
    toolBar_->insertAction(actions_.deletePoem, find);
    toolBar_->widgetForAction(find)->setFixedWidth(25);

    findPanel_ = new FindInPoemsPanel(store_, *listModel_, this);
    findPanel_->setAllowedAreas(Qt::BottomDockWidgetArea | Qt::RightDockWidgetArea);
    addDockWidget(Qt::BottomDockWidgetArea, findPanel_);
    findPanel_->hide();
    // A file dropped on its box goes to the import, as on the editor's boxes.
    findPanel_->queryEdit()->installEventFilter(this);
    connect(findPanel_, &FindInPoemsPanel::poemChosen, this,
            [this](int row) { guarded([this, row] { openFoundPoem(row); }); });
    connect(findPanel_, &FindInPoemsPanel::failed, this, &MainWindow::showError);
    connect(findPanel_, &FindInPoemsPanel::dismissed, this, [this] { poemEdit_->setFocus(); });
    // The panel docked below takes only the room the poem box can spare: a
    // dozen lines of the poem stay in view. Only while it is open, so that
    // a small screen at a large scale still holds the window without it.
    // Bound to the poem box rather than the window: the panel is hidden
    // again while the window is being destroyed, after its own part is gone.
    connect(findPanel_, &QDockWidget::visibilityChanged, poemEdit_,
            [box = poemEdit_](bool visible) {
                const int lines = kLeastPoemLines * QFontMetrics(box->font()).lineSpacing() +
                                  2 * box->frameWidth() +
                                  2 * static_cast<int>(box->document()->documentMargin());
                box->setMinimumHeight(visible ? lines : 0);
            });
}

void MainWindow::findInPoems() {
    findPanel_->open();
}

void MainWindow::openFoundPoem(int row) {
    if (row < 0 || row >= listModel_->rowCount())
        return;
    const QModelIndex found = listModel_->indexOfStoreRow(static_cast<std::size_t>(row));
    // Choosing the poem that is already selected loads it again, as a
    // selection of its row would the first time.
    if (selectedRow_ == row)
        selectPoem(row);
    listView_->selectionModel()->select(found, QItemSelectionModel::ClearAndSelect |
                                                   QItemSelectionModel::Rows);
    listView_->setCurrentIndex(found);
    listView_->scrollTo(found);
    showFirstMatch(findPanel_->query());
}

void MainWindow::showFirstMatch(const FindQuery& query) {
    const std::string poem = FromQ(poemEdit_->toPlainText());
    if (const auto range = FirstMatch(poem, query)) {
        const auto [begin, end] = QtPositions(poem, *range);
        QTextCursor cursor(poemEdit_->document());
        cursor.setPosition(begin);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        poemEdit_->setTextCursor(cursor);
        poemEdit_->ensureCursorVisible();
        poemEdit_->setFocus();
        return;
    }
    // The words are in the title, poet or date only.
    for (QLineEdit* box : std::initializer_list<QLineEdit*>{titleEdit_, poetEdit_, dateEdit_}) {
        const std::string text = FromQ(box->text());
        if (const auto range = FirstMatch(text, query)) {
            const auto [begin, end] = QtPositions(text, *range);
            box->setSelection(begin, end - begin);
            box->setFocus();
            return;
        }
    }
}

} // namespace stanzel
