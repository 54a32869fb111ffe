// How the main window copes with a large collection: starting up (window
// creation and the start-up steps) with 100,000 poems against an empty
// collection, and one save (index rewritten, list refilled) among 100,000.

#include "collection_generator.h"
#include "mainwindow/main_window.h"
#include "mainwindow/poem_list_model.h"
#include "mainwindow/user_dialogs.h"

#include <QApplication>
#include <QLineEdit>
#include <QTextEdit>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>
#include <sys/resource.h>

namespace {

using stanzel::MainWindow;
using stanzel::UserDialogs;

class SilentDialogs : public UserDialogs {
public:
    void message(QWidget*, Icon, const QString&, const QString&) override {}
    bool question(QWidget*, const QString&, const QString&) override { return true; }
    void openUrl(const QUrl&) override {}
    std::optional<QString> inputText(QWidget*, const QString&, const QString&) override {
        return std::nullopt;
    }
    bool exec(QDialog&) override { return false; }
    std::optional<QColor> chooseColour(QWidget*, const QColor&) override { return std::nullopt; }
    void print(const stanzel::PrintedPoem&) override {}
    std::optional<SaveChoice> saveFile(QWidget*, const QStringList&, int) override {
        return std::nullopt;
    }
    std::unique_ptr<Progress> progress(QWidget*, const QString&) override { return nullptr; }
    std::optional<std::uint64_t> chooseDraft(QWidget*, const DraftListTexts&,
                                             const std::vector<DraftRow>&,
                                             const std::function<bool(std::uint64_t)>&) override {
        return std::nullopt;
    }
};

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

const std::filesystem::path& LargeCollection() {
    static const auto dir = [] {
        auto made = MakeDir("stanzel-bench-window-large");
        stanzel::bench::GenerateCollection(made, 100000, 7);
        return made;
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

void BM_StartWindowEmpty(benchmark::State& state) {
    StartWindow(state, EmptyCollection());
}
void BM_StartWindow100k(benchmark::State& state) {
    StartWindow(state, LargeCollection());
}

void BM_SaveAmong100k(benchmark::State& state) {
    SilentDialogs dialogs;
    MainWindow window(LargeCollection(), dialogs);
    window.show();
    QApplication::processEvents();
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

BENCHMARK(BM_StartWindowEmpty)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartWindow100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveAmong100k)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);
    return 0;
}
