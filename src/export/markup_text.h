#pragma once

#include <string>
#include <string_view>

namespace stanzel {

// How an inserted value is made safe for the document it goes into.
struct XmlTextRules {
    // Also turn `"` into &quot;, for a value inside a quoted attribute.
    bool attribute = false;
    // Turn every line break (CR LF, lone CR, lone LF) into CR LF.
    bool crLfBreaks = false;
};

// Appends `text` so that it reads back as itself from an XML document encoded
// in UTF-8: &, < and > become entities, bytes that are not UTF-8 become
// U+FFFD, and so do the characters XML cannot carry at all (control
// characters other than tab, CR and LF, and U+FFFE and U+FFFF), since a
// single one of them makes the whole file unreadable.
void AppendXmlText(std::string& out, std::string_view text, XmlTextRules rules = {});

} // namespace stanzel
