#pragma once

// Profile texts as hand edits and other programs leave them, shared by the
// tests of the reading and of the collection model.

#include <string>

namespace stanzel::testing {

// Indexes with what a hand edit can leave: twins, names that are no numbers or
// do not ascend, every kind of line break, brackets inside values.
inline const char* const kOddIndexes[] = {
    "[1]\r\ntitle=a\r\npoet=p\r\n[2]\r\npoet=q\r\n[3]\r\n title = \" c \" \r\n",
    "\xEF\xBB\xBF[1]\rtitle=a\r[2]\rTITLE=b\r",
    "x=[0]\n[1]\n;title=no\n[x\ntitle=[1]\n[2]\ndate=[3]\ntitle=two\n",
    "[1]\r\ntitle=a\r\n  [2]  \r\n\r\ntitle=b",
    "[2]\r\ntitle=b\r\n[1]\r\ntitle=a\r\n[2]\r\ntitle=again\r\n",
    "[1]\r\ntitle=a\r\n[abc]\r\ntitle=b\r\n[ABC]\r\ntitle=twin\r\n[3]\r\n[1]\r\n",
    "[01]\r\ntitle=a\r\n[]\r\n",
    "[1]\r\n[2]\r\ntitle=late\r\n",
    "",
};

// An index of more than a megabyte with a mix of line breaks; optionally
// two names swapped at the middle so that they stop ascending there.
inline std::string LargeIndex(bool swapAtMiddle) {
    std::string file;
    const int count = 30000;
    for (int i = 1; i <= count; ++i) {
        int id = i;
        if (swapAtMiddle && (i == count / 2 || i == count / 2 + 1))
            id = i == count / 2 ? count / 2 + 1 : count / 2;
        const std::string name = std::to_string(id);
        const char* breaks[] = {"\r\n", "\n", "\r"};
        const char* br = breaks[i % 3];
        file += "[" + name + "]" + br;
        if (i % 7 != 0)
            file += (i % 5 == 0 ? " TITLE = \"  t" : "title=t") + name +
                    (i % 5 == 0 ? " \"" : "") + br;
        file += "poet=p [x] " + name + br + "date=" + br;
    }
    return file;
}

} // namespace stanzel::testing
