// How the main window copes with a large collection: starting up (window
// creation and the start-up steps) with 100,000 poems (or --poems=N) against
// an empty collection, until the first rows show and until the whole list is
// read; one save (index rewritten, list refilled) and selecting the first,
// middle and last row among them.
//
//   main_window_bench [--poems=N] [--poem_size=realistic|short]
//                     [--collection_dir=DIR] [benchmark flags]

#include "bench_support.h"
#include "silent_dialogs.h"
#include "mainwindow/main_window.h"
#include "mainwindow/poem_list_model.h"
#include "mainwindow/user_dialogs.h"

#include <QApplication>
#include <QLineEdit>
#include <QTableView>
#include <QTextEdit>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <memory>

namespace {

using stanzel::MainWindow;
using stanzel::bench::SilentDialogs;


std::filesystem::path MakeDir(const char* name) {
    auto dir = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

const std::filesystem::path& EmptyCollection() {
    static const auto dir = MakeDir("stanzel-bench-window-empty");
    return dir;
}

stanzel::bench::CollectionOptions g_options;

const std::filesystem::path& LargeCollection() {
    static const auto dir = [] {
        std::filesystem::create_directories(g_options.dir);
        stanzel::bench::GenerateCollection(g_options.dir, g_options.poems, 7, g_options.size);
        return g_options.dir;
    }();
    return dir;
}

void StartWindow(benchmark::State& state, const std::filesystem::path& dir) {
    SilentDialogs dialogs;
    for (auto _ : state) {
        auto window = std::make_unique<MainWindow>(dir, dialogs);
        window->show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window->poemList().rowCount());
        // Only the start is timed, not taking the window down again.
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}

// Shows the window and waits until its list holds every poem.
void ShowWithWholeList(MainWindow& window) {
    window.show();
    QApplication::processEvents();
    while (window.poemList().readSome(std::size_t{1} << 30)) {
    }
}

void BM_StartWindowEmpty(benchmark::State& state) {
    StartWindow(state, EmptyCollection());
}
void BM_StartWindowLarge(benchmark::State& state) {
    StartWindow(state, LargeCollection());
}

// The window started and shown, until the list holds every poem: what the
// user waits for before the scroll bar reaches the last poem.
void BM_StartWindowWholeListLarge(benchmark::State& state) {
    SilentDialogs dialogs;
    for (auto _ : state) {
        auto window = std::make_unique<MainWindow>(LargeCollection(), dialogs);
        ShowWithWholeList(*window);
        benchmark::DoNotOptimize(window->poemList().rowCount());
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}

void BM_SaveAmongLarge(benchmark::State& state) {
    SilentDialogs dialogs;
    MainWindow window(LargeCollection(), dialogs);
    ShowWithWholeList(window);
    auto* title = window.titleEdit();
    auto* text = window.poemEdit();
    int round = 0;
    for (auto _ : state) {
        // A new poem the first time, then the same poem saved again.
        title->setText(QStringLiteral("Benchmark poem"));
        text->setPlainText(QStringLiteral("round %1\nof saving").arg(++round));
        window.savePoem();
    }
    state.counters["rows"] = window.poemList().rowCount();
}

// A row selected in the list, as a click or an arrow key does: its poem is
// loaded into the boxes.
void BM_SelectRowAmongLarge(benchmark::State& state) {
    SilentDialogs dialogs;
    MainWindow window(LargeCollection(), dialogs);
    ShowWithWholeList(window);
    const int rows = window.poemList().rowCount();
    const int row = state.range(0) == 0 ? 0 : state.range(0) == 1 ? rows / 2 : rows - 1;
    state.SetLabel(state.range(0) == 0 ? "first" : state.range(0) == 1 ? "middle" : "last");
    auto* view = window.poemListView();
    for (auto _ : state) {
        state.PauseTiming();
        view->clearSelection();
        state.ResumeTiming();
        view->selectRow(row);
        benchmark::DoNotOptimize(window.currentPoemId());
    }
}

BENCHMARK(BM_StartWindowEmpty)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartWindowLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartWindowWholeListLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveAmongLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectRowAmongLarge)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void PrintTargets(const stanzel::bench::RunTimesReporter& reporter, int poems) {
    const auto millis = [&](const std::string& name) { return reporter.Last(name).real * 1e3; };
    const bool million = poems > 100000;
    const double empty = millis("BM_StartWindowEmpty");
    const double large = millis("BM_StartWindowLarge");
    std::printf("\n%d poems %-20s %10s %10s %8s\n", poems, "", "ms", "ratio", "target");
    if (empty > 0 && large > 0) {
        const double target = million ? 2.0 : 1.2;
        std::printf("%-30s %10.1f\n", "start, empty collection", empty);
        std::printf("%-30s %10.1f %10.2f %7.1fx %s\n", "start, first rows shown", large,
                    large / empty, target, large / empty <= target ? "met" : "MISSED");
    }
    if (const double whole = millis("BM_StartWindowWholeListLarge"); whole > 0)
        std::printf("%-30s %10.1f %10.2f\n", "start, whole list read", whole,
                    empty > 0 ? whole / empty : 0.0);
    if (const double save = millis("BM_SaveAmongLarge"); save > 0)
        std::printf("%-30s %10.1f %10s %6.0fms %s\n", "save, list whole again", save, "", 50.0,
                    save <= 50.0 ? "met" : "MISSED");
    const double selectLimit = million ? 50.0 : 16.0;
    for (int row = 0; row < 3; ++row) {
        const double ms = millis("BM_SelectRowAmongLarge/" + std::to_string(row));
        if (ms <= 0)
            continue;
        const char* names[] = {"select first row", "select middle row", "select last row"};
        std::printf("%-30s %10.1f %10s %6.0fms %s\n", names[row], ms, "", selectLimit,
                    ms <= selectLimit ? "met" : "MISSED");
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto options = stanzel::bench::TakeFlags(argc, argv);
    if (!options)
        return 1;
    g_options = *options;
    std::printf("collection: %d %s poems in %s\n", g_options.poems,
                stanzel::bench::PoemSizeName(g_options.size), g_options.dir.c_str());
    stanzel::bench::RunTimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintTargets(reporter, g_options.poems);
    stanzel::bench::RemoveUnlessKept(g_options);
    std::printf("peak resident memory: %.1f MiB\n", stanzel::bench::PeakRssKiB() / 1024.0);
    return 0;
}
