#include "spreadsheet/biff/write_chart.h"

#include <cmath>
#include <limits>

#include "spreadsheet/biff/write_records.h"
#include "spreadsheet/error.h"

namespace spreadsheet::biff {

namespace {

// Record ids of the chart substream and the drawing layer.
namespace chart_id {
inline constexpr quint16 MsoDrawingGroup = 0x00EB, MsoDrawing = 0x00EC, Obj = 0x005D, PrintSize = 0x0033,
                         Units = 0x1001, ChartRecord = 0x1002, Series = 0x1003, DataFormat = 0x1006,
                         LineFormat = 0x1007, MarkerFormat = 0x1009, AreaFormat = 0x100A, PieFormat = 0x100B,
                         SeriesText = 0x100D, ChartFormat = 0x1014, Legend = 0x1015, Line = 0x1018,
                         Axis = 0x101D, Tick = 0x101E, ValueRange = 0x101F, CatSerRange = 0x1020,
                         AxisLine = 0x1021, CrtLink = 0x1022, Text = 0x1025, ObjectLink = 0x1027,
                         Frame = 0x1032, Begin = 0x1033, End = 0x1034, PlotArea = 0x1035, AxisParent = 0x1041,
                         ShtProps = 0x1044, SerToCrt = 0x1045, AxesUsed = 0x1046, IFmtRecord = 0x104E,
                         Pos = 0x104F, Brai = 0x1051, AxcExt = 0x1062, PlotGrowth = 0x1064, SiIndex = 0x1065;
}  // namespace chart_id

using namespace chart_id;

constexpr quint16 kAutomaticTextColour = 0x4D;  // icv of the window text
constexpr quint16 kAutomaticBackColour = 0x4E;  // icv of the window background
constexpr quint32 kShapesPerDrawing = 1024;     // each drawing numbers its shapes from d * 1024
constexpr quint16 kChartObjectType = 0x0005;
constexpr quint8 kPtgArea3d = 0x3B;

// ---- the drawing layer ([MS-ODRAW]) --------------------------------------------------------------

void artHeader(RecordBuffer& b, quint16 version, quint16 instance, quint16 type, quint32 length) {
    b.u16(quint16(version | (instance << 4)));
    b.u16(type);
    b.u32(length);
}

QByteArray artAtom(quint16 version, quint16 instance, quint16 type, const QByteArray& body) {
    RecordBuffer b;
    artHeader(b, version, instance, type, quint32(body.size()));
    b.raw(body);
    return b.bytes();
}

QByteArray artContainer(quint16 type, const QByteArray& children) {
    return artAtom(0xF, 0, type, children);
}

struct SheetDrawing {
    int sheet = -1;
    quint32 number = 0;  // the drawing's id, from 1
    quint32 shapes = 0;  // the group shape and one per chart
};

std::vector<SheetDrawing> drawingsOf(const Workbook& workbook) {
    std::vector<SheetDrawing> drawings;
    for (size_t i = 0; i < workbook.sheets.size(); ++i) {
        if (workbook.sheets[i].charts.empty())
            continue;
        drawings.push_back(
            {int(i), quint32(drawings.size() + 1), quint32(workbook.sheets[i].charts.size() + 1)});
    }
    return drawings;
}

// One chart's shape: a host control anchored to its cells, with the fill and line Excel gives charts.
QByteArray chartShape(quint32 shapeId, const CellRange& placement) {
    RecordBuffer fsp;
    fsp.u32(shapeId);
    fsp.u32(0x00000A00);  // fHaveAnchor | fHaveSpt
    RecordBuffer options;
    const std::pair<quint16, quint32> properties[] = {
        {0x007F, 0x01040104},  // protection: no grouping, no text editing
        {0x00BF, 0x00080008},  // text: fit to shape
        {0x0181, 0x0800004E},  // fill colour: the window background
        {0x0183, 0x0800004D},  // fill back colour: the window text
        {0x01BF, 0x00110010},  // fill: filled, hit-tested
        {0x01C0, 0x0800004D},  // line colour: the window text
        {0x01FF, 0x00080008},  // line: no line
        {0x023F, 0x00020000},  // shadow: none
        {0x03BF, 0x00080000},  // group: printed
    };
    for (const auto& [id, value] : properties) {
        options.u16(id);
        options.u32(value);
    }
    RecordBuffer anchor;
    anchor.u16(0);  // moves and sizes with its cells
    anchor.u16(quint16(placement.first.column));
    anchor.u16(0);
    anchor.u16(quint16(placement.first.row));
    anchor.u16(0);
    anchor.u16(quint16(placement.last.column + 1));
    anchor.u16(0);
    anchor.u16(quint16(placement.last.row + 1));
    anchor.u16(0);
    QByteArray children = artAtom(2, 0x00C9, 0xF00A, fsp.bytes());  // msosptHostControl
    children += artAtom(3, quint16(std::size(properties)), 0xF00B, options.bytes());
    children += artAtom(0, 0, 0xF010, anchor.bytes());
    children += artAtom(0, 0, 0xF011, {});
    return artContainer(0xF004, children);
}

// The sheet's drawing: its first MSODRAWING holds the containers' headers, the group shape and the first
// chart's shape; each later chart's shape has an MSODRAWING of its own, counted in the containers'
// lengths, as the format splits a drawing among the objects it holds.
std::vector<QByteArray> drawingRecords(const SheetDrawing& drawing, const std::vector<Chart>& charts) {
    const quint32 firstId = drawing.number * kShapesPerDrawing;
    RecordBuffer groupBox;
    groupBox.zeros(16);
    RecordBuffer groupFsp;
    groupFsp.u32(firstId);
    groupFsp.u32(0x00000005);  // fGroup | fPatriarch
    const QByteArray groupShape = artContainer(
        0xF004, artAtom(1, 0, 0xF009, groupBox.bytes()) + artAtom(2, 0, 0xF00A, groupFsp.bytes()));
    std::vector<QByteArray> shapes;
    for (size_t i = 0; i < charts.size(); ++i)
        shapes.push_back(chartShape(firstId + 1 + quint32(i), charts[i].placement));
    qint64 shapesLength = groupShape.size();
    for (const QByteArray& shape : shapes)
        shapesLength += shape.size();

    RecordBuffer fdg;
    fdg.u32(drawing.shapes);
    fdg.u32(firstId + drawing.shapes - 1);
    const QByteArray fdgAtom = artAtom(0, quint16(drawing.number), 0xF008, fdg.bytes());
    RecordBuffer first;
    artHeader(first, 0xF, 0, 0xF002, quint32(fdgAtom.size() + 8 + shapesLength));
    first.raw(fdgAtom);
    artHeader(first, 0xF, 0, 0xF003, quint32(shapesLength));
    first.raw(groupShape);
    first.raw(shapes.front());
    std::vector<QByteArray> records{first.bytes()};
    for (size_t i = 1; i < shapes.size(); ++i)
        records.push_back(shapes[i]);
    return records;
}

QByteArray chartObject(quint16 objectId) {
    RecordBuffer b;
    b.u16(0x0015);  // ftCmo
    b.u16(0x0012);
    b.u16(kChartObjectType);
    b.u16(objectId);
    b.u16(0x6011);  // locked, printed, automatic fill and line
    b.zeros(12);
    b.u32(0);  // ftEnd
    return b.bytes();
}

// ---- the chart substream ([MS-XLS] 2.1.7.20.1) ---------------------------------------------------

void fixedPoint(RecordBuffer& b, double value) {
    const qint64 fixed = std::llround(value * 65536.0);
    b.u32(quint32(fixed));
}

void longRgb(RecordBuffer& b, QRgb colour) {
    b.u8(quint8(qRed(colour)));
    b.u8(quint8(qGreen(colour)));
    b.u8(quint8(qBlue(colour)));
    b.u8(0);
}

// The palette index nearest to a colour, for readers that take the index instead of the colour.
quint16 nearestColourIndex(QRgb colour) {
    const auto& palette = Workbook::standardPalette();
    int best = 0;
    long bestDistance = std::numeric_limits<long>::max();
    for (size_t i = 0; i < palette.size(); ++i) {
        const long dr = qRed(palette[i]) - qRed(colour), dg = qGreen(palette[i]) - qGreen(colour),
                   db = qBlue(palette[i]) - qBlue(colour);
        const long distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = int(i);
        }
    }
    return quint16(best + 8);
}

class ChartWriter {
public:
    ChartWriter(RecordStream& stream, const Workbook& workbook, int sheetIndex, const Chart& chart)
        : out_(stream),
          sheet_(workbook.sheets[size_t(sheetIndex)]),
          chart_(chart),
          ixti_(externSheetOf(workbook, sheetIndex)) {}

