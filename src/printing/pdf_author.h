#pragma once

#include <string>
#include <string_view>

namespace stanzel {

// `pdf` with `author` in its document information, where readers show it
// beside the title. The toolkit that writes our PDFs sets the title but has
// no author, so the author goes in as an incremental update appended at the
// end: a new information dictionary (the old one's entries and the author)
// and a cross-reference section and trailer that point to it. The bytes
// before stay as they were. A PDF this does not recognise (a
// cross-reference stream, no information dictionary, an author already
// there, a damaged file) comes back unchanged, as does an empty author.
std::string WithPdfAuthor(std::string pdf, std::string_view author);

// A PDF text string for `utf8`: UTF-16BE with its byte-order mark, in hex,
// "<FEFF...>". A byte that is not UTF-8 stands as U+FFFD.
std::string PdfTextString(std::string_view utf8);

} // namespace stanzel
