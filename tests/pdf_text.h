#pragma once

// Reading a PDF back as a reader sees it, through poppler's pdftotext and
// pdfinfo (Debian package poppler-utils).

#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

namespace stanzel::testing {

inline bool HavePdfTools() {
    return !QStandardPaths::findExecutable("pdftotext").isEmpty() &&
           !QStandardPaths::findExecutable("pdfinfo").isEmpty();
}

// What a poppler tool prints for the PDF, or a failure.
inline QString RunPdfTool(const QString& tool, const QStringList& options,
                          const std::filesystem::path& pdf, bool toStandardOutput = true) {
    QProcess process;
    QStringList arguments = options;
    arguments << QString::fromStdString(pdf.string());
    if (toStandardOutput)
        arguments << "-";
    process.start(QStandardPaths::findExecutable(tool), arguments);
    EXPECT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// pdftotext's plain text of the whole document.
inline QString PdfText(const std::filesystem::path& pdf, const QStringList& options = {}) {
    return RunPdfTool("pdftotext", options, pdf);
}

// pdfinfo's fields: "Title", "Author", "Pages", "Page size"...
inline QMap<QString, QString> PdfInfo(const std::filesystem::path& pdf) {
    QMap<QString, QString> fields;
    for (const QString& line : RunPdfTool("pdfinfo", {}, pdf, false).split('\n')) {
        const auto colon = line.indexOf(':');
        if (colon > 0)
            fields[line.left(colon)] = line.mid(colon + 1).trimmed();
    }
    return fields;
}

// One word as pdftotext -bbox places it, in points from the page's top left.
struct PdfWord {
    int page = 0;
    double left = 0, top = 0, right = 0, bottom = 0;
    QString text;
};

inline std::vector<PdfWord> PdfWords(const std::filesystem::path& pdf) {
    static const QRegularExpression word(
        R"re(<word xMin="([-0-9.]+)" yMin="([-0-9.]+)" xMax="([-0-9.]+)" yMax="([-0-9.]+)">([^<]*)</word>)re");
    const QStringList pages = PdfText(pdf, {"-bbox"}).split("</page>");
    std::vector<PdfWord> words;
    for (int page = 0; page < pages.size(); ++page)
        for (auto match = word.globalMatch(pages[page]); match.hasNext();) {
            const auto found = match.next();
            words.push_back({page, found.captured(1).toDouble(), found.captured(2).toDouble(),
                             found.captured(3).toDouble(), found.captured(4).toDouble(),
                             found.captured(5)});
        }
    return words;
}

// The words that share a page and a top edge, as one printed row.
struct PdfRow {
    int page = 0;
    double left = 0, top = 0, right = 0, bottom = 0;
    QStringList words;
    QString text() const { return words.join(' '); }
};

inline std::vector<PdfRow> PdfRows(const std::vector<PdfWord>& words) {
    std::vector<PdfRow> rows;
    for (const PdfWord& word : words) {
        if (!rows.empty() && rows.back().page == word.page &&
            std::abs(rows.back().top - word.top) < 0.01) {
            PdfRow& row = rows.back();
            row.words << word.text;
            row.left = std::min(row.left, word.left);
            row.right = std::max(row.right, word.right);
            row.bottom = std::max(row.bottom, word.bottom);
        } else {
            rows.push_back({word.page, word.left, word.top, word.right, word.bottom, {word.text}});
        }
    }
    return rows;
}

inline QStringList Texts(const std::vector<PdfWord>& words) {
    QStringList texts;
    for (const PdfWord& word : words)
        texts << word.text;
    return texts;
}

} // namespace stanzel::testing
