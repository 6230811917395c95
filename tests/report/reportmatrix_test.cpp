// The cross-tab layout (cells, totals, colour scale, pages, CSV, HTML, XLSX read back) and the best
// and worst interval of the hour reports.

#include "enginetest.h"
#include "errors.h"
#include "reportdocument.h"
#include "reportexport.h"
#include "reportformat.h"

#include <QFont>
#include <QFontMetricsF>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QXmlStreamReader>

using namespace enginetest;
using namespace Qt::StringLiterals;

namespace {

const char *kHeatLayout = R"({"orientation": "landscape", "fixedInterval": 60, "bestWorst": "VRTOTAL",
    "matrix": {"row": "DIASEMANA", "rowLabel": "Dia da semana",
               "rowNames": ["Domingo", "Segunda", "Terça", "Quarta", "Quinta", "Sexta", "Sábado"],
               "column": "HRINICIO", "end": "HRFIM", "value": "VRTOTAL", "count": "QTVENDAS", "countLabel": "vendas"}})";

// Monday and Wednesday at 08:00 and 12:00, Saturday at 21:00; one row out of order and one pair
// split over two rows (summed).
ReportTable heatTable()
{
    ReportTable table;
    table.columns = {u"DIASEMANA"_s, u"HRINICIO"_s, u"HRFIM"_s, u"QTVENDAS"_s, u"VRTOTAL"_s};
    table.rows = {{1, 480, 539, 3, 100.0}, {1, 720, 779, 5, 500.0}, {3, 720, 779, 4, 250.0},
                  {3, 480, 539, 1, 20.0},  {3, 480, 539, 1, 30.0},  {6, 1260, 1319, 1, 10.0}};
    return table;
}

ReportModel heatModel()
{
    const ReportDefinition heat = definitionOf(kHeatLayout);
    return ReportModel::build(u"Vnd025"_s, heat, TParams(), heatTable(), screenFilters(heat, TParams()));
}

TEST(ReportMatrix, CellsTotalsAndScaleComeFromTheRows)
{
    const ReportModel model = heatModel();
    const ReportMatrix &m = model.matrix;
    ASSERT_EQ(m.rows(), 7);
    EXPECT_EQ(m.rowNames.first(), u"Domingo");
    EXPECT_EQ(m.rowNames.last(), u"Sábado");
    ASSERT_EQ(m.columnNames, (QStringList{u"08:00"_s, u"12:00"_s, u"21:00"_s}));
    struct Cell
    {
        int row, column;
        std::optional<double> value;
        qint64 count;
    };
    const Cell cells[] = {{1, 0, 100.0, 3},        {1, 1, 500.0, 5},       {1, 2, std::nullopt, 0},
                          {3, 0, 50.0, 2},         {3, 1, 250.0, 4},       {6, 2, 10.0, 1},
                          {0, 0, std::nullopt, 0}, {5, 1, std::nullopt, 0}};
    for (const Cell &c : cells) {
        SCOPED_TRACE(testing::Message() << c.row << "," << c.column);
        EXPECT_EQ(m.values.at(c.row).at(c.column), c.value);
        EXPECT_EQ(m.counts.at(c.row).at(c.column), c.count);
    }
    EXPECT_EQ(m.rowTotals, (QList<double>{0, 600, 0, 300, 0, 0, 10}));
    EXPECT_EQ(m.columnTotals, (QList<double>{150, 750, 10}));
    EXPECT_EQ(m.columnCounts, (QList<qint64>{5, 9, 1}));
    EXPECT_DOUBLE_EQ(m.total, 910);
    EXPECT_EQ(m.count, 15);
    // the scale runs over the cells that have a value, not over the empty ones (0)
    EXPECT_DOUBLE_EQ(m.minimum, 10);
    EXPECT_DOUBLE_EQ(m.maximum, 500);
    EXPECT_EQ(m.shade(10), ReportMatrix::lowColour());
    EXPECT_EQ(m.shade(500), ReportMatrix::highColour());
    EXPECT_DOUBLE_EQ(m.position(255), 0.5);
    EXPECT_EQ(m.best, 1);
    EXPECT_EQ(m.worst, 2);
    EXPECT_EQ(model.bestWorstText,
              u"Melhor horário: 12:00 às 12:59 (R$ 750,00) · Pior horário: 21:00 às 21:59 (R$ 10,00)");
    // the header says the interval is the report's own
    bool fixed = false;
    for (const auto &filter : model.filters)
        fixed = fixed || (filter.first == u"Intervalo" && filter.second == u"1 h (fixo neste relatório)");
    EXPECT_TRUE(fixed);
    // the total line holds the column totals and the grand total
    ASSERT_NE(model.totalLine(), nullptr);
    EXPECT_EQ(model.totalLine()->values.mid(1), (QVariantList{150.0, 750.0, 10.0, 910.0}));
}

