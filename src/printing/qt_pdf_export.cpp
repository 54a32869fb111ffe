#include "printing/qt_pdf_export.h"

#include "export/save_step.h"
#include "printing/pdf_author.h"
#include "printing/qt_print_surface.h"
#include "storage/atomic_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <langinfo.h>

namespace stanzel {

QPageSize LocalePaperSize() {
#ifdef _NL_PAPER_WIDTH
    // glibc hands these numbers out in place of a string's address; the
    // number is the address's first bytes, as in glibc's own union.
    const auto number = [](nl_item item) {
        const char* answer = nl_langinfo(item);
        unsigned value = 0;
        std::memcpy(&value, &answer, sizeof value);
        return static_cast<int>(value);
    };
    return PaperOfSize(number(_NL_PAPER_WIDTH), number(_NL_PAPER_HEIGHT));
#else
    return QPageSize(QPageSize::A4);
#endif
}

QPageSize PaperOfSize(int widthMillimetres, int heightMillimetres) {
    // No paper is wider than a metre and a half, nor tall as two (A0 is
    // 841 x 1189): anything else is no answer.
    if (widthMillimetres <= 0 || heightMillimetres <= 0 || widthMillimetres > 1500 ||
        heightMillimetres > 2000)
        return QPageSize(QPageSize::A4);
    return QPageSize(QSizeF(widthMillimetres, heightMillimetres), QPageSize::Millimeter, QString(),
                     QPageSize::FuzzyMatch);
}

void ExportPoemAsPdf(const PrintedPoem& poem, const std::filesystem::path& target,
                     const QPageSize& paper) {
    // The printer writes a file of its own; the document reaches the
    // user's file in one piece, with its author, or not at all.
    const QTemporaryDir scratch;
    if (!scratch.isValid())
        throw PrintError("The PDF could not be made: " + scratch.errorString().toStdString());
    const QString made = scratch.filePath(QStringLiteral("poem.pdf"));
    PrintToPdf(poem, made, paper);
    FileContents pdf = ReadWholeFile(std::filesystem::path(QFile::encodeName(made).toStdString()));
    if (pdf.error)
        throw PrintError("The PDF could not be made: " + DescribeError(pdf.error));
    WriteExportFile(target, WithPdfAuthor(std::move(pdf.bytes), poem.poet));
}

} // namespace stanzel
