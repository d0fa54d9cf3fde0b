// What regional settings change in formats: the language a format's id names, and the system's date and
// time forms, written as format codes from a locale's own patterns.

#include <QHash>

#include "spreadsheet/format/number_format_internal.h"

namespace spreadsheet::number_format_detail {

namespace {

// Language ids of the formats (the Windows LCIDs) whose territory matters, and the locale of each.
struct FullId {
    quint16 id;
    QLocale::Language language;
    QLocale::Territory territory;
};
constexpr FullId kFullIds[] = {
    {0x0409, QLocale::English, QLocale::UnitedStates},
    {0x0809, QLocale::English, QLocale::UnitedKingdom},
    {0x0C09, QLocale::English, QLocale::Australia},
    {0x1009, QLocale::English, QLocale::Canada},
    {0x1409, QLocale::English, QLocale::NewZealand},
    {0x1809, QLocale::English, QLocale::Ireland},
    {0x1C09, QLocale::English, QLocale::SouthAfrica},
    {0x4009, QLocale::English, QLocale::India},
    {0x0407, QLocale::German, QLocale::Germany},
    {0x0807, QLocale::German, QLocale::Switzerland},
    {0x0C07, QLocale::German, QLocale::Austria},
    {0x1007, QLocale::German, QLocale::Luxembourg},
    {0x040C, QLocale::French, QLocale::France},
    {0x080C, QLocale::French, QLocale::Belgium},
    {0x0C0C, QLocale::French, QLocale::Canada},
    {0x100C, QLocale::French, QLocale::Switzerland},
    {0x140C, QLocale::French, QLocale::Luxembourg},
    {0x0410, QLocale::Italian, QLocale::Italy},
    {0x0810, QLocale::Italian, QLocale::Switzerland},
    {0x040A, QLocale::Spanish, QLocale::Spain},
    {0x0C0A, QLocale::Spanish, QLocale::Spain},
    {0x080A, QLocale::Spanish, QLocale::Mexico},
    {0x2C0A, QLocale::Spanish, QLocale::Argentina},
    {0x0416, QLocale::Portuguese, QLocale::Brazil},
    {0x0816, QLocale::Portuguese, QLocale::Portugal},
    {0x0413, QLocale::Dutch, QLocale::Netherlands},
    {0x0813, QLocale::Dutch, QLocale::Belgium},
    {0x0804, QLocale::Chinese, QLocale::China},
    {0x0404, QLocale::Chinese, QLocale::Taiwan},
    {0x0C04, QLocale::Chinese, QLocale::HongKong},
    {0x1004, QLocale::Chinese, QLocale::Singapore},
    {0x0814, QLocale::NorwegianNynorsk, QLocale::Norway},
    {0x081A, QLocale::Serbian, QLocale::Serbia},
    {0x0C1A, QLocale::Serbian, QLocale::Serbia},
    {0x141A, QLocale::Bosnian, QLocale::BosniaAndHerzegowina},
};

// The primary language of an id (its low ten bits), for the ids the table above lacks.
QLocale::Language primaryLanguage(quint16 primary) {
    static const QHash<quint16, QLocale::Language> languages = {
        {0x01, QLocale::Arabic},    {0x02, QLocale::Bulgarian},
        {0x03, QLocale::Catalan},   {0x04, QLocale::Chinese},
        {0x05, QLocale::Czech},     {0x06, QLocale::Danish},
        {0x07, QLocale::German},    {0x08, QLocale::Greek},
        {0x09, QLocale::English},   {0x0A, QLocale::Spanish},
        {0x0B, QLocale::Finnish},   {0x0C, QLocale::French},
        {0x0D, QLocale::Hebrew},    {0x0E, QLocale::Hungarian},
        {0x0F, QLocale::Icelandic}, {0x10, QLocale::Italian},
        {0x11, QLocale::Japanese},  {0x12, QLocale::Korean},
        {0x13, QLocale::Dutch},     {0x14, QLocale::NorwegianBokmal},
        {0x15, QLocale::Polish},    {0x16, QLocale::Portuguese},
        {0x18, QLocale::Romanian},  {0x19, QLocale::Russian},
        {0x1A, QLocale::Croatian},  {0x1B, QLocale::Slovak},
        {0x1C, QLocale::Albanian},  {0x1D, QLocale::Swedish},
        {0x1E, QLocale::Thai},      {0x1F, QLocale::Turkish},
        {0x20, QLocale::Urdu},      {0x21, QLocale::Indonesian},
        {0x22, QLocale::Ukrainian}, {0x23, QLocale::Belarusian},
        {0x24, QLocale::Slovenian}, {0x25, QLocale::Estonian},
        {0x26, QLocale::Latvian},   {0x27, QLocale::Lithuanian},
        {0x29, QLocale::Persian},   {0x2A, QLocale::Vietnamese},
        {0x2B, QLocale::Armenian},  {0x2C, QLocale::Azerbaijani},
        {0x2D, QLocale::Basque},    {0x2F, QLocale::Macedonian},
        {0x36, QLocale::Afrikaans}, {0x37, QLocale::Georgian},
        {0x38, QLocale::Faroese},   {0x39, QLocale::Hindi},
        {0x3E, QLocale::Malay},     {0x3F, QLocale::Kazakh},
        {0x41, QLocale::Swahili},   {0x56, QLocale::Galician},
    };
    return languages.value(primary, QLocale::AnyLanguage);
}

// A Qt date or time pattern as a format code. A short date leaves the weekday out and shows the whole
// year; a time zone has no code and is left out.
QString codeOfPattern(const QString& pattern, bool shortDate) {
    QString code;
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern[i];
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        if (c == u'd') {
            code += QString(shortDate ? std::min<qsizetype>(run, 2) : std::min<qsizetype>(run, 4), u'd');
        } else if (c == u'M') {
            code += QString(std::min<qsizetype>(run, 4), u'm');
        } else if (c == u'y') {
            code += shortDate || run > 2 ? QStringLiteral("yyyy") : QStringLiteral("yy");
        } else if (c == u'h' || c == u'H') {
            code += QString(std::min<qsizetype>(run, 2), u'h');
        } else if (c == u'm' || c == u's') {
            code += QString(std::min<qsizetype>(run, 2), c);
        } else if (c == u'A' || c == u'a') {
            code += QStringLiteral("AM/PM");
            if (i + 1 < pattern.size() && (pattern[i + 1] == u'P' || pattern[i + 1] == u'p'))
                run = 2;
        } else if (c == u't' || c == u'z') {
            // A time zone or milliseconds: nothing a spreadsheet's form shows.
        } else if (c == u'\'') {
            const qsizetype end = pattern.indexOf(u'\'', i + 1);
            const QString quoted = pattern.mid(i + 1, (end < 0 ? pattern.size() : end) - i - 1);
            if (!quoted.isEmpty())
                code += u'"' + quoted + u'"';
            run = (end < 0 ? pattern.size() : end + 1) - i;
        } else if (c.isLetter()) {
            code += u'\\' + c;
        } else {
            code += QString(run, c);
        }
        i += run;
    }
    return code.trimmed();
}

}  // namespace

