#include "SystemLocale.h"

#include <QLocale>

namespace vintrel {

namespace {

// The first character that is not a letter, outside quoted text. Direction marks (the
// right-to-left mark before each "/" of Arabic patterns) are not separators.
QString FirstSeparator(const QString& format, const QString& fallback) {
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && !c.isLetter() && !c.isSpace() && c.category() != QChar::Other_Format)
            return QString(c);
    }
    return fallback;
}

// A two-digit year ("yy") becomes four digits: "1/1/70" would read back as 2070 and sort
// after today's files.
QString WithFourDigitYears(const QString& format) {
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == u'\'') quoted = !quoted;
        if (quoted || c != u'y') {
            out += c;
            ++i;
            continue;
        }
        qsizetype run = 0;
        while (i + run < format.size() && format[i + run] == u'y') ++run;
        out += QString(run == 2 ? 4 : run, u'y');
        i += run;
    }
    return out;
}

} // namespace

LocaleSettings LocaleSettingsFrom(const QLocale& locale) {
    // The C locale's short format names the month, which cannot be read back.
    if (locale.language() == QLocale::C) return LocaleSettings::C();

    LocaleSettings settings;
    settings.decimalSeparator = locale.decimalPoint().toStdString();
    const QString dateFormat = WithFourDigitYears(locale.dateFormat(QLocale::ShortFormat));
    settings.shortDatePattern = dateFormat.toStdString();
    settings.dateSeparator = FirstSeparator(dateFormat, QStringLiteral("/")).toStdString();
    settings.timeSeparator =
        FirstSeparator(locale.timeFormat(QLocale::ShortFormat), QStringLiteral(":")).toStdString();
    for (int month = 1; month <= 12; ++month) {
        settings.shortMonthNames[month - 1] =
            locale.monthName(month, QLocale::ShortFormat).toStdString();
        settings.longMonthNames[month - 1] =
            locale.monthName(month, QLocale::LongFormat).toStdString();
    }
    for (int day = 0; day < 7; ++day) {
        const int qtDay = day == 0 ? 7 : day; // Qt counts Monday as 1 and Sunday as 7
        settings.shortDayNames[day] = locale.dayName(qtDay, QLocale::ShortFormat).toStdString();
        settings.longDayNames[day] = locale.dayName(qtDay, QLocale::LongFormat).toStdString();
    }
    return settings;
}

LocaleSettings SystemLocaleSettings() {
    return LocaleSettingsFrom(QLocale::system());
}

} // namespace vintrel
