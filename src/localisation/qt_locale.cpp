#include "localisation/qt_locale.h"

#include "localisation/interface_strings.h"
#include "localisation/time_format.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace stanzel {

QString SaveStamp(const QDateTime& time, const QLocale& locale) {
    const QString timeFormat = QString::fromStdString(
        TimeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat).toStdString()));
    return locale.toString(time.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(time.time(), timeFormat);
}

QtTranslations::~QtTranslations() {
    remove();
}

bool QtTranslations::apply(std::string_view language, const std::string& locale) {
    remove();
    if (language == kEnglish)
        return false;
    const QLocale target =
        locale.empty() ? QLocale::system() : QLocale(QString::fromStdString(locale));
    if (!translator_.load(target, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    installed_ = QCoreApplication::installTranslator(&translator_);
    return installed_;
}

void QtTranslations::remove() {
    if (installed_)
        QCoreApplication::removeTranslator(&translator_);
    installed_ = false;
}

} // namespace stanzel
