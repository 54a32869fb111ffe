// Turns the CMU pronouncing dictionary (as Debian's pocketsphinx-en-us ships
// it: "word PH ON EM ES", further pronunciations as "word(2) ...") into the
// program's syllable table: each word once with the number of vowel phonemes
// of its first pronunciation, in byte order.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_syllable_table cmudict-en-us.dict english-syllables.txt\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "make_syllable_table: cannot read " << argv[1] << '\n';
        return 1;
    }
    // The vowel phonemes of the CMU set; the plain dictionary marks no stress.
    const std::set<std::string> vowels = {"AA", "AE", "AH", "AO", "AW", "AY", "EH", "ER",
                                          "EY", "IH", "IY", "OW", "OY", "UH", "UW"};
    std::map<std::string, int> counts;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string word;
        if (!(fields >> word) || word.find('(') != std::string::npos)
            continue;
        int count = 0;
        for (std::string phone; fields >> phone;) {
            phone.erase(std::remove_if(phone.begin(), phone.end(),
                                       [](char c) { return c >= '0' && c <= '9'; }),
                        phone.end());
            count += vowels.count(phone) != 0;
        }
        if (count < 1 || count > 9)
            continue;
        std::transform(word.begin(), word.end(), word.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        counts.emplace(word, count); // the first pronunciation stays
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    for (const auto& [word, count] : counts)
        out << word << ' ' << count << '\n';
    if (!out.flush()) {
        std::cerr << "make_syllable_table: cannot write " << argv[2] << '\n';
        return 1;
    }
    return counts.empty() ? 1 : 0;
}
