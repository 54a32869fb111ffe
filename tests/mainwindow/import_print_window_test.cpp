#include "mainwindow/find_in_poems_panel.h"
#include "mainwindow/window_fixture.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

namespace stanzel {
namespace {

using testing::MainWindowTest;
using testing::WriteBytes;
using Icon = UserDialogs::Icon;

class ImportPrintTest : public MainWindowTest {
protected:
    // Delivers a drag and its drop to the widget under the mouse, as the
    // desktop does; by default the poem box, where a user drops a poem.
    static void deliver(QWidget* target, QMimeData& data) {
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent event(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
    // Files come with their addresses, and with the addresses as text too, as
    // file managers send them: the text is what a box would paste.
    void drop(const std::vector<std::filesystem::path>& files, QWidget* target = nullptr) {
        QMimeData data;
        QList<QUrl> urls;
        QStringList addresses;
        for (const auto& file : files) {
            urls << QUrl::fromLocalFile(QString::fromStdString(file.string()));
            addresses << urls.back().toString();
        }
        data.setUrls(urls);
        data.setText(addresses.join('\n'));
        deliver(target ? target : poemEdit()->viewport(), data);
    }
    // The text boxes, each as the widget a drop reaches.
    std::vector<std::pair<const char*, QWidget*>> boxes() const {
        return {{"title", titleEdit()},
                {"poet", poetEdit()},
                {"date", dateEdit()},
                {"poem", poemEdit()->viewport()},
                {"online search", searchEdit()},
                {"find in poems", window->findPanel().queryEdit()}};
    }
};

TEST_F(ImportPrintTest, DroppedFileBecomesANewUnsavedPoem) {
    WriteBytes(dir / "poems.dmp", "[1]\r\ntitle=One\r\npoet=P\r\ndate=D\r\n");
    WriteBytes(dir / "settings.ini", "[Save]\r\nautoid=2\r\n");
    WriteBytes(dir / "my.poem.txt", "first\nsecond\n");
    start();
    select(0);
    dialogs.answers = {true};
    drop({dir / "my.poem.txt"});
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Import");
    EXPECT_EQ(dialogs.shown[0].text, "Do you want to import the \"my.poem.txt\" poem from file?");
    EXPECT_EQ(window->currentPoemId(), 0);
    EXPECT_EQ(window->selectedRow(), -1) << "a new poem has no row yet";
    EXPECT_EQ(titleEdit()->text(), "my");
    EXPECT_EQ(searchEdit()->text(), "my");
    EXPECT_EQ(poetEdit()->text(), "");
    EXPECT_EQ(poemEdit()->toPlainText(), "first\nsecond\n");

    actions().savePoem->trigger(); // stored as a new poem, the old one untouched
    EXPECT_EQ(file("poems.dmp"), "[1]\r\ntitle=One\r\npoet=P\r\ndate=D\r\n"
                                 "[2]\r\ntitle=my\r\npoet=\r\ndate=\r\n");
    EXPECT_EQ(file("poems/2.poem"), "first\r\nsecond\r\n");
}

// A box would paste the file's address; the drop goes to the import instead,
// with its question, wherever on the window it lands.
TEST_F(ImportPrintTest, FileDroppedOnAnyBoxIsImported) {
    WriteBytes(dir / "my.poem.txt", "first\nsecond\n");
    start();
    for (const auto& [name, box] : boxes()) {
        SCOPED_TRACE(name);
        dialogs.shown.clear();
        type("Kept", "kept text", "Poet", "Date");
        searchEdit()->setText("Kept");
        dialogs.answers = {true};
        drop({dir / "my.poem.txt"}, box);
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].text,
                  "Do you want to import the \"my.poem.txt\" poem from file?");
        EXPECT_EQ(titleEdit()->text(), "my");
        EXPECT_EQ(searchEdit()->text(), "my");
        EXPECT_EQ(poetEdit()->text(), "");
        EXPECT_EQ(dateEdit()->text(), "");
        EXPECT_EQ(poemEdit()->toPlainText(), "first\nsecond\n");
    }
    // Declined on a box, the drop leaves that box as it was, address-free.
    type("Kept", "kept text", "Poet", "Date");
    for (const auto& [name, box] : boxes()) {
        SCOPED_TRACE(name);
        dialogs.answers = {false};
        drop({dir / "my.poem.txt"}, box);
    }
    EXPECT_EQ(titleEdit()->text(), "Kept");
    EXPECT_EQ(poetEdit()->text(), "Poet");
    EXPECT_EQ(dateEdit()->text(), "Date");
    EXPECT_EQ(poemEdit()->toPlainText(), "kept text");
    EXPECT_FALSE(searchEdit()->text().contains("file:"));
    EXPECT_FALSE(window->findPanel().queryEdit()->text().contains("file:"));
}

// Text dragged from box to box is no file: the box takes it as it always did.
TEST_F(ImportPrintTest, TextDraggedBetweenBoxesIsStillInserted) {
    start();
    type("", "");
    for (const auto& [name, box] : boxes()) {
        SCOPED_TRACE(name);
        QMimeData data;
        data.setText("moved words");
        deliver(box, data);
    }
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(titleEdit()->text(), "moved words");
    EXPECT_EQ(poetEdit()->text(), "moved words");
    EXPECT_EQ(dateEdit()->text(), "moved words");
    EXPECT_EQ(searchEdit()->text(), "moved words");
    EXPECT_EQ(poemEdit()->toPlainText(), "moved words");
    EXPECT_EQ(window->findPanel().queryEdit()->text(), "moved words");
}

TEST_F(ImportPrintTest, RefusalsAndNoLeaveTheEditorAlone) {
    WriteBytes(dir / "a.txt", "a");
    WriteBytes(dir / "b.txt", "b");
    WriteBytes(dir / "notes.text", "n");
    WriteBytes(dir / "big.txt", std::string(103424, 'x'));
    start();
    type("Kept", "kept text");
    drop({dir / "a.txt", dir / "b.txt"});
    drop({dir / "notes.text"});
    drop({dir / "big.txt"});
    dialogs.answers = {false};
    drop({dir / "a.txt"});
    ASSERT_EQ(dialogs.shown.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(dialogs.shown[i].icon, Icon::Warning);
        EXPECT_EQ(dialogs.shown[i].title, "Import");
    }
    EXPECT_EQ(dialogs.shown[0].text, "You can add only one file at a time!");
    EXPECT_EQ(dialogs.shown[1].text, "This is not a text file!");
    EXPECT_EQ(dialogs.shown[2].text, "The file is too big! Maximum file size: 100Kb.");
    EXPECT_EQ(titleEdit()->text(), "Kept");
    EXPECT_EQ(poemEdit()->toPlainText(), "kept text");
}

TEST_F(ImportPrintTest, UnreadableDropIsReportedAndChangesNothing) {
    std::filesystem::create_directory(dir / "folder.txt");
    start();
    type("Kept", "kept text");
    dialogs.answers = {true};
    drop({dir / "folder.txt"});
    EXPECT_FALSE(dialogs.errors().empty());
    EXPECT_EQ(titleEdit()->text(), "Kept");
}

TEST_F(ImportPrintTest, PrintAsksThenPrintsTheBoxesAsTheyStand) {
    WriteBytes(dir / "settings.ini", "[Save]\r\nautoid=1\r\n");
    start();
    type("", "text");
    actions().print->trigger();
    EXPECT_TRUE(dialogs.shown.empty());

    type("Rain", "one\ntwo\n", "Ady", "1906");
    dialogs.answers = {false, true};
    actions().print->trigger();
    EXPECT_TRUE(dialogs.printed.empty());
    actions().print->trigger();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].title, "Confirmation");
    EXPECT_EQ(dialogs.shown[1].text, "Are you sure print \"Rain\" poem?");
    ASSERT_EQ(dialogs.printed.size(), 1u);
    const PrintedPoem& printed = dialogs.printed[0];
    EXPECT_EQ(printed.title, "Rain");
    EXPECT_EQ(printed.lines, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(printed.poetLabel, "Poet:");
    EXPECT_EQ(printed.poet, "Ady");
    EXPECT_EQ(printed.dateLabel, "Date of writing:");
    EXPECT_EQ(printed.date, "1906");
}

// Shift+Enter breaks a line inside the paragraph: the printout, the AbiWord
// export and the saved poem all see a line break, and none keeps U+2028.
TEST_F(ImportPrintTest, ShiftEnterIsALineBreakEverywhereTheLinesGo) {
    start();
    type("Rain", "");
    poemEdit()->setFocus();
    QTest::keyClicks(poemEdit(), "one");
    QTest::keyClick(poemEdit(), Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(poemEdit(), "two");
    ASSERT_TRUE(poemEdit()->document()->firstBlock().text().contains(QChar::LineSeparator));

    dialogs.answers = {true};
    actions().print->trigger();
    ASSERT_EQ(dialogs.printed.size(), 1u);
    EXPECT_EQ(dialogs.printed[0].lines, (std::vector<std::string>{"one", "two"}));

    dialogs.saveChoices = {
        UserDialogs::SaveChoice{QString::fromStdString((dir / "rain").string()), 3}};
    actions().exportPoem->trigger();
    const std::string document = file("rain.abw");
    EXPECT_EQ(document.find("\xE2\x80\xA8"), std::string::npos);
    EXPECT_NE(document.find(">one<"), std::string::npos);
    EXPECT_NE(document.find(">two<"), std::string::npos);

    actions().savePoem->trigger();
    EXPECT_EQ(file("poems/1.poem"), "one\r\ntwo");
}

} // namespace
} // namespace stanzel