TEST(ReportMatrix, CsvIsThePlainMatrix)
{
    const QByteArray bytes = ReportExport::csvBytes(heatModel());
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QString csv = QString::fromUtf8(bytes.mid(3));
    const QStringList lines = csv.split(u"\r\n"_s, Qt::SkipEmptyParts);
    const QStringList expected{u"Dia da semana;08:00;12:00;21:00;Total"_s,
                               u"Domingo;;;;"_s,
                               u"Segunda;100,00;500,00;;600,00"_s,
                               u"Terça;;;;"_s,
                               u"Quarta;50,00;250,00;;300,00"_s,
                               u"Quinta;;;;"_s,
                               u"Sexta;;;;"_s,
                               u"Sábado;;;10,00;10,00"_s};
    EXPECT_EQ(lines, expected);
}

TEST(ReportMatrix, HtmlShadesEachCellOnTheScale)
{
    const ReportModel model = heatModel();
    const QString html = QString::fromUtf8(ReportExport::htmlBytes(model));
    struct Case
    {
        double value;
        const char *text;
    };
    for (const Case &c : {Case{100, "100,00"}, Case{500, "500,00"}, Case{10, "10,00"}, Case{250, "250,00"}}) {
        const QString cell = u"style=\"background:%1\">%2<br><small>"_s.arg(
            model.matrix.shade(c.value).name().toUpper(), QLatin1String(c.text));
        EXPECT_TRUE(html.contains(cell)) << cell.toStdString();
    }
    EXPECT_EQ(html.count(u"style=\"background:#"_s), 5)
        << "one shaded cell per value, none for the empty ones";
    EXPECT_TRUE(html.contains(u"<th class=\"n best\">12:00</th>"_s));
    EXPECT_TRUE(html.contains(u"<th class=\"n worst\">21:00</th>"_s));
    EXPECT_TRUE(html.contains(u"Melhor horário: 12:00 às 12:59 (R$ 750,00)"_s));
}

// The whole day on one page: every row and every hour column, lunch beside dinner; with many
// hours of wide values the hour columns show whole reais (the day's totals keep the cents), and
// every value is printed whole, never cut.
TEST(ReportMatrix, TheWholeDayFitsOnePage)
{
    const struct
    {
        int hours;
        double scale; // the cell of hour h holds scale × (h + 1)
        int decimals;
    } cases[] = {{3, 1000.0, 2}, {24, 1000.0, 0}, {24, 1.0, 2}, {24, 40000.0, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.hours << " hours, " << c.scale);
        ReportTable table = heatTable();
        table.rows.clear();
        for (int h = 0; h < c.hours; ++h)
            table.rows.append({h % 7, h * 60, h * 60 + 59, 1, c.scale * (h + 1) + 0.25});
        const ReportDocument document(
            ReportModel::build(u"Vnd025"_s, definitionOf(kHeatLayout), TParams(), table));
        const ReportMatrix &m = document.model().matrix;
        EXPECT_EQ(m.cellDecimals, c.decimals);
        ASSERT_EQ(document.pageCount(), 1);
        EXPECT_EQ(document.pageRange(0).count, c.hours);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(u"mapa.pdf"_s);
        ReportExport::writePdf(document, pdf);
        const QString page = pdfText(pdf, 1);
        const QString flat = QString(page).remove(u' ').remove(u'\n');
        EXPECT_TRUE(page.contains(u"Sábado"_s)) << page.toStdString();
        for (int h = 0; h < c.hours; ++h) {
            EXPECT_TRUE(page.contains(ReportFormat::minutes(h * 60))) << h;
            EXPECT_TRUE(flat.contains(m.cellText(c.scale * (h + 1) + 0.25))) << h << "\n" << page.toStdString();
        }
        EXPECT_TRUE(flat.contains(m.totalText(m.total))) << page.toStdString();
        EXPECT_FALSE(page.contains(u"…"_s)) << "a value cut short:\n" << page.toStdString();
        EXPECT_TRUE(page.contains(u"Melhor horário: %1:00 às %1:59"_s.arg(c.hours - 1, 2, 10, QChar(u'0'))))
            << page.toStdString();
    }
}

