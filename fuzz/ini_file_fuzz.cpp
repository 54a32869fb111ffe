// Feeds arbitrary bytes to IniFile as a profile file, reads it, writes to it
// and checks after every write that what was written reads back and that
// nothing else changed. Any broken promise aborts with a description.

#include "storage/ini_file.h"
#include "storage/number_text.h"
// Sections listed as the tests list them.
#include "../tests/storage/section_names.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <fuzzer/FuzzedDataProvider.h>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using stanzel::IniFile;
using stanzel::ProfileText;

// ReadText may cut a value to this length, as the Windows profile service did.
constexpr std::size_t kMaxValueLength = 2047;
// Whole lists of sections are compared only up to this many bytes of names
// (each name and a terminator, plus a final terminator), so that a run stays
// quick.
constexpr std::size_t kMaxListBytes = 16384;
constexpr std::string_view kMissing = "\x01missing\x01";

// Each fuzzing process (libFuzzer's -jobs/-workers start several) keeps its
// file in its own directory.
const fs::path& WorkDir() {
    static const fs::path dir = [] {
        fs::path made =
            fs::temp_directory_path() / ("stanzel-ini-fuzz-" + std::to_string(getpid()));
        fs::create_directories(made);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(WorkDir(), ignored);
        });
        return made;
    }();
    return dir;
}

std::string Escaped(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text.substr(0, 300)) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    if (text.size() > 300)
        out += "...(" + std::to_string(text.size()) + " bytes)";
    return out + "\"";
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "\nini_file_fuzz: invariant broken: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

void Check(bool ok, const std::string& what) {
    if (!ok)
        Fail(what);
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

std::string FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void PutFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        Fail("cannot write the input file " + path.string());
}

// Whether the table of names finds the section, in the text as the file holds it.
bool SectionExists(const IniFile& ini, std::string_view name) {
    return ProfileText(ini.Contents()).find(name).has_value();
}

bool ListFits(const std::vector<std::string>& names) {
    std::size_t bytes = 1;
    for (const auto& name : names)
        bytes += name.size() + 1;
    return bytes <= kMaxListBytes;
}

std::string ListText(const std::vector<std::string>& names) {
    std::string text = "[";
    for (const auto& name : names)
        text += Escaped(name) + " ";
    return text + "]";
}

// Keys that the file's own lines hold, so that reads hit entries.
std::vector<std::string> KeysOf(std::string_view bytes) {
    std::vector<std::string> keys{"title", "poet", "date", "current", "autoid"};
    std::size_t start = 0;
    while (start < bytes.size() && keys.size() < 24) {
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = bytes.size();
        std::string_view line = bytes.substr(start, end - start);
        if (const auto equals = line.find('='); equals != std::string_view::npos) {
            std::string_view key = line.substr(0, equals);
            while (!key.empty() && (key.front() == ' ' || key.front() == '\t'))
                key.remove_prefix(1);
            while (!key.empty() && (key.back() == ' ' || key.back() == '\t'))
                key.remove_suffix(1);
            if (!key.empty())
                keys.emplace_back(key);
        }
        start = end + 1;
    }
    return keys;
}

struct Reading {
    std::string section;
    std::string key;
    std::string value;
};

// Every value of the listed sections under the known keys, read through a
// fresh object so that it comes from the file itself.
std::vector<Reading> Snapshot(const fs::path& path, const std::vector<std::string>& keys) {
    IniFile fresh(path);
    std::vector<Reading> readings;
    const auto sections = stanzel::testing::SectionNames(fresh);
    for (std::size_t s = 0; s < sections.size() && s < 24; ++s) {
        for (const auto& key : keys)
            readings.push_back({sections[s], key, fresh.ReadText(sections[s], key, kMissing)});
    }
    return readings;
}

// Reads that a write to `section` (and `key`, when given) must not disturb.
void CheckUnchanged(const fs::path& path, const std::vector<Reading>& before,
                    std::string_view section, const std::string* key, const std::string& action) {
    IniFile fresh(path);
    for (const auto& reading : before) {
        if (SameName(reading.section, section) && (key == nullptr || SameName(reading.key, *key)))
            continue;
        const std::string now = fresh.ReadText(reading.section, reading.key, kMissing);
        Check(now == reading.value, action + " changed [" + Escaped(reading.section) + "] " +
                                        Escaped(reading.key) + ": was " + Escaped(reading.value) +
                                        ", now " + Escaped(now));
    }
}

// What a written value reads back as: a value is one line, so line breaks and
// NULs become blanks.
std::string Stored(std::string_view value) {
    std::string stored(value);
    for (char& c : stored) {
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    }
    return stored;
}

bool ReadsBackAs(const std::string& got, const std::string& expected) {
    return got == expected ||
           (expected.size() > kMaxValueLength && got == expected.substr(0, kMaxValueLength));
}

