#include "collection_generator.h"

#include "storage/ini_file.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unistd.h>

namespace stanzel::bench {
namespace {

constexpr std::array<std::string_view, 48> kWords{
    "night",   "river",   "autumn",  "light",  "stone",  "winter", "garden",  "silence",
    "mother",  "window",  "bread",   "a",      "the",    "of",     "in",      "and",
    "under",   "without", "evening", "sea",    "bell",   "salt",   "harvest", "orchard",
    "éjszaka", "ősz",     "tájkép",  "híd",    "csönd",  "szél",   "öröm",    "fűzfa",
    "Straße",  "Gefühl",  "Mädchen", "über",   "été",    "rêve",   "forêt",   "château",
    "señora",  "niño",    "łąka",    "źródło", "jabłoń", "dzień",  "мир",     "река"};

constexpr std::array<std::string_view, 16> kFirstNames{
    "Attila", "Sándor", "Miklós", "Endre",  "Ágnes",   "Dezső",   "Emily", "Walt",
    "Rainer", "Else",   "Paul",   "Hélène", "Wisława", "Czesław", "Anna",  "Federico"};

constexpr std::array<std::string_view, 16> kLastNames{
    "József",     "Petőfi",         "Radnóti",   "Ady",
    "Nemes Nagy", "Kosztolányi",    "Dickinson", "Whitman",
    "Rilke",      "Lasker-Schüler", "Éluard",    "Müller",
    "Szymborska", "Miłosz",         "Achmatova", "García Lorca"};

constexpr std::array<std::string_view, 12> kMonths{"január",     "február", "március",  "április",
                                                   "május",      "június",  "július",   "augusztus",
                                                   "szeptember", "október", "november", "december"};

int Pick(std::mt19937& rng, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(rng);
}

template <std::size_t N>
std::string_view PickFrom(std::mt19937& rng, const std::array<std::string_view, N>& list) {
    return list[static_cast<std::size_t>(Pick(rng, 0, static_cast<int>(N) - 1))];
}

std::string Words(std::mt19937& rng, int low, int high) {
    std::string out;
    const int count = Pick(rng, low, high);
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            out += ' ';
        out += PickFrom(rng, kWords);
    }
    if (!out.empty() && out[0] >= 'a' && out[0] <= 'z')
        out[0] = static_cast<char>(out[0] - 'a' + 'A');
    return out;
}

std::string MakeDate(std::mt19937& rng) {
    const int year = Pick(rng, 1820, 2024);
    switch (Pick(rng, 0, 5)) {
    case 0:
        return std::to_string(year);
    case 1:
        return std::to_string(year) + ". " + std::string(PickFrom(rng, kMonths)) + " " +
               std::to_string(Pick(rng, 1, 28)) + ".";
    case 2:
        return std::to_string(Pick(rng, 1, 28)) + "/" + std::to_string(Pick(rng, 1, 12)) + "/" +
               std::to_string(year);
    case 3:
        return "spring " + std::to_string(year);
    case 4:
        return "c. " + std::to_string(year - year % 10) + "s";
    default:
        return {};
    }
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        throw std::runtime_error("cannot create " + path.string());
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !ok)
        throw std::runtime_error("cannot write " + path.string());
}

// Stanzas of four lines, separated by an empty one; `punctuate` ends some
// lines with a comma or a full stop.
std::string Stanzas(std::mt19937& rng, int lines, int mostWords, bool punctuate) {
    std::string text;
    for (int i = 0; i < lines; ++i) {
        if (i > 0)
            text += "\r\n";
        if (i % 5 == 4)
            continue;
        text += Words(rng, 2, mostWords);
        if (punctuate && Pick(rng, 0, 3) == 0)
            text += Pick(rng, 0, 1) ? "," : ".";
    }
    return text;
}

} // namespace

