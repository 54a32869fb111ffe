// The main window's commands that take poems in and out: importing a
// dropped file, exporting one poem or all of them.
#include "export/export_commands.h"
#include "mainwindow/find_in_poems_panel.h"
#include "mainwindow/main_window.h"
#include "mainwindow/poem_list_model.h"
#include "mainwindow/qt_text.h"
#include "mainwindow/user_dialogs.h"
#include "printing/qt_print_surface.h"
#include "storage/storage_error.h"
#include "storage/text_import.h"
#include "storage/text_lines.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTextEdit>

namespace stanzel {

namespace {

QByteArray Resource(const char* name) {
    QFile file(QStringLiteral(":/abiword/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(std::string("The program's resource ") + name + " is missing.");
    return file.readAll();
}

} // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    std::vector<std::filesystem::path> paths;
    for (const QUrl& url : event->mimeData()->urls())
        paths.emplace_back(url.isLocalFile() ? QFile::encodeName(url.toLocalFile()).toStdString()
                                             : FromQ(url.toString()));
    event->acceptProposedAction();
    guarded([&] { importDroppedFiles(paths); });
}

bool MainWindow::isDropTarget(const QObject* object) const {
    return object == titleEdit_ || object == poetEdit_ || object == dateEdit_ ||
           object == searchEdit_ || object == poemEdit_->viewport() ||
           (findPanel_ && object == findPanel_->queryEdit());
}

bool MainWindow::takeFileDrag(QEvent* event) {
    // Files go to the import wherever they are dropped; text dragged from box
    // to box stays the boxes' own.
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!drag->mimeData()->hasUrls())
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!drop->mimeData()->hasUrls())
            return false;
        dropEvent(drop);
        return true;
    }
    default:
        return false;
    }
}

void MainWindow::importDroppedFiles(const std::vector<std::filesystem::path>& paths) {
    const DropImport dropped = ImportDroppedFiles(paths, [this](const std::string& name) {
        return dialogs_.question(this, text("import"),
                                 ToQ(FormatTemplate(strings_["warning4"], name)));
    });
    if (dropped.outcome == DropImport::Outcome::Refused)
        dialogs_.message(this, UserDialogs::Icon::Warning, text("import"),
                         ToQ(strings_[dropped.warningKey]));
    if (dropped.outcome != DropImport::Outcome::Imported)
        return;
    // What the editor could not show is not put in it.
    if (const auto why = TooLargeToShow(dropped.text))
        throw StorageError("Cannot import \"" + dropped.title + "\". " + *why);
    if (!keepDraft())
        return;
    currentPoemId_ = 0;
    highlightEditorPoem();
    searchEdit_->clear();
    poetEdit_->clear();
    dateEdit_->clear();
    poemEdit_->setPlainText(PoemToEditor(dropped.text));
    titleEdit_->setText(ToQ(dropped.title));
    searchEdit_->setText(ToQ(dropped.title));
    titleEdit_->setFocus();
}

// What the exports need of the window: the current texts and colours, the
// AbiWord frame, and the dialogs through which the user takes part.
struct MainWindow::ExportSetup {
    QByteArray frameStart = Resource("ABI_START");
    QByteArray frameEnd = Resource("ABI_END");
    ExportContext context;
    ExportPrompts prompts;
};

std::unique_ptr<MainWindow::ExportSetup> MainWindow::exportSetup() {
    auto setup = std::make_unique<ExportSetup>();
    setup->context.labels = {strings_["poet"], strings_["date"], strings_["poemslist"],
                             strings_["txt"], strings_["html"]};
    setup->context.colours = {colours_.poem, colours_.title, colours_.listBackground};
    setup->context.frame = {std::string_view(setup->frameStart.constData(),
                                             static_cast<std::size_t>(setup->frameStart.size())),
                            std::string_view(setup->frameEnd.constData(),
                                             static_cast<std::size_t>(setup->frameEnd.size()))};
    setup->prompts.chooseFile = [this](const std::vector<FilterEntry>& filters,
                                       int preselected) -> std::optional<SaveChoice> {
        QStringList names;
        for (const auto& filter : filters)
            names << ToQ(filter.description);
        const auto chosen = dialogs_.saveFile(this, names, preselected);
        if (!chosen)
            return std::nullopt;
        return SaveChoice{QFile::encodeName(chosen->file).toStdString(), chosen->filterIndex};
    };
    setup->prompts.confirmOverwrite = [this](const std::filesystem::path& file) {
        return dialogs_.question(
            this, text("quest"),
            ToQ(FormatTemplate(strings_["overwrite"],
                               QFile::decodeName(file.c_str()).toStdString())));
    };
    return setup;
}

void MainWindow::exportPoem() {
    const auto setup = exportSetup();
    const EditorPoem poem{FromQ(titleEdit_->text()), FromQ(poetEdit_->text()),
                          FromQ(dateEdit_->text()), EditorToPoem(poemEdit_->toPlainText()),
                          DisplayedLines(*poemEdit_->document())};
    ExportPoem(poem, setup->context, programDir(), exportOneType_, setup->prompts);
}

void MainWindow::exportAll() {
    auto setup = exportSetup();
    std::unique_ptr<UserDialogs::Progress> progress;
    setup->prompts.progress = [&](std::size_t done, std::size_t total) {
        if (!progress)
            progress = dialogs_.progress(this, actions_.exportAll->text().remove(QLatin1Char('&')));
        const bool goOn = !progress || progress->update(done, total);
        // Every poem is read: the window goes before the overwrite question
        // and the writing, which it has no part in.
        if (done == total)
            progress.reset();
        return goOn ? ProgressAnswer::Continue : ProgressAnswer::Cancel;
    };
    ExportCollection(store_, programDir(), setup->context, exportAllType_, setup->prompts);
}

} // namespace stanzel