// The HTML heat map of a whole day fits a 1280 px window: the widest text of each column (headings
// and totals bold, counts in the smaller size) in DejaVu Sans at the table's own size, with the
// cells' padding and borders, against the window less the page's margins and a scroll bar.
TEST(ReportMatrix, HtmlDayFitsA1280PixelWindow)
{
    // up to 168.000,00 an hour: a month of a branch open day and night
    for (const double scale : {1.0, 100.0, 1000.0}) {
        SCOPED_TRACE(scale);
        ReportTable table = heatTable();
        table.rows.clear();
        for (int h = 0; h < 24; ++h) {
            for (int day = 0; day < 7; ++day)
                table.rows.append({day, h * 60, h * 60 + 59, 1234, scale * (h + 1) + 0.25});
        }
        const ReportModel model = ReportModel::build(u"Vnd025"_s, definitionOf(kHeatLayout), TParams(), table);
        const QString html = QString::fromUtf8(ReportExport::htmlBytes(model));
        const QRegularExpression size(u"<table class=\"m\" style=\"font-size:([\\d.]+)pt\">"_s);
        const QRegularExpressionMatch match = size.match(html);
        ASSERT_TRUE(match.hasMatch());
        const qreal pixels = match.captured(1).toDouble() * 96 / 72;
        QFont plain(u"DejaVu Sans"_s), bold(u"DejaVu Sans"_s), small(u"DejaVu Sans"_s);
        plain.setPixelSize(qCeil(pixels));
        bold.setPixelSize(qCeil(pixels));
        bold.setBold(true);
        small.setPixelSize(qCeil(pixels * 0.83));
        const QFontMetricsF p(plain), b(bold), sm(small);
        // the texts as htmlBytes writes them, column by column
        const ReportMatrix &m = model.matrix;
        const QString label = m.countLabels ? u" vendas"_s : QString();
        qreal width = 0;
        qreal names = b.horizontalAdvance(u"Dia da semana"_s);
        for (const QString &name : m.rowNames)
            names = std::max(names, b.horizontalAdvance(name));
        width += names;
        for (int c = 0; c < m.columns(); ++c) {
            qreal column = std::max(b.horizontalAdvance(m.columnNames.at(c)), b.horizontalAdvance(m.cellText(m.columnTotals.at(c))));
            for (int r = 0; r < m.rows(); ++r) {
                if (m.values.at(r).at(c))
                    column = std::max(column, p.horizontalAdvance(m.cellText(*m.values.at(r).at(c))));
            }
            column = std::max(column, sm.horizontalAdvance(m.countText(m.columnCounts.at(c), label.trimmed())));
            width += column;
        }
        qreal total = std::max(b.horizontalAdvance(u"Total do dia"_s), b.horizontalAdvance(m.totalText(m.total)));
        total = std::max(total, sm.horizontalAdvance(m.countText(m.count, u"vendas"_s)));
        width += total + (m.columns() + 2) * (4 + 1) + 1;
        EXPECT_LE(width, 1280 - 2 * 24 - 17) << "at " << pixels << " px";
    }
}

