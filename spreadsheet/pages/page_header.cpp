#include "spreadsheet/pages/page_header.h"

#include <QTextLayout>
#include <algorithm>
#include <cmath>

#include "spreadsheet/number_format.h"
#include "spreadsheet/render/metrics.h"

namespace spreadsheet {

namespace {

// Header text is laid out in twentieths of a point, so that whole "pixel" font sizes keep half points.
constexpr double kUnitsPerPoint = 20;

class Expander {
public:
    Expander(const QString& code, const HeaderFooterFields& fields, const Font& font)
        : code_(code), fields_(fields) {
        look_.family = font.name;
        look_.points = font.points();
        look_.bold = font.bold;
        look_.italic = font.italic;
        start_ = look_;
    }

    HeaderSections run() {
        while (at_ < code_.size()) {
            const QChar c = code_[at_++];
            if (c != u'&' || at_ >= code_.size()) {
                append(QString(c));
                continue;
            }
            code();
        }
        return sections_;
    }

private:
    void append(const QString& text) {
        std::vector<HeaderRun>& runs = sections_[size_t(section_)];
        if (text.isEmpty())
            return;
        HeaderRun look = look_;
        look.text.clear();
        if (!runs.empty()) {
            HeaderRun last = runs.back();
            last.text.clear();
            if (lookEquals(last, look)) {
                runs.back().text += text;
                return;
            }
        }
        look.text = text;
        runs.push_back(look);
    }

    static bool lookEquals(const HeaderRun& a, const HeaderRun& b) {
        return a.family == b.family && a.points == b.points && a.bold == b.bold && a.italic == b.italic &&
               a.underline == b.underline && a.doubleUnderline == b.doubleUnderline &&
               a.strikeout == b.strikeout && a.superscript == b.superscript && a.subscript == b.subscript &&
               a.color == b.color;
    }

    int number() {
        int value = 0;
        while (at_ < code_.size() && code_[at_].isDigit() && value < 100000)
            value = value * 10 + code_[at_++].digitValue();
        return value;
    }

    void code() {
        const QChar c = code_[at_];
        if (c.isDigit()) {
            look_.points = std::clamp(number(), 1, 409);
            return;
        }
        ++at_;
        switch (c.toUpper().unicode()) {
            case u'&':
                append(QStringLiteral("&"));
                break;
            case u'L':
                startSection(HeaderSection::Left);
                break;
            case u'C':
                startSection(HeaderSection::Center);
                break;
            case u'R':
                startSection(HeaderSection::Right);
                break;
            case u'P':
                append(QString::number(fields_.page + pageOffset()));
                break;
            case u'N':
                append(QString::number(fields_.pages));
                break;
            case u'D':
                append(dateText());
                break;
            case u'T':
                append(fields_.locale.toString(fields_.printed.time(), QLocale::ShortFormat));
                break;
            case u'F':
                append(fields_.fileName);
                break;
            case u'Z':
                append(fields_.folder);
                break;
            case u'A':
                append(fields_.sheetName);
                break;
            case u'B':
                look_.bold = !look_.bold;
                break;
            case u'I':
                look_.italic = !look_.italic;
                break;
            case u'U':
                look_.underline = !look_.underline;
                look_.doubleUnderline = false;
                break;
            case u'E':
                look_.doubleUnderline = !look_.doubleUnderline;
                look_.underline = false;
                break;
            case u'S':
                look_.strikeout = !look_.strikeout;
                break;
            case u'X':
                look_.superscript = !look_.superscript;
                look_.subscript = false;
                break;
            case u'Y':
                look_.subscript = !look_.subscript;
                look_.superscript = false;
                break;
            case u'K':
                colour();
                break;
            case u'"':
                fontName();
                break;
            default:
                break;  // &G (a picture) and codes this program does not know print nothing
        }
    }

    // Each section starts in the plain look: a section's codes change only its own text.
    void startSection(HeaderSection section) {
        section_ = section;
        look_ = start_;
    }

    // "&P+2" and "&P-1" print the page number moved by the number.
    int pageOffset() {
        if (at_ + 1 >= code_.size() || (code_[at_] != u'+' && code_[at_] != u'-') ||
            !code_[at_ + 1].isDigit())
            return 0;
        const int sign = code_[at_++] == u'+' ? 1 : -1;
        return sign * number();
    }