    void write() {
        out_.append(id::Bof, bof(SubstreamType::Chart));
        out_.append(id::Header);
        out_.append(id::Footer);
        out_.append(id::HCenter, u16Record(0));
        out_.append(id::VCenter, u16Record(0));
        out_.append(id::Setup, setup(PageSetup{}));
        out_.append(PrintSize, u16Record(3));
        out_.append(Units, u16Record(0));
        RecordBuffer size;
        fixedPoint(size, 0);
        fixedPoint(size, 0);
        fixedPoint(size, widthPoints());
        fixedPoint(size, heightPoints());
        out_.append(ChartRecord, size);
        begin();
        RecordBuffer scale;
        scale.u16(1);
        scale.u16(1);
        out_.append(id::Scl, scale);
        RecordBuffer growth;
        fixedPoint(growth, 1);
        fixedPoint(growth, 1);
        out_.append(PlotGrowth, growth);
        frame(0x0000, qRgb(255, 255, 255), true);
        for (size_t i = 0; i < chart_.series.size(); ++i)
            series(i);
        RecordBuffer properties;
        properties.u16(0x0002);  // only visible cells; the plot area laid out by the reader
        properties.u8(0);        // empty cells leave gaps
        properties.u8(0);
        out_.append(ShtProps, properties);
        out_.append(AxesUsed, u16Record(1));
        axisParent();
        if (!chart_.title.isEmpty())
            title();
        end();
        seriesData();
        out_.append(id::Eof);
    }

private:
    static quint16 externSheetOf(const Workbook& workbook, int sheetIndex) {
        for (size_t i = 0; i < workbook.externSheets.size(); ++i) {
            const ExternSheet& entry = workbook.externSheets[i];
            if (entry.supportingBook < workbook.supportingBooks.size() &&
                workbook.supportingBooks[entry.supportingBook].kind == SupportingBook::Kind::Self &&
                entry.firstSheet == sheetIndex && entry.lastSheet == sheetIndex)
                return quint16(i);
        }
        throw SpreadsheetError(
            QStringLiteral(
                "The sheet \"%1\" has a chart but no EXTERNSHEET entry for its series to refer to.")
                .arg(workbook.sheets[size_t(sheetIndex)].name));
    }

