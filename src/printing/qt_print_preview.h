#pragma once

#include "printing/print_layout.h"

#include <QPrintPreviewDialog>
#include <exception>
#include <memory>

class QPrinter;

namespace stanzel {

// Qt's print preview of one poem, its pages drawn by the layout Print uses,
// on the printer Print uses (the default printer, at the resolution Qt picks
// for it). Its print button opens Qt's print dialog, where the user picks a
// printer, the copies and the pages, and prints the pages as shown.
class PoemPrintPreview {
public:
    PoemPrintPreview(PrintedPoem poem, QWidget* parent);
    PoemPrintPreview(const PoemPrintPreview&) = delete;
    PoemPrintPreview& operator=(const PoemPrintPreview&) = delete;
    ~PoemPrintPreview();

    QPrintPreviewDialog& dialog() { return *dialog_; }
    // Throws what drawing the pages met (a printer that failed), once the
    // dialog is closed: Qt's signal could not carry it.
    void rethrowFailure() const;

private:
    PrintedPoem poem_;
    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QPrintPreviewDialog> dialog_; // after the printer it shows
    std::exception_ptr failure_;
};

} // namespace stanzel
