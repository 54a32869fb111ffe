// Runs the programs the exported files are meant for over what the exporters
// write: xmllint validates the pages against the XHTML 1.1 DTD, offline, and
// AbiWord opens each document and converts it back to plain text.

#include "export/collection_export.h"
#include "export/save_step.h"
#include "export_test_support.h"
#include "storage/poem_store.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace stanzel {
namespace {

using testing::EnglishContext;
using testing::ReadBytes;
using testing::TestDir;

struct CommandRun {
    int status = -1;
    std::string output; // standard output and error together
};

CommandRun RunCommand(const std::string& command) {
    CommandRun run;
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return run;
    std::array<char, 4096> buffer{};
    std::size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        run.output.append(buffer.data(), got);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

bool HaveProgram(const char* name) {
    return RunCommand(std::string("command -v ") + name).status == 0;
}

std::string Quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

struct Poem {
    std::string title, poet, date, text;
};

// Accented letters, markup characters, an empty poem and a poem without a
// final line break.
const std::vector<Poem>& Poems() {
    static const std::vector<Poem> poems{
        {"Őszi éjszaka", "Ady Endre", "1906. ősz", "Fűzfa ring a szélben,\r\nőszi köd & dér\r\n"},
        {"Tom & Jerry <1>", "A & B \"C\"", "<1999>", "x < y > z\r\n\r\nno final break"},
        {"Üres", "Senki", "", ""},
        {"Straße", "Else Lasker-Schüler", "1910", "Mädchen über\r\nłąka, źródło; мир\r\n"},
    };
    return poems;
}

class ExternalValidatorsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(dir / "poems");
        PoemStore store(dir.path());
        for (const Poem& poem : Poems())
            store.SavePoem(0, poem.title, poem.poet, poem.date, poem.text);
    }

    std::filesystem::path exportAll(ExportFormat format, std::string_view name) {
        PoemStore reread(dir.path());
        const auto document = BuildCollectionDocument(reread, format, context);
        EXPECT_EQ(document.outcome, CollectionDocument::Outcome::Built);
        const auto path = dir / name;
        WriteExportFile(path, document.bytes.view());
        return path;
    }

    std::vector<std::filesystem::path> exportEach(ExportFormat format) {
        std::vector<std::filesystem::path> paths;
        for (std::size_t i = 0; i < Poems().size(); ++i) {
            const Poem& source = Poems()[i];
            EditorPoem poem{source.title, source.poet, source.date, source.text, {}};
            if (!CanExportPoem(poem))
                continue;
            paths.push_back(dir /
                            ("poem" + std::to_string(i + 1) + std::string(FileExtension(format))));
            WriteExportFile(paths.back(), BuildPoemDocument(format, poem, context));
        }
        return paths;
    }

    // What AbiWord's text conversion gives back: one line per paragraph.
    static std::string ParagraphTexts(const Poem& poem, bool collection) {
        std::vector<std::string> lines{poem.title, "", ""};
        std::size_t start = 0;
        const std::string& text = poem.text;
        while (start < text.size()) {
            const auto end = text.find("\r\n", start);
            lines.push_back(text.substr(start, end - start));
            start = end == std::string::npos ? text.size() : end + 2;
        }
        lines.insert(lines.end(), {"", "", "Poet: " + poem.poet, "Date of writing: " + poem.date});
        if (collection)
            lines.insert(lines.end(), {"", "", "", ""});
        std::string joined;
        for (const std::string& line : lines)
            joined += line + "\n";
        return joined;
    }

    TestDir dir;
    ExportContext context = EnglishContext();
};

TEST_F(ExternalValidatorsTest, XhtmlPagesAreValidXhtml11) {
    if (!HaveProgram("xmllint"))
        GTEST_SKIP() << "xmllint is not installed (Debian package libxml2-utils)";
    if (RunCommand("xmlcatalog /etc/xml/catalog '-//W3C//DTD XHTML 1.1//EN'").status != 0)
        GTEST_SKIP() << "the XHTML 1.1 DTD is not in the XML catalog (Debian package "
                        "w3c-sgml-lib)";

    auto pages = exportEach(ExportFormat::Xhtml);
    pages.push_back(exportAll(ExportFormat::Xhtml, "all.html"));
    for (const auto& page : pages) {
        const CommandRun run = RunCommand("xmllint --valid --noout --nonet " + Quoted(page));
        EXPECT_EQ(run.status, 0) << page << "\n" << run.output;
        EXPECT_EQ(run.output, "") << page;
    }
}

TEST_F(ExternalValidatorsTest, AbiWordOpensEveryDocument) {
    if (!HaveProgram("abiword"))
        GTEST_SKIP() << "AbiWord is not installed (Debian package abiword)";

    std::vector<std::pair<std::filesystem::path, std::string>> documents;
    const auto each = exportEach(ExportFormat::AbiWord);
    std::size_t next = 0;
    std::string whole;
    for (const Poem& poem : Poems()) {
        if (!poem.text.empty())
            documents.emplace_back(each[next++], ParagraphTexts(poem, false));
        whole += ParagraphTexts(poem, true);
    }
    documents.emplace_back(exportAll(ExportFormat::AbiWord, "all.abw"), whole);

    // AbiWord keeps its profile under HOME; a fresh one per run keeps the
    // user's own out of it and it out of the user's.
    TestDir home;
    const bool headless = std::getenv("DISPLAY") == nullptr;
    for (const auto& [document, expected] : documents) {
        if (HaveProgram("xmllint")) {
            const CommandRun wellFormed = RunCommand("xmllint --noout --nonet " + Quoted(document));
            EXPECT_EQ(wellFormed.status, 0) << document << "\n" << wellFormed.output;
        }
        const auto text = document.string() + ".txt";
        const std::string convert = "HOME=" + Quoted(home.path()) +
                                    " abiword --to=txt --to-name=" + Quoted(text) + " " +
                                    Quoted(document);
        CommandRun run = RunCommand(convert);
        if (run.status != 0 && headless && HaveProgram("xvfb-run"))
            run = RunCommand("HOME=" + Quoted(home.path()) +
                             " xvfb-run -a abiword --to=txt "
                             "--to-name=" +
                             Quoted(text) + " " + Quoted(document));
        ASSERT_EQ(run.status, 0) << document << "\n" << run.output;
        std::string back = ReadBytes(text);
        // The conversion drops the break after the last paragraph.
        EXPECT_EQ(back + "\n", expected) << document;
    }
}

} // namespace
} // namespace stanzel
