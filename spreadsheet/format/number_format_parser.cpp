#include <QHash>

#include "spreadsheet/format/number_format_internal.h"

namespace spreadsheet::number_format_detail {

namespace {

// Splits at the semicolons that separate sections, not at those inside quotes, brackets or escapes.
QStringList splitSections(const QString& code) {
    QStringList sections;
    QString current;
    bool quoted = false;
    bool bracket = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (quoted) {
            quoted = c != u'"';
        } else if (bracket) {
            bracket = c != u']';
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u'[') {
            bracket = true;
        } else if ((c == u'\\' || c == u'_' || c == u'*') && i + 1 < code.size()) {
            current += c;
            current += code[++i];
            continue;
        } else if (c == u';') {
            sections << current;
            current.clear();
            continue;
        }
        current += c;
    }
    sections << current;
    return sections;
}

std::optional<quint16> namedColor(const QString& name) {
    static const QHash<QString, quint16> colors = {
        {QStringLiteral("black"), 8},    {QStringLiteral("white"), 9}, {QStringLiteral("red"), 10},
        {QStringLiteral("green"), 11},   {QStringLiteral("blue"), 12}, {QStringLiteral("yellow"), 13},
        {QStringLiteral("magenta"), 14}, {QStringLiteral("cyan"), 15},
    };
    if (auto it = colors.find(name); it != colors.end())
        return *it;
    if (name.startsWith(QStringLiteral("color"))) {
        bool ok = false;
        const int n = name.mid(5).toInt(&ok);
        if (ok && n >= 1 && n <= 56)
            return quint16(n + 7);
    }
    return std::nullopt;
}

std::optional<Condition> parseCondition(const QString& text) {
    static const std::pair<const char*, Compare> operators[] = {
        {"<=", Compare::LessEqual}, {">=", Compare::GreaterEqual}, {"<>", Compare::NotEqual},
        {"<", Compare::Less},       {">", Compare::Greater},       {"=", Compare::Equal},
    };
    for (const auto& [symbol, op] : operators) {
        const QLatin1StringView prefix(symbol);
        if (!text.startsWith(prefix))
            continue;
        bool ok = false;
        const double operand = text.mid(prefix.size()).trimmed().toDouble(&ok);
        if (!ok)
            return std::nullopt;
        return Condition{op, operand};
    }
    return std::nullopt;
}

void appendTokens(Section& section, const QString& code);

// [$-409], [$€-407], [$-F800]: a currency text to show and a language, whose day and month names the
// section's dates show. Two ids stand for the system's long date and time forms, which stand for the
// whole section whatever follows them: true when the section is complete.
bool appendLocaleTokens(Section& section, const QString& content) {
    const qsizetype dash = content.indexOf(u'-', 1);
    const QString currency = content.mid(1, dash < 0 ? -1 : dash - 1);
    if (!currency.isEmpty())
        section.tokens.push_back({TokenKind::Literal, currency, {}, 0});
    if (dash < 0)
        return false;
    const QString id = content.mid(dash + 1);
    bool ok = false;
    const uint lcid = id.toUInt(&ok, 16);
    SystemForm form = SystemForm::None;
    if (ok && (lcid & 0xFFFF) == 0xF800)
        form = SystemForm::LongDate;
    else if (ok && (lcid & 0xFFFF) == 0xF400)
        form = SystemForm::Time;
    else if (id.compare(QLatin1StringView("x-sysdate"), Qt::CaseInsensitive) == 0)
        form = SystemForm::LongDate;
    else if (id.compare(QLatin1StringView("x-systime"), Qt::CaseInsensitive) == 0)
        form = SystemForm::Time;
    if (form == SystemForm::None) {
        // The upper bits choose a calendar and digits, which this engine does not change.
        if (ok)
            section.language = localeOfLanguageId(lcid & 0xFFFF);
        return false;
    }
    // The US form stands in the tokens; the form itself is taken from the locale a value is shown in.
    section.tokens.clear();
    section.systemForm = form;
    appendTokens(section, systemFormCode(form, QLocale::c()));
    return true;
}

bool isElapsed(const QString& lower) {
    if (lower.isEmpty())
        return false;
    const QChar first = lower[0];
    if (first != u'h' && first != u'm' && first != u's')
        return false;
    return std::all_of(lower.begin(), lower.end(), [first](QChar c) { return c == first; });
}

void appendTokens(Section& section, const QString& code) {
    std::vector<Token>& tokens = section.tokens;
    const qsizetype n = code.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = code[i];
        const QChar lower = c.toLower();
        auto literal = [&](const QString& text) { tokens.push_back({TokenKind::Literal, text, {}, 0}); };
        if (c == u'"') {
            const qsizetype end = code.indexOf(u'"', i + 1);
            literal(code.mid(i + 1, end < 0 ? -1 : end - i - 1));
            i = end < 0 ? n : end;
        } else if (c == u'\\') {
            if (i + 1 < n)
                literal(QString(code[++i]));
        } else if (c == u'_' || c == u'*') {
            if (i + 1 < n)
                tokens.push_back({c == u'_' ? TokenKind::Spacing : TokenKind::Fill, {}, code[++i], 0});
        } else if (c == u'[') {
            const qsizetype end = code.indexOf(u']', i + 1);
            if (end < 0)
                return;
            const QString content = code.mid(i + 1, end - i - 1);
            const QString lowered = content.toLower();
            if (content.startsWith(u'$')) {
                if (appendLocaleTokens(section, content))
                    return;
            } else if (isElapsed(lowered)) {
                tokens.push_back({TokenKind::Elapsed, lowered, {}, 0});
            }
            // Colours and conditions were taken by the section; anything else is ignored.
            i = end;
        } else if (code.mid(i, 7).compare(QLatin1StringView("General"), Qt::CaseInsensitive) == 0) {
            tokens.push_back({TokenKind::General, {}, {}, 0});
            i += 6;
        } else if (c == u'0' || c == u'#' || c == u'?') {
            tokens.push_back({TokenKind::Digit, {}, c, 0});
        } else if (c == u'.') {
            tokens.push_back({TokenKind::DecimalPoint, {}, c, 0});
        } else if (c == u',') {
            tokens.push_back({TokenKind::Comma, {}, c, 0});
        } else if (c == u'%') {
            tokens.push_back({TokenKind::Percent, {}, c, 0});
        } else if (lower == u'e' && i + 1 < n && (code[i + 1] == u'+' || code[i + 1] == u'-')) {
            tokens.push_back({TokenKind::Exponent, code.mid(i, 2), code[i + 1], 0});
            ++i;
        } else if (c == u'/') {
            tokens.push_back({TokenKind::Slash, {}, c, 0});
        } else if (c == u'@') {
            tokens.push_back({TokenKind::Text, {}, c, 0});
        } else if (lower == u'a' &&
                   code.mid(i, 5).compare(QLatin1StringView("am/pm"), Qt::CaseInsensitive) == 0) {
            tokens.push_back({TokenKind::AmPm, code.mid(i, 5), {}, 0});
            i += 4;
        } else if (lower == u'a' &&
                   code.mid(i, 3).compare(QLatin1StringView("a/p"), Qt::CaseInsensitive) == 0) {
            tokens.push_back({TokenKind::AmPm, code.mid(i, 3), {}, 0});
            i += 2;
        } else if (lower == u'y' || lower == u'm' || lower == u'd' || lower == u'h' || lower == u's') {
            qsizetype end = i + 1;
            while (end < n && code[end].toLower() == lower)
                ++end;
            tokens.push_back({TokenKind::Date, QString(end - i, lower), {}, 0});
            i = end - 1;
        } else {
            literal(QString(c));
        }
    }
}

