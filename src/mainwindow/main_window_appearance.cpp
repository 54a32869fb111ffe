// The main window's looks: its colours, the view switches and the Language
// menu.
#include "counting/syllable_margin.h"
#include "localisation/language_list.h"
#include "mainwindow/main_window.h"
#include "mainwindow/poem_list_model.h"
#include "mainwindow/qt_colour.h"
#include "mainwindow/qt_text.h"
#include "mainwindow/user_dialogs.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QTableView>
#include <QTextEdit>
#include <QToolBar>

namespace stanzel {

namespace {

// The background, and text that reads on it whatever the desktop's theme.
void SetBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, colour);
    palette.setColor(QPalette::Text, TextColourOn(colour));
    widget->setPalette(palette);
}

} // namespace

std::vector<std::pair<const ColourSetting*, Colour*>> MainWindow::colourEntries() {
    return {{&setting::titleColour, &colours_.title},
            {&setting::poetColour, &colours_.poet},
            {&setting::dateColour, &colours_.date},
            {&setting::poemColour, &colours_.poem},
            {&setting::listColour, &colours_.listBackground},
            {&setting::searchColour, &colours_.search},
            {&setting::oddRowColour, &colours_.secondRow},
            {&setting::evenRowColour, &colours_.list}};
}

void MainWindow::applyColours() {
    // The list takes the list colour as its background whenever it draws a
    // row; an empty list keeps the background it had.
    if (listModel_->rowCount() > 0)
        colours_.listBackground = colours_.list;
    const QPalette palette = QApplication::palette();
    SetBackground(titleEdit_, ToQColor(colours_.title, palette));
    SetBackground(poetEdit_, ToQColor(colours_.poet, palette));
    SetBackground(dateEdit_, ToQColor(colours_.date, palette));
    SetBackground(poemEdit_, ToQColor(colours_.poem, palette));
    syllableMargin_->update();
    SetBackground(searchEdit_, ToQColor(colours_.search, palette));
    SetBackground(listView_, ToQColor(colours_.listBackground, palette));
    listModel_->setRowColours(ToQColor(colours_.list, palette),
                              ToQColor(colours_.secondRow, palette),
                              actions_.toggleRowColouring->isChecked());
}

void MainWindow::toggleToolbar() {
    toolBar_->setVisible(!toolBar_->isVisible());
    actions_.toggleToolbar->setChecked(toolBar_->isVisible());
}

void MainWindow::toggleStatusBar() {
    statusBar()->setVisible(!statusBar()->isVisible());
    actions_.toggleStatusBar->setChecked(statusBar()->isVisible());
}

void MainWindow::toggleRowColouring() {
    applyColours();
}

void MainWindow::toggleIdColumn() {
    QAction* toggle = actions_.toggleIdColumn;
    const int width = listView_->width();
    // The action's check mark has already flipped when the menu triggers it;
    // the start-up step calls this directly with the mark still set.
    const bool showing = toggle->isChecked() && listView_->isColumnHidden(PoemListModel::IdColumn);
    if (!showing) {
        listView_->setColumnHidden(PoemListModel::IdColumn, true);
        listView_->setColumnWidth(PoemListModel::TitleColumn, width - 4);
        toggle->setChecked(false);
    } else {
        toggle->setChecked(true);
        listView_->setColumnHidden(PoemListModel::IdColumn, false);
        listView_->setColumnWidth(PoemListModel::IdColumn, width / 2 - 4);
        listView_->setColumnWidth(PoemListModel::TitleColumn, width / 2);
    }
}

void MainWindow::chooseColour(Colour& colour) {
    // The chooser opens on the colour last confirmed in it, for any element.
    const auto chosen = dialogs_.chooseColour(this, lastChosenColour_);
    if (!chosen)
        return;
    lastChosenColour_ = *chosen;
    colour = FromQColor(*chosen);
    applyColours();
}

void MainWindow::chooseListColour() {
    chooseColour(colours_.list);
}
void MainWindow::chooseSecondRowColour() {
    chooseColour(colours_.secondRow);
}
void MainWindow::chooseSearchColour() {
    chooseColour(colours_.search);
}
void MainWindow::chooseTitleColour() {
    chooseColour(colours_.title);
}
void MainWindow::choosePoetColour() {
    chooseColour(colours_.poet);
}
void MainWindow::chooseDateColour() {
    chooseColour(colours_.date);
}
void MainWindow::choosePoemColour() {
    chooseColour(colours_.poem);
}

void MainWindow::restoreDefaultColours() {
    colours_.poem = colours_.title = colours_.date = kBoxColour;
    colours_.search = kSearchColour;
    colours_.poet = kBoxColour;
    colours_.list = kBoxColour;
    colours_.secondRow = kSearchColour;
    applyColours();
}

void MainWindow::buildLanguageMenu() {
    QMenu* menu = menus_.language;
    for (const std::string& language : ListLanguages(programDir())) {
        // The name is shown as it stands: a "&" in it is no keyboard marker.
        QAction* action =
            menu->addAction(ToQ(language).replace(QLatin1Char('&'), QStringLiteral("&&")));
        action->setCheckable(true);
        action->setData(ToQ(language));
        const int position = static_cast<int>(languageActions_.size());
        connect(action, &QAction::triggered, this,
                [this, position] { guarded([this, position] { chooseLanguage(position); }); });
        languageActions_.push_back(action);
    }
}

void MainWindow::markLanguage(const std::string& language) {
    // Every item of that name is checked; with no such item the index stays.
    for (std::size_t position = 0; position < languageActions_.size(); ++position) {
        const std::string name = position == 0
                                     ? std::string(kEnglish)
                                     : FromQ(languageActions_[position]->data().toString());
        const bool matches = name == language;
        languageActions_[position]->setChecked(matches);
        if (matches)
            languageIndex_ = static_cast<std::int32_t>(position);
    }
}

void MainWindow::chooseEnglish() {
    applyLanguage(std::string(kEnglish));
}

void MainWindow::chooseLanguage(int position) {
    QAction* item = languageActions_[static_cast<std::size_t>(position)];
    applyLanguage(FromQ(item->data().toString()));
    item->setChecked(true);
}

} // namespace stanzel
