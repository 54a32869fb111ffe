#include "export/export_commands.h"

#include "storage/poem_store.h"
#include "storage/storage_error.h"
#include "storage/text_lines.h"

namespace stanzel {

namespace {

// Only Export all is made with a progress dialog, so only it can be cancelled.
ExportResult Result(const SavedExport& saved) {
    switch (saved.outcome) {
    case SaveOutcome::Cancelled:
        return {ExportOutcome::ProgressCancelled, {}};
    case SaveOutcome::OverwriteDeclined:
        return {ExportOutcome::OverwriteDeclined, {}};
    case SaveOutcome::Written:
        break;
    }
    return {ExportOutcome::Written, saved.file};
}

// The save dialog and the format of the entry the user picked; otherwise the
// outcome that ends the command.
struct Chosen {
    std::optional<SaveChoice> choice;
    ExportFormat format = ExportFormat::Text;
    ExportOutcome failure = ExportOutcome::Written;
};

Chosen ChooseFile(const ExportContext& context, std::int32_t rememberedAtStart,
                  const ExportPrompts& prompts) {
    Chosen chosen;
    chosen.choice = prompts.chooseFile(ExportFilterEntries(context.labels),
                                       PreselectedFilterIndex(rememberedAtStart));
    if (!chosen.choice) {
        chosen.failure = ExportOutcome::DialogCancelled;
        return chosen;
    }
    const auto format = FormatOfFilterIndex(chosen.choice->filterIndex);
    if (!format) {
        chosen.choice.reset();
        chosen.failure = ExportOutcome::UnknownFormat;
        return chosen;
    }
    chosen.format = *format;
    return chosen;
}

} // namespace

ExportResult ExportPoem(const EditorPoem& poem, const ExportContext& context,
                        const std::filesystem::path& programDir, std::int32_t rememberedAtStart,
                        const ExportPrompts& prompts) {
    if (!CanExportPoem(poem))
        return {ExportOutcome::NotExportable, {}};
    // The limits of the editor and of Export all hold for one poem too.
    if (const auto why = TooLargeToShow(poem.text))
        throw StorageError("Cannot export the poem \"" + poem.title + "\". " + *why);
    const Chosen chosen = ChooseFile(context, rememberedAtStart, prompts);
    if (!chosen.choice)
        return {chosen.failure, {}};
    const std::string document = BuildPoemDocument(chosen.format, poem, context);
    const SavedExport saved = SaveExportDocument(
        chosen.choice->file, chosen.choice->filterIndex,
        [&](const auto& write) {
            write(document);
            return true;
        },
        ExportKind::OnePoem, programDir, prompts.confirmOverwrite);
    return Result(saved);
}

ExportResult ExportCollection(PoemStore& store, const std::filesystem::path& programDir,
                              const ExportContext& context,
                              std::int32_t rememberedAtStart, const ExportPrompts& prompts) {
    const Chosen chosen = ChooseFile(context, rememberedAtStart, prompts);
    if (!chosen.choice)
        return {chosen.failure, {}};
    const CollectionExport collection(store);
    if (collection.poems() == 0)
        return {ExportOutcome::EmptyCollection, {}};
    const SavedExport saved = SaveExportDocument(
        chosen.choice->file, chosen.choice->filterIndex,
        [&](const DocumentSink& write) {
            return collection.Write(chosen.format, context, prompts.progress, write);
        },
        ExportKind::Collection, programDir, prompts.confirmOverwrite);
    return Result(saved);
}

} // namespace stanzel