PoemRecord MakePoem(std::mt19937& rng) {
    PoemRecord poem;
    poem.title = Words(rng, 1, Pick(rng, 0, 9) == 0 ? 12 : 5);
    poem.poet = std::string(PickFrom(rng, kFirstNames)) + " ";
    if (Pick(rng, 0, 7) == 0)
        poem.poet += std::string(1, static_cast<char>('A' + Pick(rng, 0, 25))) + ". ";
    poem.poet += PickFrom(rng, kLastNames);
    poem.date = MakeDate(rng);
    poem.text = Stanzas(rng, Pick(rng, 4, 16), 7, true);
    if (Pick(rng, 0, 4) == 0)
        poem.text += "\r\n";
    return poem;
}

PoemRecord MakeRealisticPoem(std::mt19937& rng) {
    PoemRecord poem;
    const auto titleLength = static_cast<std::size_t>(Pick(rng, 10, 60));
    while (poem.title.size() < titleLength) {
        if (!poem.title.empty())
            poem.title += ' ';
        poem.title += PickFrom(rng, kWords);
    }
    // Cut at a letter's start, never inside one.
    std::size_t cut = titleLength;
    while (cut > 0 && (static_cast<unsigned char>(poem.title[cut]) & 0xC0) == 0x80)
        --cut;
    poem.title.resize(cut);
    while (!poem.title.empty() && poem.title.back() == ' ')
        poem.title.pop_back();
    if (!poem.title.empty() && poem.title[0] >= 'a' && poem.title[0] <= 'z')
        poem.title[0] = static_cast<char>(poem.title[0] - 'a' + 'A');
    poem.poet = std::string(PickFrom(rng, kFirstNames)) + " " + std::string(PickFrom(rng, kLastNames));
    poem.date = MakeDate(rng);
    poem.text = Stanzas(rng, Pick(rng, 5, 40), 8, false);
    return poem;
}

const char* PoemSizeName(PoemSize size) {
    return size == PoemSize::Short ? "short" : "realistic";
}

CollectionStats GenerateCollection(const std::filesystem::path& programDir, int count,
                                   std::uint32_t seed, PoemSize size) {
    std::mt19937 rng(seed);
    const auto poemsDir = programDir / "poems";
    std::filesystem::create_directories(poemsDir);

    CollectionStats stats;
    std::string index;
    index.reserve(static_cast<std::size_t>(count) * 96);
    for (int id = 1; id <= count; ++id) {
        const PoemRecord poem = size == PoemSize::Realistic ? MakeRealisticPoem(rng) : MakePoem(rng);
        const std::string name = std::to_string(id);
        index += '[';
        index += name;
        index += "]\r\n";
        index += FormatIniEntry("title", poem.title);
        index += "\r\n";
        index += FormatIniEntry("poet", poem.poet);
        index += "\r\n";
        index += FormatIniEntry("date", poem.date);
        index += "\r\n";
        WriteFile(poemsDir / (name + ".poem"), poem.text);
        stats.textBytes += poem.text.size();
    }
    WriteFile(programDir / "poems.dmp", index);
    stats.poems = count;
    stats.indexBytes = index.size();
    return stats;
}

std::optional<CollectionOptions> TakeCollectionOptions(int& argc, char** argv) {
    CollectionOptions options;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--poems=")) {
            options.poems = std::atoi(argv[i] + 8);
        } else if (arg == "--poem_size=short") {
            options.size = PoemSize::Short;
        } else if (arg == "--poem_size=realistic") {
            options.size = PoemSize::Realistic;
        } else if (arg.starts_with("--collection_dir=")) {
            options.dir = std::string(arg.substr(17));
            options.keep = true;
        } else if (arg.starts_with("--use_collection=")) {
            options.dir = std::string(arg.substr(17));
            options.keep = true;
            options.existing = true;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    if (options.dir.empty()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "stanzel-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            return std::nullopt;
        }
        options.dir = pattern;
    }
    return options;
}

} // namespace stanzel::bench