TEST(ReportMatrix, LayoutMistakesAreNamed)
{
    const char *wrong[] = {
        R"({"matrix": {"row": "DIASEMANA", "column": "HRINICIO"}})",
        R"({"matrix": {"row": "A", "column": "B", "value": "C"}, "columns": [{"field": "A"}]})",
        R"({"matrix": {"row": "A", "column": "B", "value": "C", "valueType": "text"}})",
        R"({"matrix": {"row": "A", "column": "B", "value": "C"}, "bestWorst": "D"})",
        R"({"matrix": "DIASEMANA"})",
    };
    for (const char *layout : wrong) {
        SCOPED_TRACE(layout);
        EXPECT_THROW(ReportLayout::fromJson(QJsonDocument::fromJson(QByteArray(layout)).object()),
                     EHostError);
    }
    // a weekday the names do not cover is refused, not printed under the wrong day
    ReportTable table = heatTable();
    table.rows.append({7, 480, 539, 1, 1.0});
    EXPECT_THROW(ReportModel::build(u"Vnd025"_s, definitionOf(kHeatLayout), TParams(), table), EHostError);
}

// ---------------------------------------------------------------------------------------------
// Best and worst in the line reports

struct MarkCase
{
    const char *what;
    const char *layout;
    QStringList columns;
    QList<QVariantList> rows;
    QList<std::pair<ReportLine::Kind, ReportLine::Mark>> marked; // the marked lines, in order
    const char *text;
};

const ReportLine::Mark B = ReportLine::Mark::Best;
const ReportLine::Mark W = ReportLine::Mark::Worst;
const ReportLine::Kind D = ReportLine::Kind::Detail;
const ReportLine::Kind S = ReportLine::Kind::Subtotal;

TEST(ReportBestWorst, TheHighestAndLowestIntervalsAreMarked)
{
    const char *plain =
        R"({"bestWorst": "VRTOTAL", "columns": [{"field": "HRINICIO", "type": "interval", "end": "HRFIM"},
        {"field": "VRTOTAL", "type": "money", "total": true}]})";
    const char *byStore = R"({"bestWorst": "VRTOTAL", "group": {"field": "CDLOJA", "label": "Loja"},
        "columns": [{"field": "HRINICIO", "type": "interval", "end": "HRFIM"}, {"field": "VRTOTAL", "type": "money", "total": true}],
        "chart": {"label": "HRINICIO", "value": "VRTOTAL"}})";
    const char *byHour =
        R"({"bestWorst": "VRTOTAL", "group": {"field": "HRINICIO", "type": "interval", "end": "HRFIM", "title": "Horário {HRINICIO}"},
        "columns": [{"field": "CDMODALIDADE"}, {"field": "VRTOTAL", "type": "money", "total": true}],
        "chart": {"label": "HRINICIO", "value": "VRTOTAL"}})";
    const QStringList hours{u"HRINICIO"_s, u"HRFIM"_s, u"VRTOTAL"_s};
    const QStringList stores{u"CDLOJA"_s, u"HRINICIO"_s, u"HRFIM"_s, u"VRTOTAL"_s};
    const QStringList modes{u"HRINICIO"_s, u"HRFIM"_s, u"CDMODALIDADE"_s, u"VRTOTAL"_s};
    const MarkCase cases[] = {
        // a tie goes to the earliest interval, for the best as for the worst
        {"tie",
         plain,
         hours,
         {{480, 539, 10.0}, {540, 599, 30.0}, {600, 659, 5.0}, {660, 719, 30.0}, {720, 779, 5.0}},
         {{D, B}, {D, W}},
         "Melhor horário: 09:00 às 09:59 (R$ 30,00) · Pior horário: 10:00 às 10:59 (R$ 5,00)"},
        {"all equal: nothing is best", plain, hours, {{480, 539, 10.0}, {540, 599, 10.0}}, {}, ""},
        {"one interval", plain, hours, {{480, 539, 10.0}}, {}, ""},
        {"negative (returns) still ordered",
         plain,
         hours,
         {{480, 539, -4.0}, {540, 599, 2.0}},
         {{D, W}, {D, B}},
         "Melhor horário: 09:00 às 09:59 (R$ 2,00) · Pior horário: 08:00 às 08:59 (R$ -4,00)"},
        // each store's own rows; the line sums each hour over the stores
        {"per store",
         byStore,
         stores,
         {{u"01"_s, 480, 539, 10.0},
          {u"01"_s, 540, 599, 20.0},
          {u"02"_s, 480, 539, 50.0},
          {u"02"_s, 540, 599, 5.0}},
         {{D, W}, {D, B}, {D, B}, {D, W}},
         "Melhor horário: 08:00 às 08:59 (R$ 60,00) · Pior horário: 09:00 às 09:59 (R$ 25,00)"},
        {"a store with one hour is not marked",
         byStore,
         stores,
         {{u"01"_s, 480, 539, 10.0}, {u"02"_s, 480, 539, 50.0}, {u"02"_s, 540, 599, 5.0}},
         {{D, B}, {D, W}},
         "Melhor horário: 08:00 às 08:59 (R$ 60,00) · Pior horário: 09:00 às 09:59 (R$ 5,00)"},
        // grouped by the hour: the groups' subtotals are the intervals
        {"per hour group",
         byHour,
         modes,
         {{480, 539, u"1"_s, 10.0},
          {480, 539, u"2"_s, 15.0},
          {540, 599, u"1"_s, 40.0},
          {600, 659, u"1"_s, 5.0}},
         {{S, B}, {S, W}},
         "Melhor horário: 09:00 às 09:59 (R$ 40,00) · Pior horário: 10:00 às 10:59 (R$ 5,00)"},
    };
    for (const MarkCase &c : cases) {
        SCOPED_TRACE(c.what);
        ReportTable table;
        table.columns = c.columns;
        table.rows = c.rows;
        const ReportModel model = ReportModel::build(u"Vnd025"_s, definitionOf(c.layout), TParams(), table);
        QList<std::pair<ReportLine::Kind, ReportLine::Mark>> marked;
        for (const ReportLine &line : model.lines) {
            if (line.mark != ReportLine::Mark::None)
                marked.append({line.kind, line.mark});
        }
        EXPECT_EQ(marked, c.marked);
        EXPECT_EQ(model.bestWorstText, QString::fromUtf8(c.text));
    }
    // in the tie case the marked rows are the first 30,00 and the first 5,00
    ReportTable table;
    table.columns = hours;
    table.rows = cases[0].rows;
    const ReportModel model = ReportModel::build(u"Vnd025"_s, definitionOf(plain), TParams(), table);
    EXPECT_EQ(model.lines.at(1).mark, B);
    EXPECT_EQ(model.lines.at(3).mark, ReportLine::Mark::None);
    EXPECT_EQ(model.lines.at(2).mark, W);
    EXPECT_EQ(model.lines.at(4).mark, ReportLine::Mark::None);
}