    void colour() {
        bool ok = false;
        const uint rgb = code_.mid(at_, 6).toUInt(&ok, 16);
        if (ok && code_.mid(at_, 6).size() == 6) {
            look_.color = qRgb(int(rgb >> 16) & 0xFF, int(rgb >> 8) & 0xFF, int(rgb) & 0xFF);
            at_ += 6;
        } else if (at_ + 6 <= code_.size()) {
            at_ += 6;  // a theme colour ("&K01+000"): no theme here, the colour stays
        }
    }

    // &"Family,Style": "-" keeps the family; the style names bold and italic.
    void fontName() {
        const qsizetype end = code_.indexOf(u'"', at_);
        const QString fontCode = code_.mid(at_, end < 0 ? -1 : end - at_);
        at_ = end < 0 ? code_.size() : end + 1;
        const qsizetype comma = fontCode.indexOf(u',');
        const QString family = fontCode.left(comma).trimmed();
        if (!family.isEmpty() && family != u"-")
            look_.family = family;
        if (comma >= 0) {
            const QString style = fontCode.mid(comma + 1).toLower();
            look_.bold = style.contains(u"bold");
            look_.italic = style.contains(u"italic") || style.contains(u"oblique");
        }
    }

    QString dateText() const {
        const double serial = double(QDate(1899, 12, 30).daysTo(fields_.printed.date()));
        return NumberFormat(shortDateFormatCode(fields_.locale)).format(serial).text();
    }

    const QString& code_;
    const HeaderFooterFields& fields_;
    qsizetype at_ = 0;
    HeaderSection section_ = HeaderSection::Center;
    HeaderRun look_;
    HeaderRun start_;
    HeaderSections sections_;
};

QTextCharFormat charFormat(const HeaderRun& run) {
    QFont font(substituteFamily(run.family));
    font.setPixelSize(std::max(1, int(std::lround(run.points * kUnitsPerPoint))));
    font.setBold(run.bold);
    font.setItalic(run.italic);
    font.setUnderline(run.underline || run.doubleUnderline);
    font.setStrikeOut(run.strikeout);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferNoShaping);
    QTextCharFormat format;
    format.setFont(fontForText(font, run.text));
    format.setForeground(QColor::fromRgb(run.color));
    if (run.superscript)
        format.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    if (run.subscript)
        format.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    return format;
}

}  // namespace

HeaderSections expandHeaderFooter(const QString& code, const HeaderFooterFields& fields, const Font& font) {
    return Expander(code, fields, font).run();
}

QString sectionText(const std::vector<HeaderRun>& runs) {
    QString text;
    for (const HeaderRun& run : runs)
        text += run.text;
    return text;
}

void drawHeaderFooter(QPainter& painter, const HeaderSections& sections, double left, double right,
                      double edge, bool header) {
    painter.save();
    painter.scale(1 / kUnitsPerPoint, 1 / kUnitsPerPoint);
    for (size_t s = 0; s < sections.size(); ++s) {
        const std::vector<HeaderRun>& runs = sections[s];
        if (runs.empty())
            continue;
        QString text;
        QList<QTextLayout::FormatRange> formats;
        for (const HeaderRun& run : runs) {
            QString piece = run.text;
            piece.remove(u'\r');
            piece.replace(u'\n', QChar::LineSeparator);
            formats.append({int(text.size()), int(piece.size()), charFormat(run)});
            text += piece;
        }
        QTextLayout layout(text, charFormat(runs.front()).font());
        layout.setFormats(formats);
        double height = 0;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(1e7);
            line.setPosition(QPointF(0, height));
            height += line.height();
        }
        layout.endLayout();

        const double top = header ? edge * kUnitsPerPoint : edge * kUnitsPerPoint - height;
        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine line = layout.lineAt(i);
            const double width = line.naturalTextWidth();
            double x = left * kUnitsPerPoint;
            if (HeaderSection(s) == HeaderSection::Center)
                x = (left + right) / 2 * kUnitsPerPoint - width / 2;
            if (HeaderSection(s) == HeaderSection::Right)
                x = right * kUnitsPerPoint - width;
            line.draw(&painter, QPointF(x, top));
        }
    }
    painter.restore();
}

}  // namespace spreadsheet
