// The main window's ways of reading: the poem box's zoom and the list's
// order, both kept for the next start.
#include "mainwindow/main_window.h"
#include "mainwindow/poem_list_model.h"
#include "storage/ini_file.h"
#include "storage/settings.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QTableView>
#include <QTextEdit>
#include <QWheelEvent>
#include <algorithm>

namespace stanzel {

namespace {

// The poem box's normal size and how far it zooms either way, in points.
constexpr int kPoemPoints = 10;
constexpr int kSmallestPoints = 6;
constexpr int kLargestPoints = 48;

} // namespace

void MainWindow::createReadingCommands() {
    MainWindowActions& a = actions_;
    a.zoomIn = addCommand(nullptr, nullptr, &MainWindow::zoomPoemIn);
    // Ctrl+= too, for keyboards whose "+" needs Shift.
    a.zoomIn->setShortcuts({QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    a.zoomOut = addCommand(nullptr, nullptr, &MainWindow::zoomPoemOut);
    a.zoomOut->setShortcuts(QKeySequence::ZoomOut);
    a.zoomReset = addCommand(nullptr, nullptr, &MainWindow::resetPoemZoom);
    a.zoomReset->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    for (auto [action, icon] : {std::pair{a.zoomIn, "zoom-in"}, std::pair{a.zoomOut, "zoom-out"},
                                std::pair{a.zoomReset, "zoom-original"}})
        action->setIcon(QIcon::fromTheme(QString::fromLatin1(icon)));
    menus_.view->addSeparator();
    menus_.view->addActions({a.zoomIn, a.zoomOut, a.zoomReset});

    QHeaderView* header = listView_->horizontalHeader();
    header->setSectionsClickable(true);
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int column) { guarded([this, column] { sortListBy(column); }); });
    // The sorted list loses its highlight with each new order; it comes back
    // on the editor's poem.
    connect(listModel_, &QAbstractItemModel::modelReset, this,
            [this] { selectRowQuietly(editorRow()); });
}

void MainWindow::zoomPoem(int steps) {
    const int points = std::clamp(kPoemPoints + poemZoom_ + steps, kSmallestPoints, kLargestPoints);
    poemZoom_ = points - kPoemPoints;
    QFont font = poemEdit_->font();
    font.setPointSize(points);
    poemEdit_->setFont(font);
}

bool MainWindow::takeZoomWheel(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel || watched != poemEdit_->viewport())
        return false;
    const auto* wheel = static_cast<QWheelEvent*>(event);
    if (!(wheel->modifiers() & Qt::ControlModifier))
        return false;
    // The box would zoom by itself, unseen by the window and forgotten.
    if (const int delta = wheel->angleDelta().y())
        zoomPoem(delta > 0 ? 1 : -1);
    return true;
}

void MainWindow::sortListBy(int column) {
    // Up, then down, then the order of the index again.
    int sortColumn = column;
    Qt::SortOrder order = Qt::AscendingOrder;
    if (listModel_->sortColumn() == column) {
        if (listModel_->sortOrder() == Qt::AscendingOrder)
            order = Qt::DescendingOrder;
        else
            sortColumn = -1;
    }
    listModel_->sortBy(sortColumn, order);
    showListOrder();
    highlightEditorPoem();
}

void MainWindow::showListOrder() {
    QHeaderView* header = listView_->horizontalHeader();
    const bool sorted = listModel_->sortColumn() >= 0;
    header->setSortIndicatorShown(sorted);
    header->setSortIndicator(sorted ? listModel_->sortColumn() : -1, listModel_->sortOrder());
}

void MainWindow::readReadingSettings(const IniFile& settings) {
    zoomPoem(ReadSetting(settings, setting::poemZoom));
    const int column = ReadSetting(settings, setting::listSortColumn);
    listModel_->sortBy(column, ReadSetting(settings, setting::listSortOrder) == 1
                                   ? Qt::DescendingOrder
                                   : Qt::AscendingOrder);
    showListOrder();
}

void MainWindow::writeReadingSettings(IniFile& settings) const {
    WriteSetting(settings, setting::poemZoom, poemZoom_);
    WriteSetting(settings, setting::listSortColumn, listModel_->sortColumn());
    WriteSetting(settings, setting::listSortOrder,
                 listModel_->sortOrder() == Qt::DescendingOrder ? 1 : 0);
}

} // namespace stanzel