TEST(ReportBestWorst, NeedsAnIntervalAndItsField)
{
    ReportTable table;
    table.columns = {u"DTVENDA"_s, u"VRTOTAL"_s};
    table.rows = {{u"2025-06-01"_s, 1.0}, {u"2025-06-02"_s, 2.0}};
    for (
        const char *layout :
        {R"({"bestWorst": "VRTOTAL", "columns": [{"field": "DTVENDA", "type": "date"}, {"field": "VRTOTAL", "type": "money"}]})",
         R"({"bestWorst": "VRXX", "columns": [{"field": "DTVENDA", "type": "interval", "end": "DTVENDA"}]})"}) {
        SCOPED_TRACE(layout);
        EXPECT_THROW(ReportModel::build(u"Vnd025"_s, definitionOf(layout), TParams(), table), EHostError);
    }
}

// ---------------------------------------------------------------------------------------------
// XLSX read back: unzip the parts and read their XML.

QString part(const QString &file, const QString &name)
{
    return tool(u"unzip"_s, {u"-p"_s, file, name});
}

// The fill colour ("FFD9EED0") of each cell style, by the style's index.
QStringList fillsOfStyles(const QString &styles)
{
    QStringList fills, xfFills;
    QXmlStreamReader xml(styles);
    bool inFills = false, inCellXfs = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == u"fills")
                inFills = true;
            else if (name == u"cellXfs")
                inCellXfs = true;
            else if (inFills && name == u"fill")
                fills << QString();
            else if (inFills && name == u"fgColor" && !fills.isEmpty())
                fills.last() = xml.attributes().value(u"rgb"_s).toString();
            else if (inCellXfs && name == u"xf")
                xfFills << xml.attributes().value(u"fillId"_s).toString();
        } else if (xml.isEndElement()) {
            if (xml.name() == u"fills")
                inFills = false;
            else if (xml.name() == u"cellXfs")
                inCellXfs = false;
        }
    }
    QStringList result;
    for (const QString &id : std::as_const(xfFills))
        result << fills.value(id.toInt());
    return result;
}

