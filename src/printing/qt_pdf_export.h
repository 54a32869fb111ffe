#pragma once

#include "printing/print_layout.h"

#include <QPageSize>
#include <filesystem>

namespace stanzel {

// The paper of the user's locale (LC_PAPER): A4 in most of the world, Letter
// in North America. A4 where the locale says nothing usable.
QPageSize LocalePaperSize();

// The standard paper nearest to a size in millimetres, or that size itself
// when no standard one is near; A4 for a size that is none.
QPageSize PaperOfSize(int widthMillimetres, int heightMillimetres);

// Writes the poem as a PDF document at `target`, laid out as Print lays it
// out, on `paper`: the title as the document's title and the poet as its
// author. The file is replaced whole or not at all. Throws PrintError when
// the page cannot be made and StorageError when the file cannot be written.
void ExportPoemAsPdf(const PrintedPoem& poem, const std::filesystem::path& target,
                     const QPageSize& paper);

} // namespace stanzel
