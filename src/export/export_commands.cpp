#include "export/export_commands.h"

#include "storage/poem_store.h"

namespace stanzel {

namespace {

ExportResult Save(const SaveChoice& choice, std::string_view document, ExportKind kind,
                  const std::filesystem::path& programDir, const ExportPrompts& prompts) {
    const auto written = SaveExportDocument(choice.file, choice.filterIndex, document, kind,
                                            programDir, prompts.confirmOverwrite);
    if (!written)
        return {ExportOutcome::OverwriteDeclined, {}};
    return {ExportOutcome::Written, *written};
}

} // namespace

ExportResult ExportPoem(const EditorPoem& poem, const ExportContext& context,
                        const std::filesystem::path& programDir, std::int32_t rememberedAtStart,
                        const ExportPrompts& prompts) {
    if (!CanExportPoem(poem))
        return {ExportOutcome::NotExportable, {}};
    const auto choice = prompts.chooseFile(ExportFilterEntries(context.labels),
                                           PreselectedFilterIndex(rememberedAtStart));
    if (!choice)
        return {ExportOutcome::DialogCancelled, {}};
    const auto format = FormatOfFilterIndex(choice->filterIndex);
    if (!format)
        return {ExportOutcome::UnknownFormat, {}};
    const std::string document = BuildPoemDocument(*format, poem, context);
    return Save(*choice, document, ExportKind::OnePoem, programDir, prompts);
}

ExportResult ExportCollection(const std::filesystem::path& programDir, const ExportContext& context,
                              std::int32_t rememberedAtStart, const ExportPrompts& prompts) {
    const auto choice = prompts.chooseFile(ExportFilterEntries(context.labels),
                                           PreselectedFilterIndex(rememberedAtStart));
    if (!choice)
        return {ExportOutcome::DialogCancelled, {}};
    const auto format = FormatOfFilterIndex(choice->filterIndex);
    if (!format)
        return {ExportOutcome::UnknownFormat, {}};
    const PoemStore store(programDir);
    const CollectionDocument document =
        BuildCollectionDocument(store, *format, context, prompts.progress);
    switch (document.outcome) {
    case CollectionDocument::Outcome::Empty:
        return {ExportOutcome::EmptyCollection, {}};
    case CollectionDocument::Outcome::Cancelled:
        return {ExportOutcome::ProgressCancelled, {}};
    case CollectionDocument::Outcome::Built:
        break;
    }
    return Save(*choice, document.bytes.view(), ExportKind::Collection, programDir, prompts);
}

} // namespace stanzel
