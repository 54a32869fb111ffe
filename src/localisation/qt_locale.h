#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTranslator>
#include <string>
#include <string_view>

namespace stanzel {

// The time of a save as the status bar and the settings file show it: the
// locale's short date, one blank and its long time without the time zone
// (and without the brackets or commas around the zone).
QString SaveStamp(const QDateTime& time, const QLocale& locale);

// The toolkit's own texts (the standard buttons Yes, No, OK and Cancel, the
// file and colour dialogs) in the interface's language, from Qt's translations
// (Debian's qt6-translations-l10n). Installed in the application while it
// lives; applying another language replaces them.
class QtTranslations {
public:
    QtTranslations() = default;
    QtTranslations(const QtTranslations&) = delete;
    QtTranslations& operator=(const QtTranslations&) = delete;
    ~QtTranslations();

    // English needs none. Another language takes the locale its file names
    // (`locale`, e.g. "de"), else the desktop's. Returns whether a
    // translation was found and installed; without one the toolkit speaks
    // English, which is no error.
    bool apply(std::string_view language, const std::string& locale);

private:
    void remove();

    QTranslator translator_;
    bool installed_ = false;
};

} // namespace stanzel
