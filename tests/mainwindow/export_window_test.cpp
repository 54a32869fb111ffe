#include "mainwindow/window_fixture.h"

namespace stanzel {
namespace {

using testing::MainWindowTest;
using testing::WriteBytes;

using SaveChoice = UserDialogs::SaveChoice;

class ExportWindowTest : public MainWindowTest {
protected:
    QString target(const char* name) const { return QString::fromStdString((dir / name).string()); }
};

TEST_F(ExportWindowTest, ExportWritesTheChosenFormatAndRemembersIt) {
    WriteBytes(dir / "settings.ini", "[Export]\r\none=3\r\n");
    start();
    type("Rain & Snow", "one\ntwo", "Ady", "1906");
    dialogs.saveChoices = {SaveChoice{target("rain"), 2}};
    actions().exportPoem->trigger();
    for (const auto& error : dialogs.errors())
        ADD_FAILURE() << error.toStdString();
    EXPECT_EQ(dialogs.saveFilters,
              QStringList({"Text files (*.txt)", "Html Documents (*.html)", "AbiWord (*.abw)"}));
    EXPECT_EQ(dialogs.savePreselected, std::vector<int>{3});
    const std::string page = file("rain.html");
    EXPECT_TRUE(page.starts_with("<?xml")) << page.substr(0, 80);
    EXPECT_NE(page.find("Rain &amp; Snow"), std::string::npos);
    EXPECT_NE(file("settings.ini").find("[Export]\r\none=2\r\n"), std::string::npos);

    // Within the run the dialog keeps offering what was read at start.
    dialogs.saveChoices = {std::nullopt};
    actions().exportPoem->trigger();
    EXPECT_EQ(dialogs.savePreselected.back(), 3);
}

TEST_F(ExportWindowTest, OverwriteIsAskedWithTheNameWritten) {
    WriteBytes(dir / "rain.txt", "keep");
    start();
    type("Rain", "text");
    dialogs.saveChoices = {SaveChoice{target("rain"), 1}};
    dialogs.answers = {false};
    actions().exportPoem->trigger();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Confirmation");
    EXPECT_EQ(dialogs.shown[0].text,
              "File \"" + target("rain.txt") + "\" is already exists. Do you want to overwrite?");
    EXPECT_EQ(file("rain.txt"), "keep");
}

TEST_F(ExportWindowTest, NothingToExportAsksNothing) {
    start();
    type("", "text");
    actions().exportPoem->trigger();
    EXPECT_TRUE(dialogs.savePreselected.empty());
}

TEST_F(ExportWindowTest, ExportAllShowsProgressAndCancelWritesNothing) {
    std::string index;
    std::filesystem::create_directories(dir / "poems");
    for (int id = 1; id <= 300; ++id) {
        index += "[" + std::to_string(id) + "]\r\ntitle=Poem " + std::to_string(id) +
                 "\r\npoet=P\r\ndate=D\r\n";
        WriteBytes(dir / "poems" / (std::to_string(id) + ".poem"), "line");
    }
    WriteBytes(dir / "poems.dmp", index);
    start();

    dialogs.saveChoices = {SaveChoice{target("all"), 1}};
    dialogs.cancelProgressAt = 100;
    actions().exportAll->trigger();
    EXPECT_FALSE(exists("all.txt"));
    EXPECT_FALSE(dialogs.progressSteps.empty());
    EXPECT_TRUE(dialogs.errors().empty());

    dialogs.progressSteps.clear();
    dialogs.cancelProgressAt = -1;
    dialogs.saveChoices = {SaveChoice{target("all"), 1}};
    actions().exportAll->trigger();
    ASSERT_TRUE(exists("all.txt"));
    EXPECT_NE(file("all.txt").find("Poem 300"), std::string::npos);
    EXPECT_EQ(dialogs.progressSteps.back(), (std::pair<std::size_t, std::size_t>{300, 300}));
    EXPECT_NE(file("settings.ini").find("[Export]\r\nall=1\r\n"), std::string::npos);
    EXPECT_FALSE(dialogs.progressOpen);

    // The progress window has gone before the overwrite question.
    dialogs.saveChoices = {SaveChoice{target("all"), 1}};
    dialogs.answers = {true};
    actions().exportAll->trigger();
    ASSERT_EQ(dialogs.progressOpenAtQuestion, std::vector<bool>{false});
    EXPECT_EQ(dialogs.shown.back().text,
              "File \"" + target("all.txt") + "\" is already exists. Do you want to overwrite?");
}

} // namespace
} // namespace stanzel
