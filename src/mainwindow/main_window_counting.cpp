// The poem's counts in the main window: the syllable margin beside the poem
// box (View > Syllable Counts) and the counts in the status bar while the
// poem box has the cursor.
#include "counting/poem_counting.h"
#include "counting/syllable_margin.h"
#include "mainwindow/main_window.h"
#include "mainwindow/poem_edit.h"
#include "mainwindow/qt_text.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QStatusBar>

namespace stanzel {

void MainWindow::createCounting() {
    counting_ = new PoemCounting(*poemEdit_->document(), this);
    syllableMargin_ = new SyllableMargin(*poemEdit_, *counting_, poemEdit_);
    poemEdit_->setLeftStrip(syllableMargin_);
    countsLabel_ = new QLabel(this);
    countsLabel_->hide();
    statusBar()->addPermanentWidget(countsLabel_);
    connect(counting_, &PoemCounting::counted, this, &MainWindow::showCounts);
    connect(poemEdit_, &QTextEdit::cursorPositionChanged, this, &MainWindow::showCounts);
    syllableTablePlaces_ =
        SyllableTablePlaces(QCoreApplication::applicationDirPath().toStdString());
}

void MainWindow::toggleSyllableCounts() {
    poemEdit_->showLeftStrip(actions_.toggleSyllableCounts->isChecked());
}

void MainWindow::applyCountingLanguage() {
    // The poem's language, or with spelling off the interface's.
    const auto& code = poemLanguage().code();
    const CountingRule rule = RuleForLanguage(code ? *code : strings_.locale());
    // The table is read the first time English is counted, after the first
    // paint; until then English goes by spelling.
    if (rule == CountingRule::English && painted_ && !englishSyllablesRead_) {
        englishSyllablesRead_ = true;
        for (const auto& place : syllableTablePlaces_) {
            if (auto table = SyllableTable::Load(place)) {
                englishSyllables_ = std::make_shared<const SyllableTable>(std::move(*table));
                break;
            }
        }
    }
    const auto table = rule == CountingRule::English ? englishSyllables_ : nullptr;
    const SyllableCounter& now = counting_->counter();
    if (now.rule() != rule || (rule == CountingRule::English && now.hasTable() != !!table))
        counting_->setCounter(SyllableCounter(rule, table));
}

void MainWindow::showCounts() {
    if (!poemEdit_->hasFocus()) {
        countsLabel_->hide();
        return;
    }
    const PoemCounting::CursorLine line = counting_->lineAt(poemEdit_->textCursor());
    countsLabel_->setText(
        ToQ(CountsStatus(strings_, line.number, line.counts, counting_->tally().totals(),
                         counting_->counter().approximate())));
    countsLabel_->show();
}

} // namespace stanzel
