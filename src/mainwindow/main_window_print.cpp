// The main window's commands that put the poem on paper: Print, Print
// Preview and Export as PDF, all three through one page layout.
#include "localisation/interface_strings.h"
#include "mainwindow/main_window.h"
#include "mainwindow/qt_text.h"
#include "mainwindow/user_dialogs.h"
#include "printing/pdf_target.h"
#include "printing/qt_pdf_export.h"
#include "printing/qt_print_preview.h"
#include "printing/qt_print_surface.h"
#include "storage/ini_file.h"
#include "storage/settings.h"
#include "storage/storage_error.h"
#include "storage/text_lines.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTextEdit>

namespace stanzel {

void MainWindow::createPrintCommands() {
    MainWindowActions& a = actions_;
    a.exportPdf = addCommand("application-pdf", "export.svg", &MainWindow::exportPdf);
    a.printPreview = addCommand("document-print-preview", "print.svg", &MainWindow::previewPrint);
    menus_.file->insertAction(a.print, a.printPreview);
    // After Export all, before the separator that ends the exports.
    const QList<QAction*> fileItems = menus_.file->actions();
    menus_.file->insertAction(fileItems.at(fileItems.indexOf(a.exportAll) + 1), a.exportPdf);
}

PrintedPoem MainWindow::printedPoem() const {
    return {FromQ(titleEdit_->text()), SplitLines(FromQ(poemEdit_->toPlainText())),
            strings_["poet"],          FromQ(poetEdit_->text()),
            strings_["date"],          FromQ(dateEdit_->text())};
}

void MainWindow::printPoem() {
    const QString title = titleEdit_->text();
    if (title.isEmpty() || poemEdit_->toPlainText().isEmpty())
        return;
    if (!dialogs_.question(this, text("quest"),
                           ToQ(FormatTemplate(strings_["printmsg"], FromQ(title)))))
        return;
    dialogs_.print(printedPoem());
}

void MainWindow::previewPrint() {
    if (titleEdit_->text().isEmpty() || poemEdit_->toPlainText().isEmpty())
        return;
    PoemPrintPreview preview(printedPoem(), this);
    dialogs_.showPrintPreview(preview.dialog());
    preview.rethrowFailure();
}

void MainWindow::exportPdf() {
    if (titleEdit_->text().isEmpty() || poemEdit_->toPlainText().isEmpty())
        return;
    const PrintedPoem poem = printedPoem();
    IniFile settings(SettingsFile(collection_));
    const std::string folder = ReadSetting(settings, setting::pdfFolder);
    const auto chosen = dialogs_.saveFileIn(this, text("pdf") + QStringLiteral(" (*.pdf)"),
                                            ToQ(folder), ToQ(SuggestedPdfName(poem.title)));
    if (!chosen)
        return;
    const std::filesystem::path target = PdfTarget(QFile::encodeName(*chosen).toStdString());
    std::error_code ignored;
    if (std::filesystem::exists(target, ignored) &&
        !dialogs_.question(this, text("quest"),
                           ToQ(FormatTemplate(strings_["overwrite"],
                                              QFile::decodeName(target.c_str()).toStdString()))))
        return;
    ExportPoemAsPdf(poem, target, LocalePaperSize());

    const auto remembered = FolderToRemember(target);
    if (!remembered || *remembered == folder)
        return;
    try {
        WriteSetting(settings, setting::pdfFolder, *remembered);
    } catch (const StorageError&) {
        // A collection on a read-only disc: the PDF is written, and only the
        // next dialog opens somewhere else.
    }
}

} // namespace stanzel