    double columnPixels(int column) const {
        constexpr double kDigit = 7;  // Arial 10's digit, the Normal style's
        const std::optional<quint16> width = sheet_.columnWidth(column);
        if (!width)
            return std::trunc((sheet_.defaultColumnWidth * 256 + std::trunc(128 / kDigit)) / 256 * kDigit) +
                   5;
        return std::trunc((*width + std::trunc(128 / kDigit)) / 256 * kDigit);
    }
    double widthPoints() const {
        double pixels = 0;
        for (int c = chart_.placement.first.column; c <= chart_.placement.last.column; ++c)
            pixels += columnPixels(c);
        return pixels * 0.75;
    }
    double heightPoints() const {
        double twips = 0;
        for (int r = chart_.placement.first.row; r <= chart_.placement.last.row; ++r)
            twips += sheet_.rowHeightTwips(r);
        return twips / 20;
    }

    void begin() { out_.append(Begin); }
    void end() { out_.append(End); }

    void lineFormat(QRgb colour, qint16 weight, quint16 pattern = 0, bool automatic = false,
                    bool axis = false) {
        RecordBuffer b;
        longRgb(b, colour);
        b.u16(pattern);  // 0 solid, 5 none
        b.u16(quint16(weight));
        // fAuto | fAutoCo; fAxisOn shows an axis (its line, marks and labels).
        b.u16(quint16((automatic ? 0x0009 : 0x0000) | (axis ? 0x0004 : 0x0000)));
        b.u16(automatic ? kAutomaticTextColour : nearestColourIndex(colour));
        out_.append(LineFormat, b);
    }

