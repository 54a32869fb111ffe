// The poem's counts through the window: the status bar as the cursor moves
// in the poem box, the margin drawn beside each line, View > Syllable Counts
// kept for the next start, and the language the poem is counted in.
#include "counting/poem_counting.h"
#include "counting/syllable_margin.h"
#include "spelling/spelling_session.h"
#include "window_fixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <array>
#include <tuple>

namespace stanzel::testing {
namespace {

class CountingWindowTest : public MainWindowTest {
protected:
    // The window shown with the English table the build made, its first
    // paint done, the cursor in the poem box.
    void startCounting() {
        window = std::make_unique<MainWindow>(dir.path(), dialogs);
        window->setSyllableTablePlaces({STANZEL_SYLLABLE_TABLE});
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        waitFor([&] { return window->spelling() != nullptr; });
        poemEdit()->setFocus();
        QApplication::processEvents();
    }
    QString counts() const {
        return window->countsLabel()->isVisible() ? window->countsLabel()->text() : QString();
    }
    // Types into the focused poem box, Enter between the lines.
    void typeLines(const QStringList& lines) {
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                QTest::keyClick(poemEdit(), Qt::Key_Return);
            QTest::keyClicks(poemEdit(), lines[i]);
        }
    }
    // The margin's painted pixels that differ from the box's background,
    // by row of the margin.
    std::vector<int> inkedRows() const {
        const QImage image = window->syllableMargin()->grab().toImage();
        const QColor background = poemEdit()->palette().color(QPalette::Base);
        std::vector<int> rows;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) != background) {
                    rows.push_back(y);
                    break;
                }
        return rows;
    }
    QRect lineRect(int block) const {
        QTextCursor cursor(poemEdit()->document()->findBlockByNumber(block));
        return poemEdit()->cursorRect(cursor);
    }
};

const QString kSonnet[] = {
    QStringLiteral("Shall I compare thee to a summer's day?"),
    QStringLiteral("Thou art more lovely and more temperate:"),
    QString(),
    QStringLiteral("Rough winds do shake the darling buds of May,"),
};

TEST_F(CountingWindowTest, TheStatusBarCountsTheCursorsLineAndThePoem) {
    startCounting();
    EXPECT_EQ(counts(), "Line 1: 0 syllables \u00B7 0 lines, 0 stanzas, 0 words");
    typeLines({kSonnet[0], kSonnet[1], kSonnet[2], kSonnet[3]});
    ASSERT_EQ(poemEdit()->document()->blockCount(), 4) << poemEdit()->toPlainText().toStdString();
    EXPECT_EQ(counts(), "Line 4: 10 syllables \u00B7 3 lines, 2 stanzas, 24 words");
    QTest::keyClick(poemEdit(), Qt::Key_Up);
    EXPECT_EQ(counts(), "Line 3: 0 syllables \u00B7 3 lines, 2 stanzas, 24 words");
    QTest::keyClick(poemEdit(), Qt::Key_Up);
    QTest::keyClick(poemEdit(), Qt::Key_End);
    // "temperate" as the dictionary says it first: two syllables.
    EXPECT_EQ(counts(), "Line 2: 9 syllables \u00B7 3 lines, 2 stanzas, 24 words");
    // A word typed at the line's end counts at once.
    QTest::keyClicks(poemEdit(), QStringLiteral(" indeed"));
    EXPECT_EQ(counts(), "Line 2: 11 syllables \u00B7 3 lines, 2 stanzas, 25 words");
    // Backspace over the empty line joins the stanzas.
    QTest::keyClick(poemEdit(), Qt::Key_Down);
    QTest::keyClick(poemEdit(), Qt::Key_Home);
    QTest::keyClick(poemEdit(), Qt::Key_Backspace);
    EXPECT_EQ(counts(), "Line 2: 11 syllables \u00B7 3 lines, 1 stanza, 25 words");
    // Only while the poem box has the cursor.
    titleEdit()->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(counts(), "");
    poemEdit()->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(counts(), "Line 2: 11 syllables \u00B7 3 lines, 1 stanza, 25 words");
}

TEST_F(CountingWindowTest, TheMarginShowsEachLinesCountBesideIt) {
    startCounting();
    typeLines({kSonnet[0], kSonnet[1], kSonnet[2], kSonnet[3]});
    QApplication::processEvents();
    const auto shown = window->syllableMargin()->shownCounts();
    ASSERT_EQ(shown.size(), 3u) << "the empty line shows nothing";
    const std::array<std::tuple<std::size_t, int, int>, 3> expected{
        {{0, 0, 10}, {1, 1, 9}, {2, 3, 10}}};
    for (auto [at, block, count] : expected) {
        EXPECT_EQ(shown[at].count, count);
        EXPECT_NEAR(shown[at].top, lineRect(block).top(), 1) << "beside line " << block;
    }
    // Ink beside the three lines and none beside the empty one.
    const std::vector<int> rows = inkedRows();
    for (int block : {0, 1, 3}) {
        const QRect line = lineRect(block);
        EXPECT_TRUE(std::any_of(rows.begin(), rows.end(),
                                [&](int y) { return y >= line.top() && y <= line.bottom(); }))
            << "no count painted beside line " << block;
    }
    const QRect empty = lineRect(2);
    EXPECT_FALSE(std::any_of(rows.begin(), rows.end(),
                             [&](int y) { return y > empty.top() + 1 && y < empty.bottom() - 1; }));
    // The poem's text starts right of the margin.
    EXPECT_GE(poemEdit()->viewport()->geometry().left(),
              window->syllableMargin()->geometry().right());
}

