#include "storage/poem_list_reader.h"
#include "storage/poem_store.h"
#include "test_dir.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace stanzel {
namespace {

using testing::TestDir;
using testing::WriteBytes;

std::vector<std::pair<std::string, std::string>> Rows(const PoemList& list) {
    std::vector<std::pair<std::string, std::string>> rows;
    for (const PoemListEntry& row : list)
        rows.emplace_back(row.id, row.title);
    return rows;
}

std::string ManyPoems(int count, std::size_t titleLength) {
    std::string index;
    for (int id = 1; id <= count; ++id)
        index += "[" + std::to_string(id) +
                 "]\r\ntitle=" + std::string(titleLength, static_cast<char>('a' + id % 26)) +
                 "\r\npoet=P\r\ndate=D\r\n";
    return index;
}

struct IndexCase {
    const char* name;
    std::string index;
};

class PoemListReaderTest : public ::testing::TestWithParam<IndexCase> {};

// Whatever the index holds, the list read beside the window is the list the
// store gives, taken in however many pieces.
TEST_P(PoemListReaderTest, GivesTheStoresList) {
    TestDir dir;
    WriteBytes(dir / "poems.dmp", GetParam().index);
    PoemList read;
    {
        PoemListReader reader(dir / "poems.dmp");
        reader.WaitForFirstRows();
        while (!reader.Take(read))
            reader.WaitForEnd();
    }
    EXPECT_EQ(Rows(read), Rows(PoemStore(dir.path()).ListPoems()));
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, PoemListReaderTest,
    ::testing::Values(
        IndexCase{"Empty", ""},
        IndexCase{
            "HandEdited",
            "\xEF\xBB\xBF; my poems\n[7]\ntitle = Seven \n[2]\npoet=Nobody\n"
            "[10]\r\nTITLE=\"Ten\"\r\n[7]\r\ntitle=Twin\r\n [x] \r\ntitle=[not a section]\r\n"},
        IndexCase{"MoreThanTheFirstRows", ManyPoems(5000, 30)},
        IndexCase{"TitlesLargerThanAPiece", ManyPoems(3, (1 << 20) + 7)}),
    [](const ::testing::TestParamInfo<IndexCase>& info) { return std::string(info.param.name); });

// A reader dropped while it reads (the window closed, or a save listed the
// index anew) stops and leaves nothing running.
TEST(PoemListReader, DroppedWhileReading) {
    TestDir dir;
    WriteBytes(dir / "poems.dmp", ManyPoems(50000, 40));
    for (int round = 0; round < 20; ++round) {
        PoemListReader reader(dir / "poems.dmp");
        if (round % 2 == 0)
            reader.WaitForFirstRows();
    }
    // Also one that waits after its first rows for the window to paint.
    for (int round = 0; round < 20; ++round) {
        PoemListReader reader(dir / "poems.dmp", PoemListReader::Rest::WaitForGoOn);
        if (round % 2 == 0)
            reader.WaitForFirstRows();
    }
    PoemListReader missing(dir / "nothing.dmp");
    missing.WaitForEnd();
    PoemList none;
    EXPECT_TRUE(missing.Take(none));
    EXPECT_TRUE(none.empty());
}

// A reading told to wait after its first rows reads no further until it may
// go on, and then reads the whole index; a command that needs the whole list
// is never left waiting for a go-ahead that does not come.
TEST(PoemListReader, WaitsAfterTheFirstRowsUntilItMayGoOn) {
    TestDir dir;
    WriteBytes(dir / "poems.dmp", ManyPoems(5000, 30));
    PoemListReader reader(dir / "poems.dmp", PoemListReader::Rest::WaitForGoOn);
    reader.WaitForFirstRows();
    PoemList read;
    EXPECT_FALSE(reader.Take(read));
    const std::size_t first = read.size();
    EXPECT_GT(first, 0u);
    EXPECT_LT(first, 5000u);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(reader.Take(read));
    EXPECT_EQ(read.size(), first);

    reader.GoOn();
    reader.WaitForEnd();
    EXPECT_TRUE(reader.Take(read));
    EXPECT_EQ(read.size(), 5000u);

    PoemListReader waited(dir / "poems.dmp", PoemListReader::Rest::WaitForGoOn);
    waited.WaitForEnd();
    PoemList whole;
    EXPECT_TRUE(waited.Take(whole));
    EXPECT_EQ(Rows(whole), Rows(read));
}

} // namespace
} // namespace stanzel
