#pragma once

// Page headers and footers: the page setup's text with its codes (&L &C &R sections, &P page, &N pages,
// &D date, &T time, &F file, &Z folder, &A sheet, &"font,style", &size, &B &I &U &E &S &X &Y, &Kcolour,
// &&) turned into three sections of styled text and drawn inside the page's side margins.

#include <QDateTime>
#include <QLocale>
#include <QPainter>
#include <QRgb>
#include <QString>
#include <array>
#include <vector>

#include "spreadsheet/workbook.h"

namespace spreadsheet {

struct HeaderFooterFields {
    int page = 1;   // the number printed by &P
    int pages = 1;  // &N
    QString sheetName;
    QString fileName;  // &F
    QString folder;    // &Z
    QDateTime printed;
    QLocale locale = QLocale::c();  // how &D and &T are written
};

struct HeaderRun {
    QString text;  // line breaks as '\n'
    QString family;
    double points = 10;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool doubleUnderline = false;
    bool strikeout = false;
    bool superscript = false;
    bool subscript = false;
    QRgb color = qRgb(0, 0, 0);
};

enum class HeaderSection { Left = 0, Center = 1, Right = 2 };
using HeaderSections = std::array<std::vector<HeaderRun>, 3>;

// Expands a header or footer text. Text before any section code belongs to the centre section; each
// section starts in `font`, and its codes change only its own text. An unknown code prints nothing, as
// in a spreadsheet.
HeaderSections expandHeaderFooter(const QString& code, const HeaderFooterFields& fields, const Font& font);

// The plain text of a section, for tests and messages.
QString sectionText(const std::vector<HeaderRun>& runs);

// Draws the sections in a painter whose units are points. A header hangs down from `edge` (the
// header margin from the paper's top); a footer stands on it (the footer margin from the bottom).
void drawHeaderFooter(QPainter& painter, const HeaderSections& sections, double left, double right,
                      double edge, bool header);

}  // namespace spreadsheet
