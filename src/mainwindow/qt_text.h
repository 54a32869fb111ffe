#pragma once

#include <QLineEdit>
#include <QString>
#include <limits>
#include <string>
#include <string_view>

// Text crosses between the core (UTF-8 bytes) and Qt (QString) here only.
namespace stanzel {

inline QString ToQ(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string FromQ(const QString& text) {
    return text.toStdString();
}

// The editor shows line breaks as LF; poems are stored with CR LF.
inline QString PoemToEditor(const std::string& text) {
    return ToQ(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// A line separator (Shift+Enter) is a line break like a paragraph's end.
inline std::string EditorToPoem(const QString& text) {
    QString stored = text;
    stored.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    stored.replace(QChar::LineSeparator, QLatin1Char('\n'));
    stored.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return FromQ(stored);
}

// A box holds every character it is given: Qt's own limit (32,767) would cut
// a long title when the poem is saved, though only the text was edited.
inline void KeepEveryCharacter(QLineEdit* box) {
    box->setMaxLength(std::numeric_limits<int>::max());
}

} // namespace stanzel
