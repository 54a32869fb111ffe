#include "mainwindow/find_in_poems_panel.h"
#include "mainwindow/window_fixture.h"

#include <QListView>
#include <QTest>
#include <QTextCursor>
#include <QToolBar>

namespace stanzel {
namespace {

using testing::Caption;
using testing::MainWindowTest;
using testing::WriteBytes;

class FindInPoemsWindowTest : public MainWindowTest {
protected:
    void SetUp() override {
        WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=Őszi éjszaka\r\npoet=Ady Endre\r\n"
                                      "[2]\r\ntitle=Mädchen\r\npoet=Rainer Müller\r\n"
                                      "[3]\r\ntitle=Le Château\r\ndate=1906\r\n");
        std::filesystem::create_directory(dir / "poems");
        WriteBytes(dir / "poems" / "1.poem", "Az ősz hajnal\r\nfűzfa alatt");
        WriteBytes(dir / "poems" / "2.poem", "Über die Straße\r\nim Winter");
        WriteBytes(dir / "poems" / "3.poem", "Forêt d'été\r\nle vent\r\nla Straße d'hiver");
        WriteBytes(dir / "settings.ini", "[Save]\r\nautoid=4\r\n");
        start();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    FindInPoemsPanel& panel() const { return window->findPanel(); }
    QListView* results() const { return panel().resultsView(); }

    // Opens the panel by its shortcut from the poem box and types the words
    // into its search box, waiting while the poems are read.
    void find(const QString& words) {
        poemEdit()->setFocus();
        QTest::keyClick(poemEdit(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        ASSERT_TRUE(panel().isVisible());
        ASSERT_TRUE(QTest::qWaitFor([this] { return !panel().reading(); }, 5000));
        ASSERT_TRUE(panel().queryEdit()->hasFocus());
        QTest::keyClicks(panel().queryEdit(), words);
    }
    QStringList shownTitles() const {
        QStringList titles;
        for (int row = 0; row < results()->model()->rowCount(); ++row)
            titles << results()->model()->index(row, 0).data().toString();
        return titles;
    }
    QString shownLine(int row) const {
        return results()->model()->index(row, 0).data(Qt::ToolTipRole).toString();
    }
};

TEST_F(FindInPoemsWindowTest, TypingShowsEveryPoemHoldingTheWords) {
    find("strasse");
    EXPECT_EQ(shownTitles(), QStringList({"Mädchen", "Le Château"}));
    EXPECT_EQ(shownLine(0), "Über die Straße");
    EXPECT_EQ(shownLine(1), "la Straße d'hiver");
    EXPECT_EQ(panel().statusLabel()->text(), "Poems found: 2");

    QTest::keyClicks(panel().queryEdit(), " WINTER");
    EXPECT_EQ(shownTitles(), QStringList({"Mädchen"}));
    panel().queryEdit()->clear();
    EXPECT_EQ(shownTitles(), QStringList());
}

TEST_F(FindInPoemsWindowTest, EnterOpensTheFirstResultWithItsWordSelected) {
    find("HAJNAL");
    QTest::keyClick(panel().queryEdit(), Qt::Key_Return);
    EXPECT_EQ(window->selectedRow(), 0);
    EXPECT_EQ(window->currentPoemId(), 1);
    EXPECT_EQ(titleEdit()->text(), "Őszi éjszaka");
    EXPECT_EQ(poemEdit()->textCursor().selectedText(), "hajnal");
    EXPECT_TRUE(poemEdit()->hasFocus());
}

TEST_F(FindInPoemsWindowTest, ClickingAResultLoadsItsPoem) {
    find("ete foret");
    ASSERT_EQ(shownTitles(), QStringList({"Le Château"}));
    const QRect first = results()->visualRect(results()->model()->index(0, 0));
    QTest::mouseClick(results()->viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_EQ(window->currentPoemId(), 3);
    EXPECT_EQ(dateEdit()->text(), "1906");
    EXPECT_EQ(poemEdit()->textCursor().selectedText(), "Forêt");
}

TEST_F(FindInPoemsWindowTest, ResultsFollowSavedAndImportedPoems) {
    find("winter");
    ASSERT_EQ(shownTitles(), QStringList({"Mädchen"}));
    QTest::keyClick(panel().queryEdit(), Qt::Key_Return);
    poemEdit()->setPlainText("Über den Sommer");
    actions().savePoem->trigger();
    EXPECT_EQ(shownTitles(), QStringList());

    panel().queryEdit()->setText("sommer");
    EXPECT_EQ(shownTitles(), QStringList({"Mädchen"}));
    // An imported poem is found once saved, in its place at the end.
    WriteBytes(dir / "Sommerabend.txt", "Warm am See\n");
    dialogs.answers = {true};
    window->importDroppedFiles({dir / "Sommerabend.txt"});
    EXPECT_EQ(shownTitles(), QStringList({"Mädchen"}));
    actions().savePoem->trigger();
    EXPECT_EQ(shownTitles(), QStringList({"Mädchen", "Sommerabend"}));
}

TEST_F(FindInPoemsWindowTest, ADeletedPoemLeavesTheResults) {
    find("a");
    ASSERT_EQ(shownTitles(), QStringList({"Őszi éjszaka", "Mädchen", "Le Château"}));
    select(1);
    dialogs.answers = {true};
    actions().deletePoem->trigger();
    EXPECT_EQ(shownTitles(), QStringList({"Őszi éjszaka", "Le Château"}));
    // Choosing a result still opens the poem of its own row.
    QTest::keyClick(panel().queryEdit(), Qt::Key_Down);
    QTest::keyClick(results(), Qt::Key_Down);
    QTest::keyClick(results(), Qt::Key_Return);
    EXPECT_EQ(window->currentPoemId(), 3);
}

TEST_F(FindInPoemsWindowTest, AClosedPanelCatchesUpWhenOpenedAgain) {
    find("a");
    panel().close();
    select(1);
    dialogs.answers = {true};
    actions().deletePoem->trigger();
    QTest::mouseClick(window->toolBar()->widgetForAction(actions().findInPoems), Qt::LeftButton);
    ASSERT_TRUE(panel().isVisible());
    EXPECT_EQ(panel().queryEdit()->text(), "a");
    EXPECT_EQ(shownTitles(), QStringList({"Őszi éjszaka", "Le Château"}));
}

TEST_F(FindInPoemsWindowTest, SpeaksTheInterfaceLanguage) {
    WriteBytes(dir / "lang" / "Test.lng", "[language]\r\nfindinpoems=Versek…\r\n"
                                          "findpanel=Versekben\r\nfindcount=Talált: %s\r\n");
    window->applyLanguage("Test");
    find("winter");
    EXPECT_EQ(Caption(actions().findInPoems), "Versek…");
    EXPECT_EQ(panel().windowTitle(), "Versekben");
    EXPECT_EQ(panel().statusLabel()->text(), "Talált: 1");
}

} // namespace
} // namespace stanzel