bool isTimeCode(const Token& t, QChar letter) {
    return (t.kind == TokenKind::Date || t.kind == TokenKind::Elapsed) && t.text.startsWith(letter);
}

// In a date section the number symbols stand for themselves, except a point with zeros after the
// seconds; and "m" means minutes right after hours or right before seconds.
void finishDateSection(Section& section) {
    std::vector<Token> out;
    auto& tokens = section.tokens;
    for (size_t i = 0; i < tokens.size(); ++i) {
        Token t = tokens[i];
        if (t.kind == TokenKind::DecimalPoint && i + 1 < tokens.size() &&
            tokens[i + 1].kind == TokenKind::Digit && tokens[i + 1].ch == u'0') {
            int zeros = 0;
            while (i + 1 < tokens.size() && tokens[i + 1].kind == TokenKind::Digit &&
                   tokens[i + 1].ch == u'0') {
                ++zeros;
                ++i;
            }
            out.push_back({TokenKind::SubSecond, {}, {}, std::min(zeros, 3)});
            continue;
        }
        switch (t.kind) {
            case TokenKind::Digit:
            case TokenKind::DecimalPoint:
            case TokenKind::Comma:
            case TokenKind::Percent:
            case TokenKind::Slash:
            case TokenKind::Text:
                t = {TokenKind::Literal, QString(t.ch), {}, 0};
                break;
            case TokenKind::Exponent:
            case TokenKind::General:
                t = {TokenKind::Literal,
                     t.kind == TokenKind::General ? QStringLiteral("General") : t.text,
                     {},
                     0};
                break;
            default:
                break;
        }
        out.push_back(t);
    }
    for (size_t i = 0; i < out.size(); ++i) {
        Token& t = out[i];
        if (t.kind != TokenKind::Date || (t.text != u"m" && t.text != u"mm"))
            continue;
        bool minutes = false;
        for (size_t j = i; j-- > 0;) {
            if (out[j].kind == TokenKind::Date || out[j].kind == TokenKind::Elapsed) {
                minutes = isTimeCode(out[j], u'h');
                break;
            }
        }
        for (size_t j = i + 1; !minutes && j < out.size(); ++j) {
            if (out[j].kind == TokenKind::Date || out[j].kind == TokenKind::Elapsed) {
                minutes = isTimeCode(out[j], u's');
                break;
            }
        }
        if (minutes)
            t.text = t.text.size() == 1 ? QStringLiteral("n") : QStringLiteral("nn");
    }
    tokens = std::move(out);
}

