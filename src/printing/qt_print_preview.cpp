#include "printing/qt_print_preview.h"

#include "printing/qt_print_surface.h"

#include <QPrinter>

namespace stanzel {

PoemPrintPreview::PoemPrintPreview(PrintedPoem poem, QWidget* parent)
    : poem_(std::move(poem)), printer_(DefaultPrinterOrAny()),
      dialog_(std::make_unique<QPrintPreviewDialog>(printer_.get(), parent)) {
    QObject::connect(dialog_.get(), &QPrintPreviewDialog::paintRequested, dialog_.get(),
                     [this](QPrinter* printer) {
                         try {
                             PrintOnPrinter(poem_, *printer);
                         } catch (...) {
                             failure_ = std::current_exception();
                         }
                     });
}

PoemPrintPreview::~PoemPrintPreview() = default;

void PoemPrintPreview::rethrowFailure() const {
    if (failure_)
        std::rethrow_exception(failure_);
}

} // namespace stanzel
