#include "localisation/qt_locale.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace stanzel {
namespace {

// The locale's own digits for a number, as its time shows them.
bool Holds(const QString& text, const QLocale& locale, int number) {
    return text.contains(locale.toString(number));
}

// Every locale Qt knows: the stamp is the short date and the time with hours,
// minutes and seconds, with no zone's empty brackets or commas left over.
TEST(SaveStamp, EveryLocaleShowsHoursMinutesSecondsAndNoLeftovers) {
    const QDateTime time(QDate(2026, 12, 8), QTime(13, 47, 50));
    const auto locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    ASSERT_GT(locales.size(), 300);
    for (const QLocale& locale : locales) {
        SCOPED_TRACE(locale.name().toStdString());
        const QString stamp = SaveStamp(time, locale);
        const QString date = locale.toString(time.date(), QLocale::ShortFormat) + ' ';
        ASSERT_TRUE(stamp.startsWith(date)) << stamp.toStdString();
        const QString clock = stamp.mid(date.size());
        SCOPED_TRACE(clock.toStdString());
        EXPECT_TRUE(Holds(clock, locale, 13) || Holds(clock, locale, 1));
        EXPECT_TRUE(Holds(clock, locale, 47));
        EXPECT_TRUE(Holds(clock, locale, 50));
        for (const char* empty : {"()", "[]", "( )", "[ ]", "\uFF08\uFF09"})
            EXPECT_FALSE(clock.contains(QString::fromUtf8(empty)));
        ASSERT_FALSE(clock.isEmpty());
        for (const QChar edge : {clock.front(), clock.back()}) {
            EXPECT_FALSE(edge.isSpace());
            EXPECT_FALSE(QStringLiteral(",;:-([\u060C\u3001").contains(edge));
        }
    }
}

TEST(SaveStamp, SpanishAndAlbanianAsTheirUsersSawThem) {
    const QDateTime time(QDate(2026, 12, 8), QTime(8, 47, 50));
    EXPECT_EQ(SaveStamp(time, QLocale("es_ES")), "8/12/26 8:47:50");
    EXPECT_EQ(SaveStamp(time, QLocale("sq_AL")).endsWith(","), false);
}

// The standard buttons' texts as the toolkit looks them up.
QString YesButton() {
    return QCoreApplication::translate("QPlatformTheme", "&Yes");
}

TEST(QtTranslations, FollowTheInterfaceLanguage) {
    int argc = 1;
    char name[] = "stanzel_qt_localisation_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);

    QtTranslations translations;
    ASSERT_TRUE(translations.apply("German", "de"))
        << "Qt's translations (Debian package qt6-translations-l10n) are not installed";
    EXPECT_EQ(YesButton(), "&Ja");
    EXPECT_TRUE(translations.apply("Magyar", "hu"));
    EXPECT_EQ(YesButton(), "&Igen");
    EXPECT_FALSE(translations.apply("English", "de")); // English loads none
    EXPECT_EQ(YesButton(), "&Yes");

    // Without a locale in its file a language takes the desktop's, which the
    // test's environment sets to Hungarian.
    ASSERT_EQ(QLocale::system().language(), QLocale::Hungarian);
    EXPECT_TRUE(translations.apply("Deutsch", ""));
    EXPECT_EQ(YesButton(), "&Igen");
}

} // namespace
} // namespace stanzel