Section parseSection(const QString& code) {
    Section section;
    // Colours and conditions come first in a section, in either order; take them off the front.
    QString rest = code;
    while (rest.startsWith(u'[')) {
        const qsizetype end = rest.indexOf(u']');
        if (end < 0)
            break;
        const QString content = rest.mid(1, end - 1).trimmed();
        if (auto color = namedColor(content.toLower())) {
            section.colorIndex = color;
        } else if (auto condition = parseCondition(content)) {
            section.condition = *condition;
        } else {
            break;
        }
        rest = rest.mid(end + 1);
    }
    appendTokens(section, rest);
    for (const Token& t : section.tokens) {
        section.isDate |=
            t.kind == TokenKind::Date || t.kind == TokenKind::Elapsed || t.kind == TokenKind::AmPm;
        section.hasDigits |= t.kind == TokenKind::Digit || t.kind == TokenKind::General;
        section.hasText |= t.kind == TokenKind::Text;
    }
    if (section.isDate) {
        finishDateSection(section);
        section.hasDigits = false;
        section.hasText = false;
    }
    return section;
}

}  // namespace

bool Condition::matches(double value) const {
    switch (op) {
        case Compare::None:
            return true;
        case Compare::Less:
            return value < operand;
        case Compare::LessEqual:
            return value <= operand;
        case Compare::Greater:
            return value > operand;
        case Compare::GreaterEqual:
            return value >= operand;
        case Compare::Equal:
            return value == operand;
        case Compare::NotEqual:
            return value != operand;
    }
    return true;
}

ParsedFormat parseFormat(const QString& code) {
    ParsedFormat parsed;
    const QStringList sections = splitSections(code);
    // A spreadsheet reads at most four sections and ignores what follows.
    for (qsizetype i = 0; i < sections.size() && i < 4; ++i)
        parsed.sections.push_back(parseSection(sections[i]));
    return parsed;
}

}  // namespace spreadsheet::number_format_detail