void CheckReads(const IniFile& ini, const fs::path& path, const std::vector<std::string>& keys) {
    const auto names = stanzel::testing::SectionNames(ini);
    for (std::size_t i = 0; i < names.size(); ++i) {
        Check(SectionExists(ini, names[i]),
              "listed section " + Escaped(names[i]) + " does not exist by SectionExists");
        for (std::size_t j = 0; j < i; ++j)
            Check(!SameName(names[i], names[j]),
                  "section listed twice: " + Escaped(names[i]) + " and " + Escaped(names[j]));
    }
    IniFile fresh(path);
    Check(stanzel::testing::SectionNames(fresh) == names,
          "a fresh object lists other sections: " +
              ListText(stanzel::testing::SectionNames(fresh)) + " against " + ListText(names));
    Check(fresh.Contents() == FileBytes(path), "Contents() differs from the file");
    // The text kept and edited in memory is the file the writes made.
    Check(ini.Contents() == FileBytes(path), "the kept text differs from the file");
    for (std::size_t s = 0; s < names.size() && s < 24; ++s) {
        for (const auto& key : keys) {
            const std::string text = ini.ReadText(names[s], key, kMissing);
            Check(text.find_first_of("\r\n") == std::string::npos,
                  "a value read holds a line break: " + Escaped(text));
            Check(fresh.ReadText(names[s], key, kMissing) == text,
                  "a fresh object reads another value for [" + Escaped(names[s]) + "] " +
                      Escaped(key));
            const auto number = stanzel::ParseInt32(ini.ReadText(names[s], key, ""));
            const std::int32_t read = ini.ReadNumber(names[s], key, -7);
            Check(read == number.value_or(-7),
                  "ReadNumber of " + Escaped(text) + " gave " + std::to_string(read));
        }
    }
}

// A name from the file, the same in other letter case, or any bytes.
std::string PickName(FuzzedDataProvider& data, const std::vector<std::string>& known) {
    int choice = data.ConsumeIntegralInRange(0, 3);
    if (choice <= 1 && known.empty())
        choice = 2;
    if (choice <= 1) {
        std::string name = known[data.ConsumeIntegralInRange<std::size_t>(0, known.size() - 1)];
        if (choice == 1) {
            for (char& c : name)
                c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : Lower(c);
        }
        return name;
    }
    if (choice == 2)
        return "New" + std::to_string(data.ConsumeIntegral<std::uint8_t>());
    return data.ConsumeRandomLengthString(24);
}

std::string PickValue(FuzzedDataProvider& data) {
    std::string value = data.ConsumeRandomLengthString(3000);
    switch (data.ConsumeIntegralInRange(0, 6)) {
    case 0:
        return value;
    case 1:
        return " " + value + "\t";
    case 2:
        return "\"" + value + "\"";
    case 3:
        return "'" + value + "'";
    case 4:
        return value + "\r\n" + value;
    case 5:
        return std::string("a\0b\rc\nd", 7) + value;
    default:
        return "\"" + value + " ";
    }
}

void Write(IniFile& ini, const fs::path& path, const std::vector<std::string>& keys,
           FuzzedDataProvider& data, bool asNumber) {
    const std::string section = PickName(data, stanzel::testing::SectionNames(ini));
    const std::string key = PickName(data, keys);
    const std::string value = PickValue(data);
    const std::int32_t number = data.ConsumeIntegral<std::int32_t>();

    const std::string before = FileBytes(path);
    const auto listBefore = stanzel::testing::SectionNames(ini);
    const bool existed = SectionExists(ini, section);
    const auto readings = Snapshot(path, keys);
    const std::string action = std::string(asNumber ? "WriteNumber" : "WriteText") + " of [" +
                               Escaped(section) + "] " + Escaped(key) + "=" +
                               (asNumber ? std::to_string(number) : Escaped(value));
    try {
        if (asNumber)
            ini.WriteNumber(section, key, number);
        else
            ini.WriteText(section, key, value);
    } catch (const std::exception&) {
        // A write that is refused must leave the file as it was.
        Check(FileBytes(path) == before, action + " threw but changed the file");
        return;
    }

    const IniFile fresh(path);
    for (const IniFile* reader : {static_cast<const IniFile*>(&ini), &fresh}) {
        const std::string got = reader->ReadText(section, key, kMissing);
        if (asNumber) {
            Check(reader->ReadNumber(section, key, number ^ 1) == number,
                  action + " reads back as " + Escaped(got));
        } else {
            Check(ReadsBackAs(got, Stored(value)), action + " reads back as " + Escaped(got));
        }
        Check(SectionExists(*reader, section), action + ": the section does not exist afterwards");
    }

    auto expectedList = listBefore;
    if (!existed) {
        expectedList.push_back(section);
        Check(std::string_view(FileBytes(path)).starts_with(before),
              action + " to a new section did not keep the file's bytes before it");
    }
    const auto listAfter = stanzel::testing::SectionNames(fresh);
    if (ListFits(expectedList))
        Check(listAfter == expectedList, action + " left the sections " + ListText(listAfter) +
                                             ", expected " + ListText(expectedList));
    CheckUnchanged(path, readings, section, &key, action);
}