struct Sheet
{
    QHash<QString, int> styleOf; // cell reference -> style index
    QHash<QString, QString> valueOf;
    QHash<QString, QString> formulaOf;
    QStringList colourScales; // sqref of each two-colour scale
    QStringList scaleColours;
};

Sheet readSheet(const QString &xmlText)
{
    Sheet sheet;
    QXmlStreamReader xml(xmlText);
    QString cell, sqref;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == u"c") {
                cell = xml.attributes().value(u"r"_s).toString();
                sheet.styleOf.insert(cell, xml.attributes().value(u"s"_s).toInt());
            } else if (xml.name() == u"v") {
                sheet.valueOf.insert(cell, xml.readElementText());
            } else if (xml.name() == u"f") {
                sheet.formulaOf.insert(cell, xml.readElementText());
            } else if (xml.name() == u"conditionalFormatting") {
                sqref = xml.attributes().value(u"sqref"_s).toString();
            } else if (xml.name() == u"colorScale") {
                sheet.colourScales << sqref;
            } else if (xml.name() == u"color") {
                sheet.scaleColours << xml.attributes().value(u"rgb"_s).toString();
            }
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return sheet;
}

TEST(ReportMatrix, XlsxHasAColourScaleOverTheCellsAndMarksTheHours)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"mapa.xlsx"_s);
    ReportExport::writeXlsx(heatModel(), file);
    testsupport::keepWorkbook(file);
    const Sheet sheet = readSheet(part(file, u"xl/worksheets/sheet1.xml"_s));
    const QStringList fills = fillsOfStyles(part(file, u"xl/styles.xml"_s));
    // title, the filter line, the issue time, the best and worst line and a blank row: heading on
    // row 6, Domingo..Sábado on rows 7..13, three hours in B..D, the day's total in E
    EXPECT_EQ(sheet.colourScales, QStringList{u"B7:D13"_s});
    EXPECT_EQ(sheet.scaleColours, (QStringList{u"FFFFF4E0"_s, u"FFF07C38"_s}));
    struct Value
    {
        const char *ref;
        const char *value;
    };
    for (const Value &v : {Value{"B8", "100"}, Value{"C8", "500"}, Value{"B10", "50"}, Value{"D13", "10"},
                           Value{"E8", "600"}, Value{"C14", "750"}, Value{"E14", "910"}}) {
        EXPECT_EQ(sheet.valueOf.value(QLatin1String(v.ref)), QLatin1String(v.value)) << v.ref;
    }
    EXPECT_FALSE(sheet.valueOf.contains(u"B7"_s)) << "Sunday sold nothing at 08:00";
    // the best hour (12:00, column C) and the worst (21:00, D) in their colours, heading and total
    for (const char *ref : {"C6", "C14"})
        EXPECT_EQ(fills.value(sheet.styleOf.value(QLatin1String(ref))), u"FFD9EED0"_s) << ref;
    for (const char *ref : {"D6", "D14"})
        EXPECT_EQ(fills.value(sheet.styleOf.value(QLatin1String(ref))), u"FFF9DADA"_s) << ref;
    EXPECT_NE(fills.value(sheet.styleOf.value(u"B14"_s)), u"FFD9EED0"_s);
    // the counts below: "Número de vendas" on row 16, its heading on 17, Monday on 19
    EXPECT_EQ(sheet.valueOf.value(u"C19"_s), u"5"_s);
    EXPECT_EQ(sheet.valueOf.value(u"B21"_s), u"2"_s);
    EXPECT_EQ(sheet.valueOf.value(u"E25"_s), u"15"_s);
    // each total sums its own row or column: a day's over its hours (B..D), an hour's over the days,
    // in the values' table (rows 7..13, totals on 14) and in the counts' (18..24, totals on 25)
    for (const int top : {7, 18}) {
        for (int row = top; row < top + 7; ++row)
            EXPECT_EQ(sheet.formulaOf.value(u"E%1"_s.arg(row)), u"SUM(B%1:D%1)"_s.arg(row)) << row;
        for (const char *column : {"B", "C", "D", "E"})
            EXPECT_EQ(sheet.formulaOf.value(QLatin1String(column) + QString::number(top + 7)),
                      u"SUM(%1%2:%1%3)"_s.arg(QLatin1String(column)).arg(top).arg(top + 6))
                << column;
    }
}