    void areaFormat(QRgb colour, bool filled, bool automatic) {
        RecordBuffer b;
        longRgb(b, colour);
        longRgb(b, qRgb(0, 0, 0));
        b.u16(filled ? 1 : 0);
        b.u16(automatic ? 0x0001 : 0x0000);
        b.u16(automatic ? kAutomaticBackColour : nearestColourIndex(colour));
        b.u16(kAutomaticTextColour);
        out_.append(AreaFormat, b);
    }

    void frame(quint16 border, QRgb fill, bool automatic) {
        RecordBuffer b;
        b.u16(border);
        b.u16(0x0003);  // sized and placed automatically
        out_.append(Frame, b);
        begin();
        lineFormat(qRgb(0, 0, 0), 0, 0, automatic);
        areaFormat(fill, true, automatic);
        end();
    }

    void pos(quint16 topLeftMode, quint16 bottomRightMode, qint16 x1, qint16 y1, qint16 x2, qint16 y2) {
        RecordBuffer b;
        b.u16(topLeftMode);
        b.u16(bottomRightMode);
        for (qint16 value : {x1, y1, x2, y2}) {
            b.u16(quint16(value));
            b.u16(0);
        }
        out_.append(Pos, b);
    }

    void area3d(RecordBuffer& b, const CellRange& range) const {
        b.u16(11);  // cce
        b.u8(kPtgArea3d);
        b.u16(ixti_);
        b.u16(quint16(range.first.row));
        b.u16(quint16(range.last.row));
        b.u16(quint16(range.first.column));  // absolute: no relative flags
        b.u16(quint16(range.last.column));
    }

    // BRAI: id 0 the name, 1 the values, 2 the categories, 3 bubble sizes; rt 1 text, 2 reference.
    void brai(quint8 which, const CellRange* range, quint16 format = 0) {
        RecordBuffer b;
        b.u8(which);
        b.u8(range ? 2 : 1);
        b.u16(format ? 0x0001 : 0x0000);  // fUnlinkedIfmt
        b.u16(format);
        if (range)
            area3d(b, *range);
        else
            b.u16(0);
        out_.append(Brai, b);
    }

    void seriesText(const QString& text) {
        RecordBuffer b;
        b.u16(0);
        b.shortString(text.left(255));
        out_.append(SeriesText, b);
    }

    void series(size_t index) {
        const ChartSeries& s = chart_.series[index];
        const int points = std::max(s.values.rowCount(), s.values.columnCount());
        RecordBuffer b;
        b.u16(1);  // categories: numbers (dates are numbers)
        b.u16(1);  // values: numbers
        b.u16(quint16(points));
        b.u16(quint16(points));
        b.u16(1);
        b.u16(0);
        out_.append(Series, b);
        begin();
        brai(0, nullptr);
        seriesText(s.name);
        brai(1, &s.values);
        brai(2, &s.categories);
        brai(3, nullptr);
        RecordBuffer format;
        format.u16(0xFFFF);  // the whole series
        format.u16(quint16(index));
        format.u16(quint16(index));
        format.u16(0);
        out_.append(DataFormat, format);
        begin();
        lineFormat(s.colour, 1);
        areaFormat(s.colour, true, false);
        out_.append(PieFormat, u16Record(0));
        RecordBuffer marker;
        longRgb(marker, s.colour);
        longRgb(marker, s.colour);
        marker.u16(chart_.markers ? 2 : 0);  // diamonds, or none
        marker.u16(0);
        marker.u16(nearestColourIndex(s.colour));
        marker.u16(nearestColourIndex(s.colour));
        marker.u32(100);  // twips
        out_.append(MarkerFormat, marker);
        end();
        out_.append(SerToCrt, u16Record(0));
        end();
    }

    void tick(quint8 labels, quint16 rotation) {
        RecordBuffer b;
        b.u8(2);  // major marks outside
        b.u8(0);  // no minor marks
        b.u8(labels);
        b.u8(1);  // transparent background
        longRgb(b, qRgb(0, 0, 0));
        b.zeros(16);
        b.u16(rotation ? 0x0003 : 0x0023);  // automatic colour and mode; automatic rotation unless given
        b.u16(kAutomaticTextColour);
        b.u16(rotation);
        out_.append(Tick, b);
    }

    void axis(quint16 type) {
        RecordBuffer b;
        b.u16(type);
        b.zeros(16);
        out_.append(Axis, b);
    }