void WriteTwo(IniFile& ini, const fs::path& path, const std::vector<std::string>& keys,
              FuzzedDataProvider& data) {
    const std::string section = PickName(data, stanzel::testing::SectionNames(ini));
    const std::string key1 = PickName(data, keys);
    const std::string key2 = PickName(data, keys);
    if (SameName(key1, key2))
        return;
    const std::string value1 = PickValue(data);
    const std::string value2 = PickValue(data);
    const std::string before = FileBytes(path);
    const auto readings = Snapshot(path, keys);
    const std::string action = "WriteTexts of [" + Escaped(section) + "] " + Escaped(key1) + "=" +
                               Escaped(value1) + ", " + Escaped(key2) + "=" + Escaped(value2);
    try {
        ini.WriteTexts(section, {{key1, value1}, {key2, value2}});
    } catch (const std::exception&) {
        Check(FileBytes(path) == before, action + " threw but changed the file");
        return;
    }
    const IniFile fresh(path);
    for (const IniFile* reader : {static_cast<const IniFile*>(&ini), &fresh}) {
        const std::string got1 = reader->ReadText(section, key1, kMissing);
        const std::string got2 = reader->ReadText(section, key2, kMissing);
        Check(ReadsBackAs(got1, Stored(value1)), action + ": first reads back as " + Escaped(got1));
        Check(ReadsBackAs(got2, Stored(value2)),
              action + ": second reads back as " + Escaped(got2));
    }
    IniFile reread(path);
    for (const auto& reading : readings) {
        if (SameName(reading.section, section) &&
            (SameName(reading.key, key1) || SameName(reading.key, key2)))
            continue;
        const std::string now = reread.ReadText(reading.section, reading.key, kMissing);
        Check(now == reading.value, action + " changed [" + Escaped(reading.section) + "] " +
                                        Escaped(reading.key) + ": was " + Escaped(reading.value) +
                                        ", now " + Escaped(now));
    }
}

void Remove(IniFile& ini, const fs::path& path, const std::vector<std::string>& keys,
            FuzzedDataProvider& data) {
    const std::string section = PickName(data, stanzel::testing::SectionNames(ini));
    const std::string before = FileBytes(path);
    const auto listBefore = stanzel::testing::SectionNames(ini);
    const bool existed = SectionExists(ini, section);
    const auto readings = Snapshot(path, keys);
    const std::string action = "RemoveSection of [" + Escaped(section) + "]";
    try {
        ini.RemoveSection(section);
    } catch (const std::exception&) {
        Check(FileBytes(path) == before, action + " threw but changed the file");
        return;
    }
    if (!existed)
        Check(FileBytes(path) == before, action + " changed a file that lacks the section");

    const IniFile fresh(path);
    for (const IniFile* reader : {static_cast<const IniFile*>(&ini), &fresh}) {
        Check(!SectionExists(*reader, section), action + ": the section still exists");
        for (const auto& name : stanzel::testing::SectionNames(*reader))
            Check(!SameName(name, section), action + ": still listed as " + Escaped(name));
        for (const auto& key : keys)
            Check(reader->ReadText(section, key, kMissing) == kMissing,
                  action + ": key " + Escaped(key) + " still reads");
    }
    std::vector<std::string> expectedList;
    for (const auto& name : listBefore) {
        if (!SameName(name, section))
            expectedList.push_back(name);
    }
    const auto listAfter = stanzel::testing::SectionNames(fresh);
    if (ListFits(listBefore))
        Check(listAfter == expectedList, action + " left the sections " + ListText(listAfter) +
                                             ", expected " + ListText(expectedList));
    CheckUnchanged(path, readings, section, nullptr, action);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const fs::path path = WorkDir() / "profile.ini";
    const std::string contents = data.ConsumeRandomLengthString(size);
    PutFile(path, contents);
    const auto keys = KeysOf(contents);

    IniFile ini(path);
    CheckReads(ini, path, keys);

    if (data.remaining_bytes() == 0) {
        // A plain profile file as input: write into it and take a section out.
        FuzzedDataProvider none(nullptr, 0);
        Write(ini, path, keys, none, false);
        Remove(ini, path, keys, none);
    }
    for (int step = 0; step < 8 && data.remaining_bytes() > 0; ++step) {
        switch (data.ConsumeIntegralInRange(0, 3)) {
        case 0:
            Write(ini, path, keys, data, false);
            break;
        case 1:
            Write(ini, path, keys, data, true);
            break;
        case 2:
            WriteTwo(ini, path, keys, data);
            break;
        default:
            Remove(ini, path, keys, data);
            break;
        }
    }
    CheckReads(ini, path, keys);

    std::error_code ignored;
    fs::remove(path, ignored);
    return 0;
}
