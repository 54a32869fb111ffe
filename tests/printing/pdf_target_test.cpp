#include "printing/pdf_target.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

TEST(PdfTarget, AppendsTheExtensionUnlessTheNameHasIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"/home/a/rain", "/home/a/rain.pdf"},         {"/home/a/rain.pdf", "/home/a/rain.pdf"},
        {"/home/a/rain.PDF", "/home/a/rain.PDF"},     {"/home/a/rain.Pdf", "/home/a/rain.Pdf"},
        {"/home/a/rain.txt", "/home/a/rain.txt.pdf"}, {"/home/a/.pdf", "/home/a/.pdf.pdf"},
        {"/home/a.pdf/rain", "/home/a.pdf/rain.pdf"},
    };
    for (const auto& [chosen, target] : cases)
        EXPECT_EQ(PdfTarget(chosen), std::filesystem::path(target)) << chosen;
}

TEST(PdfTarget, SuggestedNameIsTheTitleAsAFileName) {
    EXPECT_EQ(SuggestedPdfName("Autumn Rain"), "Autumn Rain.pdf");
    EXPECT_EQ(SuggestedPdfName("\xC5\x90sz"), "\xC5\x90sz.pdf");
    EXPECT_EQ(SuggestedPdfName("Day/Night"), "Day_Night.pdf");
    EXPECT_EQ(SuggestedPdfName(std::string_view("a\0b", 3)), "a_b.pdf");
    EXPECT_EQ(SuggestedPdfName(".."), "poem.pdf");
    EXPECT_EQ(SuggestedPdfName(""), "poem.pdf");
}

TEST(PdfTarget, OnlyAFolderTheSettingsFileGivesBackWholeIsRemembered) {
    EXPECT_EQ(FolderToRemember("/home/a/poems/rain.pdf"), "/home/a/poems");
    EXPECT_EQ(FolderToRemember("/home/a/two\nlines/rain.pdf"), std::nullopt);
    EXPECT_EQ(FolderToRemember("/home/a/cr\rhere/rain.pdf"), std::nullopt);
    EXPECT_EQ(FolderToRemember("/" + std::string(2046, 'f') + "/rain.pdf")->size(), 2047u);
    EXPECT_EQ(FolderToRemember("/" + std::string(2047, 'f') + "/rain.pdf"), std::nullopt);
    EXPECT_EQ(FolderToRemember("rain.pdf"), std::nullopt);
}

} // namespace
} // namespace stanzel
