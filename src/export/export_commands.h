#pragma once

// The Export and Export all commands from start to end, with the user's part
// (the save dialog, the overwrite question, the progress display) left to the
// window through callbacks. Errors are StorageError, for the window's
// top-level handler to show.

#include "export/collection_export.h"
#include "export/export_document.h"
#include "export/save_step.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace stanzel {

class PoemStore;

struct SaveChoice {
    std::filesystem::path file; // exactly as picked or typed, no extension added
    int filterIndex = 0;        // 1-based entry of the file-type list chosen
};

struct ExportPrompts {
    // The modal save dialog with its file-type list and the 1-based entry to
    // preselect; nothing when the user cancels. No title, default name,
    // folder or extension is set, and the dialog does not ask about
    // existing files itself: the save step does.
    std::function<std::optional<SaveChoice>(const std::vector<FilterEntry>& filters,
                                            int preselected)>
        chooseFile;
    // The overwrite question: interface string `overwrite` with the file's
    // full path, caption `quest`, Yes and No.
    ConfirmOverwrite confirmOverwrite;
    // Export all only, and optional: progress while the poems are read, with
    // the chance to cancel.
    ExportProgress progress;
};

enum class ExportOutcome {
    Written,
    NotExportable, // no title or no text: no dialog was shown
    DialogCancelled,
    UnknownFormat,     // the dialog returned an entry that names no format
    EmptyCollection,   // nothing to export: no question, no file, no setting
    ProgressCancelled, // cancelled while the poems were read
    OverwriteDeclined, // No to the overwrite question
};

struct ExportResult {
    ExportOutcome outcome = ExportOutcome::DialogCancelled;
    std::filesystem::path file; // the file written
};

// File > Export. `rememberedAtStart` is "Export" "one" as read at start-up.
ExportResult ExportPoem(const EditorPoem& poem, const ExportContext& context,
                        const std::filesystem::path& programDir, std::int32_t rememberedAtStart,
                        const ExportPrompts& prompts);

// File > Export all of the collection `store` holds. `rememberedAtStart` is
// "Export" "all" as read at start-up.
ExportResult ExportCollection(PoemStore& store, const std::filesystem::path& programDir,
                              const ExportContext& context,
                              std::int32_t rememberedAtStart, const ExportPrompts& prompts);

} // namespace stanzel
