#include "spelling/dictionary_names.h"

#include "mainwindow/qt_text.h"

#include <QLocale>

namespace stanzel {

QString DictionaryName(std::string_view code) {
    const QString name = ToQ(code);
    const QLocale locale(name);
    if (locale.language() == QLocale::C)
        return name;
    // The language's own name as its main country writes it ("Deutsch"
    // rather than "Schweizer Hochdeutsch"), the country in brackets. For
    // English the toolkit names the main country's variety ("American
    // English"); the language's name in English is its own name.
    const QString language = locale.language() == QLocale::English
                                 ? QLocale::languageToString(QLocale::English)
                                 : QLocale(locale.language()).nativeLanguageName();
    const QString territory = locale.territory() == QLocale::AnyTerritory
                                  ? QString()
                                  : locale.nativeTerritoryName();
    // A code that names no country ("de") is given the language's main one
    // by the toolkit; it is shown without.
    if (territory.isEmpty() || !name.contains(QLatin1Char('_')))
        return language;
    return language + QStringLiteral(" (") + territory + QLatin1Char(')');
}

} // namespace stanzel