TEST_F(CountingWindowTest, TheMarginFollowsThePoemBoxsColours) {
    startCounting();
    typeLines({kSonnet[0]});
    dialogs.colours.push_back(QColor(0, 0, 80)); // dark blue: the box's text turns light
    actions().choosePoemColour->trigger();
    QApplication::processEvents();
    const QImage image = window->syllableMargin()->grab().toImage();
    EXPECT_EQ(image.pixelColor(1, 1), QColor(0, 0, 80));
    const QColor quiet = window->syllableMargin()->quietColour();
    const QColor text = poemEdit()->palette().color(QPalette::Text);
    EXPECT_LT(quiet.lightness(), text.lightness());
    EXPECT_GT(quiet.lightness(), QColor(0, 0, 80).lightness());
}

TEST_F(CountingWindowTest, SyllableCountsTurnOffAndStayOffAtTheNextStart) {
    startCounting();
    EXPECT_TRUE(actions().toggleSyllableCounts->isChecked());
    EXPECT_TRUE(window->syllableMargin()->isVisible());
    const int withMargin = poemEdit()->viewport()->geometry().left();
    actions().toggleSyllableCounts->trigger();
    EXPECT_FALSE(window->syllableMargin()->isVisible());
    EXPECT_LT(poemEdit()->viewport()->geometry().left(), withMargin);
    window->close();
    EXPECT_NE(file("settings.ini").find("[View]\r\nsyllables=0"), std::string::npos)
        << file("settings.ini");
    startCounting();
    EXPECT_FALSE(actions().toggleSyllableCounts->isChecked());
    EXPECT_FALSE(window->syllableMargin()->isVisible());
    // Turned on and off again in one run: the entry stays as it was.
    actions().toggleSyllableCounts->trigger();
    actions().toggleSyllableCounts->trigger();
    window->close();
    EXPECT_NE(file("settings.ini").find("[View]\r\nsyllables=0"), std::string::npos);
    startCounting();
    // The status bar counts all the same.
    typeLines({kSonnet[0]});
    EXPECT_EQ(counts(), "Line 1: 10 syllables \u00B7 1 line, 1 stanza, 8 words");
}

TEST_F(CountingWindowTest, ThePoemIsCountedInItsLanguage) {
    startCounting();
    std::filesystem::copy_file(std::filesystem::path(STANZEL_SOURCE_DIR) / "lang/German.lng",
                               dir / "lang" / "German.lng");
    poemEdit()->setPlainText(QStringLiteral("Meine Mutter hat manch gülden Gewand."));
    const auto choose = [&](const char* code) {
        for (QAction* action : window->dictionaryActions())
            if (action->data().toString() == QLatin1String(code))
                action->trigger();
        QApplication::processEvents();
    };
    choose("de_DE");
    EXPECT_EQ(window->poemCounting().counter().rule(), CountingRule::German);
    EXPECT_EQ(window->poemCounting().tally().lines(0)[0].syllables, 10);
    choose("hu_HU");
    EXPECT_EQ(window->poemCounting().counter().rule(), CountingRule::Hungarian);
    // Spelling off: the interface's language, here English with its table.
    actions().spellingOff->trigger();
    EXPECT_EQ(window->poemCounting().counter().rule(), CountingRule::English);
    EXPECT_TRUE(window->poemCounting().counter().hasTable());
    // A language of its own: counted by vowel groups, and said to be approximate.
    WriteBytes(dir / "lang" / "Français.lng", "[language]\r\nlocale=fr\r\n");
    window->applyLanguage("Français");
    EXPECT_EQ(window->poemCounting().counter().rule(), CountingRule::Other);
    poemEdit()->setFocus();
    QTest::keyClick(poemEdit(), Qt::Key_End);
    EXPECT_TRUE(counts().startsWith(QStringLiteral("Line 1: about "))) << counts().toStdString();
    window->applyLanguage("German");
    EXPECT_EQ(window->poemCounting().counter().rule(), CountingRule::German);
    QTest::keyClick(poemEdit(), Qt::Key_Home);
    EXPECT_EQ(counts(), "Zeile 1: 10 Silben \u00B7 1 Zeile, 1 Strophe, 6 Wörter");
}

// Opening a poem counts it before anything is painted, and each keystroke
// after recounts the line it changed and no other.
TEST_F(CountingWindowTest, AKeystrokeRecountsItsOwnLineOnly) {
    startCounting();
    const QString verse[] = {kSonnet[0], kSonnet[1], kSonnet[3]};
    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines << (i % 5 == 4 ? QString() : verse[i % 3]);
    poemEdit()->setPlainText(lines.join(QLatin1Char('\n')));
    EXPECT_EQ(window->poemCounting().tally().paragraphCount(), 300u);
    EXPECT_EQ(window->poemCounting().tally().totals().stanzas, 60);
    const PoemTally before = window->poemCounting().tally();
    QTextCursor cursor(poemEdit()->document()->findBlockByNumber(150));
    cursor.movePosition(QTextCursor::EndOfBlock);
    poemEdit()->setTextCursor(cursor);
    QTest::keyClicks(poemEdit(), QStringLiteral(" indeed"));
    const PoemTally& after = window->poemCounting().tally();
    ASSERT_EQ(after.paragraphCount(), 300u);
    for (std::size_t p = 0; p < 300; ++p)
        if (p != 150)
            EXPECT_EQ(after.lines(p)[0], before.lines(p)[0]) << p;
    EXPECT_EQ(after.lines(150)[0].syllables, before.lines(150)[0].syllables + 2);
}

} // namespace
} // namespace stanzel::testing