    void categoryAxis() {
        axis(0);
        begin();
        RecordBuffer range;
        range.u16(1);       // crosses at the first category
        range.u16(1);       // every label
        range.u16(1);       // every mark
        range.u16(0x0001);  // the value axis between categories
        out_.append(CatSerRange, range);
        RecordBuffer extent;
        extent.zeros(16);
        extent.u16(0x00EF);  // everything automatic
        out_.append(AxcExt, extent);
        tick(3, 0);
        out_.append(AxisLine, u16Record(0));
        lineFormat(qRgb(0, 0, 0), 0, 0, true, true);
        end();
    }

    void valueAxis() {
        axis(1);
        begin();
        RecordBuffer range;
        for (int i = 0; i < 5; ++i)
            range.f64(0);
        range.u16(0x001F);  // minimum, maximum, steps and crossing automatic
        out_.append(ValueRange, range);
        if (chart_.valueFormat != 0)
            out_.append(IFmtRecord, u16Record(chart_.valueFormat));
        tick(3, 0);
        out_.append(AxisLine, u16Record(0));
        lineFormat(qRgb(0, 0, 0), 0, 0, true, true);
        out_.append(AxisLine, u16Record(1));  // major gridlines
        lineFormat(qRgb(0xC0, 0xC0, 0xC0), -1);
        end();
    }

    void legend() {
        RecordBuffer b;
        b.zeros(16);
        b.u8(0);        // at the bottom, for readers that still read it here
        b.u8(1);        // medium spacing
        b.u16(0x000F);  // placed automatically
        out_.append(Legend, b);
        begin();
        pos(5, 2, 0, 0, 0, 0);
        label(false);
        end();
    }

    // A text the chart makes itself (the legend's), or the chart's title.
    void label(bool isTitle) {
        RecordBuffer b;
        b.u8(2);  // centred
        b.u8(2);
        b.u16(1);  // transparent
        longRgb(b, qRgb(0, 0, 0));
        b.zeros(16);
        b.u16(isTitle ? 0x0081 : 0x00B1);  // automatic colour and mode; the legend's text is generated
        b.u16(kAutomaticTextColour);
        b.u16(0);
        b.u16(0);
        out_.append(Text, b);
        begin();
        pos(2, 2, 0, 0, 0, 0);
        brai(0, nullptr);
        if (isTitle) {
            seriesText(chart_.title);
            RecordBuffer link;
            link.u16(1);  // the chart's title
            link.u16(0);
            link.u16(0);
            out_.append(ObjectLink, link);
        }
        end();
    }

    void title() { label(true); }

    void axisParent() {
        RecordBuffer b;
        b.u16(0);
        b.zeros(16);
        out_.append(AxisParent, b);
        begin();
        // The plot area, in 1/4000 of the chart's width and height.
        pos(2, 2, 250, 500, 3500, 2800);
        categoryAxis();
        valueAxis();
        out_.append(PlotArea);
        frame(0x0000, qRgb(255, 255, 255), false);
        RecordBuffer format;
        format.zeros(16);
        format.u16(0);
        format.u16(0);
        out_.append(ChartFormat, format);
        begin();
        out_.append(Line, u16Record(0));
        out_.append(CrtLink, QByteArray(10, '\0'));
        legend();
        end();
        end();
    }

    // The values as the chart last showed them: the cells the series refer to.
    void seriesData() {
        int points = 0;
        for (const ChartSeries& s : chart_.series)
            points = std::max({points, s.values.rowCount() * s.values.columnCount(),
                               s.categories.rowCount() * s.categories.columnCount()});
        RecordBuffer size;
        size.u32(0);
        size.u32(quint32(points));
        size.u16(0);
        size.u16(quint16(chart_.series.size()));
        size.u16(0);
        out_.append(id::Dimensions, size);
        const auto cached = [&](quint16 kind, auto rangeOf) {
            out_.append(SiIndex, u16Record(kind));
            for (size_t i = 0; i < chart_.series.size(); ++i) {
                const CellRange range = rangeOf(chart_.series[i]);
                int point = 0;
                for (int r = range.first.row; r <= range.last.row; ++r) {
                    for (int c = range.first.column; c <= range.last.column; ++c, ++point) {
                        const Cell* cell = sheet_.cell({r, c});
                        if (cell && cell->number())
                            out_.append(id::Number, number({point, int(i)}, 0, *cell->number()));
                    }
                }
            }
        };
        cached(1, [](const ChartSeries& s) { return s.values; });
        cached(2, [](const ChartSeries& s) { return s.categories; });
        out_.append(SiIndex, u16Record(3));
    }