TEST(ReportBestWorst, XlsxRowsCarryTheMark)
{
    ReportTable table;
    table.columns = {u"HRINICIO"_s, u"HRFIM"_s, u"QTVENDAS"_s, u"VRTOTAL"_s};
    table.rows = {{480, 539, 2, 10.0}, {540, 599, 4, 30.0}, {600, 659, 1, 5.0}};
    const ReportModel model = ReportModel::build(
        u"Vnd025"_s,
        definitionOf(
            R"({"bestWorst": "VRTOTAL", "columns": [{"field": "HRINICIO", "type": "interval", "end": "HRFIM"},
            {"field": "QTVENDAS", "type": "integer", "total": true}, {"field": "VRTOTAL", "type": "money", "total": true}]})"),
        TParams(), table);
    QTemporaryDir dir;
    const QString file = dir.filePath(u"horas.xlsx"_s);
    ReportExport::writeXlsx(model, file);
    testsupport::keepWorkbook(file);
    const Sheet sheet = readSheet(part(file, u"xl/worksheets/sheet1.xml"_s));
    const QStringList fills = fillsOfStyles(part(file, u"xl/styles.xml"_s));
    // rows 6, 7, 8: the 09:00 row is the best, the 10:00 row the worst, every cell of each
    for (const char *column : {"A", "B", "C"}) {
        EXPECT_EQ(fills.value(sheet.styleOf.value(QLatin1String(column) + u"7"_s)), u"FFD9EED0"_s) << column;
        EXPECT_EQ(fills.value(sheet.styleOf.value(QLatin1String(column) + u"8"_s)), u"FFF9DADA"_s) << column;
        EXPECT_TRUE(fills.value(sheet.styleOf.value(QLatin1String(column) + u"6"_s)).isEmpty()) << column;
    }
    EXPECT_EQ(sheet.valueOf.value(u"C7"_s), u"30"_s);
    // HTML: the two rows by their class, the line under the chart's place
    const QString html = QString::fromUtf8(ReportExport::htmlBytes(model));
    EXPECT_TRUE(html.contains(u"<tr class=\"d best\"><td>09:00 às 09:59</td>"_s)) << html.toStdString();
    EXPECT_TRUE(html.contains(u"<tr class=\"d worst\"><td>10:00 às 10:59</td>"_s));
    EXPECT_EQ(html.count(u"class=\"d best\""_s) + html.count(u"class=\"d worst\""_s), 2);
    // the page: the line above the rows, as text in the PDF
    const ReportDocument document{ReportModel(model)};
    const QString pdf = dir.filePath(u"horas.pdf"_s);
    ReportExport::writePdf(document, pdf);
    const QString text = pdfText(pdf, 1).simplified();
    const qsizetype line = text.indexOf(u"Melhor horário: 09:00 às 09:59 (R$ 30,00) · Pior horário: 10:00 às 10:59 (R$ 5,00)"_s);
    EXPECT_GE(line, 0) << text.toStdString();
    EXPECT_LT(line, text.indexOf(u"08:00 às 08:59"_s));
    const QString shared = part(file, u"xl/worksheets/sheet1.xml"_s);
    EXPECT_TRUE(shared.contains(
        u"Melhor horário: 09:00 às 09:59 (R$ 30,00) · Pior horário: 10:00 às 10:59 (R$ 5,00)"_s));
}

} // namespace