std::optional<QLocale> localeOfLanguageId(quint32 id) {
    for (const FullId& full : kFullIds) {
        if (full.id == id)
            return QLocale(full.language, full.territory);
    }
    const QLocale::Language language = primaryLanguage(quint16(id & 0x3FF));
    if (language == QLocale::AnyLanguage)
        return std::nullopt;
    return QLocale(language);
}

QString systemFormCode(SystemForm form, const QLocale& locale) {
    // The C locale has no forms of its own: it shows them the US way.
    if (locale.language() == QLocale::C) {
        return form == SystemForm::Time ? QStringLiteral("h:mm:ss AM/PM")
                                        : QStringLiteral("dddd, mmmm d, yyyy");
    }
    if (form == SystemForm::Time)
        return codeOfPattern(locale.timeFormat(QLocale::LongFormat), false);
    return codeOfPattern(locale.dateFormat(QLocale::LongFormat), false);
}

}  // namespace spreadsheet::number_format_detail

namespace spreadsheet {

QString shortDateFormatCode(const QLocale& locale) {
    // The C locale has no regional date order of its own; it shows dates the US way, as the table does.
    if (locale.language() == QLocale::C)
        return builtInNumberFormatCode(14);
    return number_format_detail::codeOfPattern(locale.dateFormat(QLocale::ShortFormat), true);
}

QString longDateFormatCode(const QLocale& locale) {
    return number_format_detail::systemFormCode(number_format_detail::SystemForm::LongDate, locale);
}

}  // namespace spreadsheet