    RecordStream& out_;
    const Worksheet& sheet_;
    const Chart& chart_;
    quint16 ixti_;
};

bool isLine(const CellRange& range) {
    return range.first.isValid() && range.last.isValid() && range.first.row <= range.last.row &&
           range.first.column <= range.last.column && (range.rowCount() == 1 || range.columnCount() == 1);
}

}  // namespace

bool hasCharts(const Workbook& workbook) {
    for (const Worksheet& sheet : workbook.sheets)
        if (!sheet.charts.empty())
            return true;
    return false;
}

void validateCharts(const Workbook& workbook) {
    if (!hasCharts(workbook))
        return;
    for (const KeptRecord& record : workbook.kept)
        if (record.id == MsoDrawingGroup)
            throw SpreadsheetError(
                QStringLiteral("Charts cannot be added to a workbook that keeps drawings of its own."));
    for (const Worksheet& sheet : workbook.sheets) {
        if (sheet.charts.empty())
            continue;
        for (const KeptRecord& record : sheet.kept)
            if (record.id == MsoDrawing)
                throw SpreadsheetError(
                    QStringLiteral(
                        "The sheet \"%1\" keeps drawings of its own; a chart cannot be added to it.")
                        .arg(sheet.name));
        for (const Chart& chart : sheet.charts) {
            const CellRange& at = chart.placement;
            if (!at.first.isValid() || !at.last.isValid() || at.first.row > at.last.row ||
                at.first.column > at.last.column || at.last.column + 1 >= kMaxColumns ||
                at.last.row + 1 >= kMaxRows)
                throw SpreadsheetError(
                    QStringLiteral("A chart on \"%1\" is placed outside the sheet.").arg(sheet.name));
            if (chart.series.empty() || chart.series.size() > 255)
                throw SpreadsheetError(
                    QStringLiteral("A chart on \"%1\" has no series to show.").arg(sheet.name));
            for (const ChartSeries& s : chart.series) {
                const int points = s.values.rowCount() * s.values.columnCount();
                if (!isLine(s.values) || !isLine(s.categories) ||
                    points != s.categories.rowCount() * s.categories.columnCount() || points > 32000)
                    throw SpreadsheetError(
                        QStringLiteral(
                            "The series \"%1\" needs one row or column of values and as many categories.")
                            .arg(s.name));
            }
        }
    }
}

QByteArray drawingGroup(const Workbook& workbook) {
    const std::vector<SheetDrawing> drawings = drawingsOf(workbook);
    quint32 shapes = 0;
    quint32 maxId = 0;
    RecordBuffer clusters;
    for (const SheetDrawing& drawing : drawings) {
        shapes += drawing.shapes;
        maxId = drawing.number * kShapesPerDrawing + drawing.shapes;
        clusters.u32(drawing.number);
        clusters.u32(drawing.shapes + 1);
    }
    RecordBuffer block;
    block.u32(maxId);
    block.u32(quint32(drawings.size() + 1));
    block.u32(shapes);
    block.u32(quint32(drawings.size()));
    block.raw(clusters.bytes());
    return artContainer(0xF000, artAtom(0, 0, 0xF006, block.bytes()));
}

void writeCharts(RecordStream& stream, const Workbook& workbook, const Worksheet& sheet) {
    if (sheet.charts.empty())
        return;
    int sheetIndex = 0;
    while (&workbook.sheets[size_t(sheetIndex)] != &sheet)
        ++sheetIndex;
    SheetDrawing drawing;
    for (const SheetDrawing& d : drawingsOf(workbook))
        if (d.sheet == sheetIndex)
            drawing = d;
    const std::vector<QByteArray> drawings = drawingRecords(drawing, sheet.charts);
    for (size_t i = 0; i < sheet.charts.size(); ++i) {
        stream.append(MsoDrawing, drawings[i]);
        stream.append(Obj, chartObject(quint16(i + 1)));
        ChartWriter(stream, workbook, sheetIndex, sheet.charts[i]).write();
    }
}

}  // namespace spreadsheet::biff
