#pragma once

#include "mainwindow/main_window.h"
#include "mainwindow/poem_list_model.h"
#include "mainwindow/scripted_dialogs.h"
#include "test_dir.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QTextEdit>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace stanzel::testing {

// The real main window on a fresh program directory, with scripted dialogs
// and a fixed clock.
class MainWindowTest : public ::testing::Test {
protected:
    void start() {
        window = std::make_unique<MainWindow>(dir.path(), dialogs);
        window->setClock([] { return QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)); });
        window->show();
    }

    QLineEdit* titleEdit() const { return window->titleEdit(); }
    QLineEdit* poetEdit() const { return window->poetEdit(); }
    QLineEdit* dateEdit() const { return window->dateEdit(); }
    QLineEdit* searchEdit() const { return window->searchEdit(); }
    QTextEdit* poemEdit() const { return window->poemEdit(); }
    const MainWindowActions& actions() const { return window->actions(); }
    QTableView* list() const { return window->poemListView(); }
    QString status() const { return window->statusLabel()->text(); }
    int rows() const { return window->poemList().rowCount(); }

    void select(int row) {
        list()->selectionModel()->select(window->poemList().index(row, 0),
                                         QItemSelectionModel::ClearAndSelect |
                                             QItemSelectionModel::Rows);
    }
    void type(const QString& title, const QString& text, const QString& poet = {},
              const QString& date = {}) {
        titleEdit()->setText(title);
        poetEdit()->setText(poet);
        dateEdit()->setText(date);
        poemEdit()->setPlainText(text);
    }
    // Runs the event loop until `done`, for at most 20 seconds.
    static void waitFor(const std::function<bool()>& done) {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < 20000)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        ASSERT_TRUE(done());
    }
    std::string file(std::string_view name) const { return ReadBytes(dir / name); }
    bool exists(std::string_view name) const { return std::filesystem::exists(dir / name); }

    TestDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
};

} // namespace stanzel::testing
