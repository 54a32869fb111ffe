#include "printing/pdf_author.h"

#include <gtest/gtest.h>

namespace stanzel {
namespace {

// A small PDF as our toolkit writes one: the information dictionary first,
// a classic cross-reference table and a trailer naming it. Offsets are
// worked out as it is built.
std::string MakePdf(const std::string& info, const std::string& trailerExtra = "") {
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    const auto object = [&](const std::string& body) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
    };
    object(info);
    object("<<\n/Type /Catalog\n/Pages 3 0 R\n>>");
    object("<<\n/Type /Pages\n/Kids []\n/Count 0\n>>");
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 4\n0000000000 65535 f \n";
    for (const std::size_t offset : offsets) {
        char entry[32];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        pdf += entry;
    }
    pdf += "trailer\n<<\n/Size 4 \n/Info 1 0 R\n/Root 2 0 R\n" + trailerExtra + ">>\nstartxref\n" +
           std::to_string(xref) + " \n%%EOF\n";
    return pdf;
}

const std::string kInfo = "<<\n/Title (\\(Rain\\) >> <<)\n/Creator <FEFF0053>\n/Producer (Qt)\n>>";

// What the update says, read back the way a reader does: from the last
// startxref to its table, from there to the object.
struct Update {
    std::string object;  // from "N 0 obj" to "endobj"
    std::string trailer; // from "trailer" to "startxref"
};

Update ReadUpdate(const std::string& pdf) {
    const std::size_t startxref = pdf.rfind("startxref");
    const std::size_t table = std::stoul(pdf.substr(startxref + 10));
    EXPECT_EQ(pdf.compare(table, 5, "xref\n"), 0);
    const std::string entry = pdf.substr(pdf.find('\n', pdf.find('\n', table) + 1) + 1, 20);
    EXPECT_EQ(entry.substr(10), " 00000 n\r\n");
    const std::size_t object = std::stoul(entry.substr(0, 10));
    const std::size_t trailer = pdf.find("trailer", table);
    return {pdf.substr(object, pdf.find("endobj", object) + 6 - object),
            pdf.substr(trailer, startxref - trailer)};
}

TEST(PdfAuthor, AppendsAnInformationDictionaryWithTheOldEntriesAndTheAuthor) {
    const std::string original = MakePdf(kInfo, "/ID [<AB12> <CD34>]\n");
    const std::string updated = WithPdfAuthor(original, "Ady");
    ASSERT_GT(updated.size(), original.size());
    EXPECT_EQ(updated.substr(0, original.size()), original); // nothing before is touched

    const Update update = ReadUpdate(updated);
    EXPECT_TRUE(update.object.starts_with("4 0 obj\n<<\n/Author <FEFF004100640079>\n"))
        << update.object;
    // The old entries come along whole, even a title whose text holds ">>".
    EXPECT_NE(update.object.find("/Title (\\(Rain\\) >> <<)"), std::string::npos);
    EXPECT_NE(update.object.find("/Producer (Qt)\n>>\nendobj"), std::string::npos);
    EXPECT_NE(update.trailer.find("/Size 5\n"), std::string::npos);
    EXPECT_NE(update.trailer.find("/Root 2 0 R\n"), std::string::npos);
    EXPECT_NE(update.trailer.find("/Info 4 0 R\n"), std::string::npos);
    EXPECT_NE(update.trailer.find("/ID [<AB12> <CD34>]\n"), std::string::npos);
    const std::size_t previous = std::stoul(original.substr(original.rfind("startxref") + 10));
    EXPECT_NE(update.trailer.find("/Prev " + std::to_string(previous) + "\n"), std::string::npos);
    EXPECT_TRUE(updated.ends_with("%%EOF\n"));

    // A second author goes nowhere: the update's dictionary has one.
    EXPECT_EQ(WithPdfAuthor(updated, "Someone else"), updated);
}

TEST(PdfAuthor, WhatItDoesNotRecogniseComesBackUnchanged) {
    const std::string good = MakePdf(kInfo);
    const std::string cases[] = {
        "",
        "not a pdf at all",
        good.substr(0, good.size() / 2),                 // cut short
        MakePdf("<<\n/Title (Rain)\n/Author (Ady)\n>>"), // has an author
        MakePdf("<<\n/Title (unclosed\n>>"),             // damaged string
        MakePdf("[1 2 3]"),                              // no dictionary
        [&] {
            std::string s = good;
            s.replace(s.find("/Info 1 0 R"), 11, "/Info 9 0 R"); // names no listed object
            return s;
        }(),
        [&] {
            std::string s = good;
            s.replace(s.rfind("startxref") + 10, 1, "9"); // points elsewhere
            return s;
        }(),
        "%PDF-1.5\n1 0 obj\n<< /Type /XRef >>\nstream\nendstream\nendobj\nstartxref\n9\n%%EOF\n",
    };
    for (const std::string& pdf : cases) {
        SCOPED_TRACE(pdf.substr(0, 60));
        EXPECT_EQ(WithPdfAuthor(pdf, "Ady"), pdf);
    }
    EXPECT_EQ(WithPdfAuthor(good, ""), good);
}

TEST(PdfAuthor, TextStringIsUtf16WithItsByteOrderMark) {
    struct Case {
        const char* utf8;
        const char* hex;
    };
    const Case cases[] = {
        {"", "<FEFF>"},
        {"Ady", "<FEFF004100640079>"},
        {"\xC5\x91sz", "<FEFF01510073007A>"},   // ősz
        {"\xE2\x80\x9E", "<FEFF201E>"},         // „
        {"\xF0\x9D\x84\x9E", "<FEFFD834DD1E>"}, // 𝄞, beyond 16 bits
        {"a\xFF"
         "b",
         "<FEFF0061FFFD0062>"},                 // not UTF-8
        {"\xC0\xAF", "<FEFFFFFDFFFD>"},         // overlong
        {"\xED\xA0\x80", "<FEFFFFFDFFFDFFFD>"}, // a surrogate
        {"\xE2\x80", "<FEFFFFFDFFFD>"},         // cut short
    };
    for (const auto& c : cases)
        EXPECT_EQ(PdfTextString(c.utf8), c.hex) << c.utf8;
}

} // namespace
} // namespace stanzel
