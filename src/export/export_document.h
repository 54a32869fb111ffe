#pragma once

#include "storage/colour.h"

#include <string>
#include <string_view>
#include <vector>

namespace stanzel {

// The three formats, numbered as their entries stand in the save dialog.
enum class ExportFormat { Text = 1, Xhtml = 2, AbiWord = 3 };

// Interface texts that the documents and the save dialog show, in the language
// of the moment; the window passes its current texts.
struct ExportLabels {
    std::string poet;          // `poet`, "Poet:"
    std::string date;          // `date`, "Date of writing:"
    std::string poemsList;     // `poemslist`, "Poems": heading of the collection's index
    std::string textFiles;     // `txt`, "Text files": first entry of the dialog's filter
    std::string htmlDocuments; // `html`, "Html Documents": second entry
};

// Background colours of the window at the moment of the export.
struct ExportColours {
    Colour text = kBoxColour;  // the poem text box
    Colour title = kBoxColour; // the title box
    Colour list = kBoxColour;  // the poem list (collection index only)
};

// The blocks that open and close every AbiWord document, as embedded in the
// program: ASCII, lines separated by LF, no break after the last line.
struct AbiWordFrame {
    std::string_view start;
    std::string_view end;
};

struct ExportContext {
    ExportLabels labels;
    ExportColours colours;
    AbiWordFrame frame;
};

// The poem as the editor holds it when the command runs, saved or not.
struct EditorPoem {
    std::string title;
    std::string poet;
    std::string date;
    std::string text; // lines separated by CR LF; a final CR LF only when typed
    // The editor's displayed rows, a wrapped line giving several. Used by the
    // AbiWord format only; when empty, the text's own lines stand in.
    std::vector<std::string> editorLines;
};

// Export refuses a poem without a title or without text, saying nothing.
bool CanExportPoem(const EditorPoem& poem);

// The finished file, every line ended by CR LF. Text is written byte for byte;
// the XHTML and AbiWord documents are UTF-8 with markup characters escaped
// (see markup_text.h).
std::string BuildPoemDocument(ExportFormat format, const EditorPoem& poem,
                              const ExportContext& context);

// The name and version the pages carry.
inline constexpr std::string_view kExportProductName = "Stanzel v0.1 Beta";

} // namespace stanzel
