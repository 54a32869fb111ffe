// Counting against the frame (16 ms): a 300-line poem counted as it opens
// in the poem box with the syllable margin, and a keystroke in it, in
// English, German and Hungarian; the counting alone, and reading the
// English table.
//
//   counting_bench [benchmark flags]

#include "bench_support.h"
#include "counting/poem_counting.h"
#include "counting/poem_tally.h"
#include "counting/syllable_margin.h"
#include "window_bench_main.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>
#include <string>

namespace {

using namespace stanzel;

const char* const kLanguages[] = {"English", "German", "Hungarian"};
const CountingRule kRules[] = {CountingRule::English, CountingRule::German,
                               CountingRule::Hungarian};

// Stanzas of four lines of verse, one empty line after each.
const char* const kLines[][4] = {
    {"Shall I compare thee to a summer's day?",
     "Thou art more lovely and more temperate:", "Rough winds do shake the darling buds of May,",
     "And summer's lease hath all too short a date;"},
    {"Wer reitet so spät durch Nacht und Wind?", "Es ist der Vater mit seinem Kind;",
     "Er hat den Knaben wohl in dem Arm,", "Er faßt ihn sicher, er hält ihn warm."},
    {"Még nyílnak a völgyben a kerti virágok,", "Még zöldel a nyárfa az ablak előtt,",
     "De látod amottan a téli világot?", "Már hó takará el a bérci tetőt."},
};

QString Poem(int language, int lines = 300) {
    QStringList text;
    for (int line = 0; line < lines; ++line)
        text << (line % 5 == 4 ? QString() : QString::fromUtf8(kLines[language][line % 5]));
    return text.join(QLatin1Char('\n'));
}

std::shared_ptr<const SyllableTable> EnglishTable() {
    static const auto table = [] {
        auto loaded = SyllableTable::Load(STANZEL_SYLLABLE_TABLE);
        return loaded ? std::make_shared<const SyllableTable>(std::move(*loaded)) : nullptr;
    }();
    return table;
}

SyllableCounter Counter(int language) {
    return SyllableCounter(kRules[language], language == 0 ? EnglishTable() : nullptr);
}

void BM_LoadEnglishTable(benchmark::State& state) {
    for (auto _ : state) {
        auto table = SyllableTable::Load(STANZEL_SYLLABLE_TABLE);
        if (!table)
            state.SkipWithError("no table");
        benchmark::DoNotOptimize(table);
    }
}

// The core alone: every line of the poem counted and the totals made.
void BM_CountPoem(benchmark::State& state) {
    const int language = static_cast<int>(state.range(0));
    state.SetLabel(kLanguages[language]);
    const SyllableCounter counter = Counter(language);
    const auto paragraphs = SplitParagraphs(Poem(language).toStdString());
    for (auto _ : state) {
        PoemTally tally;
        tally.replace(0, 0, paragraphs, counter);
        benchmark::DoNotOptimize(tally.totals());
    }
}

// The poem box as the window has it: the counts follow its document and
// the margin paints beside it.
struct CountedBox {
    explicit CountedBox(int language) : counting(*box.document(), nullptr) {
        counting.setCounter(Counter(language));
        auto* layout = new QHBoxLayout(&frame);
        layout->addWidget(new SyllableMargin(box, counting, &frame));
        layout->addWidget(&box);
        frame.resize(520, 400);
        frame.show();
    }
    QWidget frame;
    QTextEdit box{&frame};
    PoemCounting counting;
};

// The poem put into the box, counted and painted, as opening it does.
// Range 3: the English poem without counts, the baseline.
void BM_OpenPoemInBox(benchmark::State& state) {
    const bool counting = state.range(0) < 3;
    const int language = counting ? static_cast<int>(state.range(0)) : 0;
    state.SetLabel(counting ? kLanguages[language] : "no counts");
    std::unique_ptr<CountedBox> counted;
    QTextEdit plain;
    QTextEdit* box = &plain;
    if (counting) {
        counted = std::make_unique<CountedBox>(language);
        box = &counted->box;
    } else {
        plain.resize(480, 400);
        plain.show();
    }
    const QString poem = Poem(language);
    for (auto _ : state) {
        box->setPlainText(poem);
        QApplication::processEvents();
    }
}

// One letter typed into the middle of the poem: its line counted again and
// the margin painted.
void BM_KeystrokeInPoem(benchmark::State& state) {
    const int language = static_cast<int>(state.range(0));
    state.SetLabel(kLanguages[language]);
    CountedBox counted(language);
    counted.box.setPlainText(Poem(language));
    QTextCursor cursor(counted.box.document()->findBlockByNumber(150));
    cursor.movePosition(QTextCursor::EndOfBlock);
    int round = 0;
    for (auto _ : state) {
        cursor.insertText(QString(QChar(u'a' + round++ % 26)));
        QApplication::processEvents();
    }
}

BENCHMARK(BM_LoadEnglishTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountPoem)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenPoemInBox)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeystrokeInPoem)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void PrintTargets(const bench::RunTimesReporter& reporter) {
    const auto millis = [&](const std::string& name) { return reporter.Last(name).real * 1e3; };
    std::printf("\n%-36s %10s %8s\n", "", "ms", "target");
    for (int language = 0; language < 3; ++language)
        for (const char* name : {"BM_CountPoem", "BM_OpenPoemInBox", "BM_KeystrokeInPoem"}) {
            const double ms = millis(std::string(name) + "/" + std::to_string(language));
            std::printf("%-26s %-9s %10.2f %6.0fms %s\n", name + 3, kLanguages[language], ms, 16.0,
                        ms <= 16.0 ? "met" : "MISSED");
        }
    std::printf("%-26s %-9s %10.2f\n", "OpenPoemInBox", "none", millis("BM_OpenPoemInBox/3"));
    std::printf("%-36s %10.2f\n", "reading the English table", millis("BM_LoadEnglishTable"));
}

} // namespace

int main(int argc, char** argv) {
    return stanzel::bench::RunWindowBenchmarks(argc, argv, PrintTargets);
}
