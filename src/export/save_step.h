#pragma once

#include "export/export_document.h"
#include "storage/settings.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace stanzel {

// One entry of the save dialog's file-type list.
struct FilterEntry {
    ExportFormat format;
    std::string description; // "Text files (*.txt)"
    std::string pattern;     // "*.txt"
};

// The three entries in their fixed order, 1 text, 2 XHTML, 3 AbiWord, the
// first two described by the current texts of `txt` and `html`.
std::vector<FilterEntry> ExportFilterEntries(const ExportLabels& labels);

// The 1-based entry to preselect for the value remembered at start-up; 0, and
// anything else that names no entry, selects the first.
int PreselectedFilterIndex(std::int32_t remembered);

// The format of a 1-based entry; nothing for an index that names none.
std::optional<ExportFormat> FormatOfFilterIndex(int filterIndex);

// ".txt", ".html", ".abw".
std::string_view FileExtension(ExportFormat format);

enum class ExportKind { OnePoem, Collection };

// Where each dialog's choice is remembered: "Export" "one" or "Export" "all".
// Read once at start-up; later dialogs of the same run keep preselecting what
// was read then.
const IntegerSetting& RememberedFormatSetting(ExportKind kind);

struct ExportTarget {
    std::filesystem::path path; // where the document goes
    bool replacesFile = false;  // a file of that name exists: ask first, naming `path`
};

// The file the document is written to for the name the dialog returned: the
// name itself when a file of that name exists, otherwise the name with the
// extension appended, even when it ends with it already ("poem.txt" becomes
// "poem.txt.txt"). A file that the appended name would replace is asked about
// just the same, so no file is ever replaced unasked.
ExportTarget ResolveExportTarget(const std::filesystem::path& chosen, ExportFormat format);

// Writes the document in one piece, replacing any file of that name as a
// whole, so that a crash never leaves half an export. A file that may not be
// written (read-only) is refused rather than replaced. When no file can be
// made beside it (a folder the user may not write to) but the file itself
// may be written, it is emptied and written in place. Throws
// StorageError("Cannot create file "<path>". <reason>").
void WriteExportFile(const std::filesystem::path& path, std::string_view document);

// Shows the question whether `file` may be replaced; true for Yes.
using ConfirmOverwrite = std::function<bool(const std::filesystem::path& file)>;

// Makes a document, handing it to `write` piece by piece as it is made;
// false when the user cancelled on the way.
using DocumentMaker =
    std::function<bool(const std::function<void(std::string_view bytes)>& write)>;

enum class SaveOutcome { Written, OverwriteDeclined, Cancelled };

struct SavedExport {
    SaveOutcome outcome = SaveOutcome::Cancelled;
    std::filesystem::path file; // the file written
};

// The whole save step: resolves the target, has `make` write the document
// into a new file beside it, asks before replacing a file, then puts the
// document in place and remembers the entry, both or neither. The document
// is never held whole, except when no file can be made beside the target and
// the target itself must be written in place (after the question). After a
// cancel, a No or an error every file stays as it was. Errors as above.
SavedExport SaveExportDocument(const std::filesystem::path& chosen, int filterIndex,
                               const DocumentMaker& make, ExportKind kind,
                               const std::filesystem::path& programDir,
                               const ConfirmOverwrite& confirmOverwrite);

} // namespace stanzel
