// Pages of a report: where they break, what a continued page repeats, totals on one line, and the
// chart's bars and labels, read back from the PDF as a reader would see them.

#include "enginetest.h"
#include "pdfpages.h"
#include "reportdocument.h"
#include "reportexport.h"

#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <algorithm>
#include <thread>

using namespace enginetest;

namespace {

// Days over branches, `sizes[i]` rows in branch i.
ReportTable branchTable(const QList<int> &sizes)
{
    ReportTable table;
    table.columns = {QStringLiteral("CDFILIAL"), QStringLiteral("NMFILIAL"), QStringLiteral("DTVENDA"),
                     QStringLiteral("QTVENDAS"), QStringLiteral("VRTOTAL"), QStringLiteral("VRMEDIO")};
    for (qsizetype b = 0; b < sizes.size(); ++b) {
        for (int d = 0; d < sizes.at(b); ++d) {
            const double total = 100.0 + d;
            table.rows << QVariantList{QStringLiteral("%1").arg(b + 1, 4, 10, QChar(u'0')), QStringLiteral("Centro%1").arg(b + 1),
                                       QDate(2024, 1, 1).addDays(d).toString(Qt::ISODate), 1 + d % 7, total, total / (1 + d % 7)};
        }
    }
    return table;
}

ReportModel branchModel(const QList<int> &sizes)
{
    return ReportModel::build(QStringLiteral("Vnd025"), dailyDefinition(), period(QDate(2024, 1, 1), QDate(2024, 12, 31)),
                              branchTable(sizes));
}

QStringList bodyLines(const QString &pageText)
{
    return pdfBodyLines(pageText, QStringLiteral("Data"), QStringLiteral("Ticket médio"));
}

TEST(ReportDocument, PagesBreakWhereAReaderCanFollow)
{
    // Group sizes that put titles, single rows and subtotals at every height of a page.
    const QList<QList<int>> shapes = {
        {400},
        {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
        {2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37, 41, 43, 47, 53, 59},
        {60, 1, 60, 2, 60, 3, 60, 4, 60, 5},
    };
    for (const QList<int> &sizes : shapes) {
        // every offset of the groups against the page's foot
        for (int lead = 0; lead < 60; lead += 7) {
            QList<int> shifted = sizes;
            if (lead > 0)
                shifted.prepend(lead);
            const ReportDocument document(branchModel(shifted));
            const QList<ReportLine> &lines = document.model().lines;
            SCOPED_TRACE(testing::Message() << "groups " << shifted.size() << ", lead " << lead);
            ASSERT_GT(document.pageCount(), 1);
            int next = 0;
            int group = -1;
            for (int page = 0; page < document.pageCount(); ++page) {
                const ReportDocument::PageRange range = document.pageRange(page);
                ASSERT_EQ(range.first, next) << "page " << page << " skips or repeats lines";
                ASSERT_GT(range.count, 0) << "page " << page;
                const ReportLine::Kind first = lines.at(range.first).kind;
                const ReportLine::Kind last = lines.at(range.first + range.count - 1).kind;
                EXPECT_NE(last, ReportLine::Kind::GroupHeader) << "page " << page << " ends with a group title";
                EXPECT_NE(first, ReportLine::Kind::Subtotal) << "page " << page << " opens with a lone subtotal";
                EXPECT_NE(first, ReportLine::Kind::Total) << "page " << page << " opens with a lone total";
                if (first == ReportLine::Kind::Detail) {
                    EXPECT_EQ(range.continued, group) << "page " << page << " does not name the group it continues";
                } else {
                    EXPECT_EQ(range.continued, -1) << "page " << page;
                }
                for (int i = range.first; i < range.first + range.count; ++i) {
                    if (lines.at(i).kind == ReportLine::Kind::GroupHeader)
                        group = i;
                }
                next = range.first + range.count;
            }
            EXPECT_EQ(next, document.lineCount());
        }
    }
}

TEST(ReportDocument, PdfPagesNameTheirGroupAndKeepLabelsWhole)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("grupos.pdf"));
    const ReportDocument document(branchModel({70, 1, 45, 2, 90, 3, 30, 120}));
    ASSERT_GT(document.pageCount(), 5);
    ReportExport::writePdf(document, file);
    ASSERT_EQ(pdfPages(file), document.pageCount());

    const QRegularExpression title(QStringLiteral("^Filial (\\d{4}) - Centro\\d+( \\(continuação\\))?$"));
    QString openGroup; // the branch whose rows run on
    int continued = 0, subtotals = 0;
    for (int page = 1; page <= document.pageCount(); ++page) {
        const QStringList body = bodyLines(pdfText(file, page));
        SCOPED_TRACE(testing::Message() << "page " << page << ":\n" << body.join(u'\n').toStdString());
        ASSERT_GE(body.size(), 2);
        const QRegularExpressionMatch top = title.match(body.first());
        if (page > 1) {
            ASSERT_TRUE(top.hasMatch()) << "the page does not open with its group";
            if (top.captured(2).isEmpty()) {
                EXPECT_TRUE(openGroup.isEmpty()) << "group " << openGroup.toStdString() << " continues unnamed";
            } else {
                EXPECT_EQ(top.captured(1), openGroup);
                ++continued;
                EXPECT_FALSE(body.at(1).startsWith(u"Subtotal")) << "a subtotal without a row of its own";
            }
        }
        EXPECT_FALSE(title.match(body.last()).hasMatch()) << "a group title at the page's foot";
        for (const QString &line : body) {
            if (const QRegularExpressionMatch m = title.match(line); m.hasMatch())
                openGroup = m.captured(1);
            if (line.contains(u"Subtotal")) {
                EXPECT_TRUE(line.startsWith(u"Subtotal Filial ")) << line.toStdString();
                openGroup.clear();
                ++subtotals;
            }
            if (line.contains(u"Total geral")) {
                EXPECT_TRUE(line.startsWith(u"Total geral ")) << line.toStdString();
            }
        }
    }
    EXPECT_GT(continued, 2);
    EXPECT_EQ(subtotals, 8);
    EXPECT_TRUE(bodyLines(pdfText(file, document.pageCount())).last().startsWith(u"Total geral"));
}

// A product report by hour: each product lists its own hours, so they come out of clock order.
ReportModel productHourModel(const char *groupField)
{
    ReportTable table;
    table.columns = {QStringLiteral("CDARVPROD"), QStringLiteral("NMPRODUTO"), QStringLiteral("HRINICIO"),
                     QStringLiteral("HRFIM"), QStringLiteral("VRTOTAL")};
    const struct
    {
        const char *product;
        int minute;
        double total;
    } rows[] = {{"01", 1140, 10}, {"01", 1260, 5},  {"02", 1080, 20}, {"02", 1140, 1},
                {"02", 1290, 4},  {"03", 480, 8},   {"03", 1080, 2}};
    for (const auto &row : rows)
        table.rows << QVariantList{QString::fromLatin1(row.product), QStringLiteral("Produto ") + QString::fromLatin1(row.product),
                                   row.minute, row.minute + 29, row.total};
    const bool byHour = QByteArray(groupField) == "HRINICIO";
    if (byHour) {
        std::stable_sort(table.rows.begin(), table.rows.end(),
                         [](const QVariantList &a, const QVariantList &b) { return a.at(2).toInt() < b.at(2).toInt(); });
    }
    const QByteArray layout = byHour ? R"json({
        "group": {"field": "HRINICIO", "type": "interval", "end": "HRFIM", "title": "Horário {HRINICIO}", "label": "Horário"},
        "columns": [{"field": "CDARVPROD", "label": "Produto"}, {"field": "NMPRODUTO", "label": "Descrição"},
                    {"field": "VRTOTAL", "label": "Total (R$)", "type": "money", "total": true}],
        "chart": {"label": "HRINICIO", "value": "VRTOTAL", "title": "Vendas por intervalo de horário (R$)"}})json"
                                     : R"json({
        "group": {"field": "CDARVPROD", "title": "{CDARVPROD} - {NMPRODUTO}", "label": "Produto"},
        "columns": [{"field": "HRINICIO", "label": "Horário", "type": "interval", "end": "HRFIM"},
                    {"field": "VRTOTAL", "label": "Total (R$)", "type": "money", "total": true}],
        "chart": {"label": "HRINICIO", "value": "VRTOTAL", "title": "Vendas por intervalo de horário (R$)"}})json";
    ReportDefinition def;
    def.title = QStringLiteral("Vendas por Produto/Hora");
    def.layout = QJsonDocument::fromJson(layout).object();
    return ReportModel::build(QStringLiteral("Vnd025"), def, TParams(), table);
}

TEST(ReportDocument, HourChartsReadAsClockTimesInOrder)
{
    using Bars = QList<QPair<QString, double>>;
    const struct
    {
        const char *group;
        Bars bars;
        const char *title;
    } cases[] = {
        // grouped by product: each hour sums the products shown, and the title says so
        {"CDARVPROD",
         {{QStringLiteral("08:00"), 8}, {QStringLiteral("18:00"), 22}, {QStringLiteral("19:00"), 11},
          {QStringLiteral("21:00"), 5}, {QStringLiteral("21:30"), 4}},
         "Vendas por intervalo de horário (R$) — soma de 3 produtos"},
        // grouped by the hour itself: the label is the group's field, no printed column
        {"HRINICIO",
         {{QStringLiteral("08:00"), 8}, {QStringLiteral("18:00"), 22}, {QStringLiteral("19:00"), 11},
          {QStringLiteral("21:00"), 5}, {QStringLiteral("21:30"), 4}},
         "Vendas por intervalo de horário (R$)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.group);
        const ReportDocument document(productHourModel(c.group));
        EXPECT_EQ(document.model().chart, c.bars);
        EXPECT_EQ(document.model().chartTitle, QString::fromUtf8(c.title));

        // the chart is text in the PDF: its title and its labels, left to right in clock order
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("grafico.pdf"));
        ReportExport::writePdf(document, file);
        const QString text = pdfText(file, 1);
        EXPECT_TRUE(text.simplified().contains(QString::fromUtf8(c.title).simplified())) << text.toStdString();
        QString axis;
        for (const QString &line : text.split(u'\n')) {
            if (line.contains(u"08:00") && line.contains(u"21:30"))
                axis = line.simplified();
        }
        EXPECT_EQ(axis, QStringLiteral("08:00 18:00 19:00 21:00 21:30")) << text.toStdString();
        EXPECT_FALSE(text.contains(u"1140")) << "raw minutes on the axis";
    }
}

TEST(ReportDocument, ChartImageHasBars)
{
    const ReportDocument document(productHourModel("CDARVPROD"));
    const QImage image = document.chartImage();
    ASSERT_FALSE(image.isNull());
    int barPixels = 0;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            barPixels += image.pixelColor(x, y) == QColor(0x2E, 0x6D, 0xB4);
    EXPECT_GT(barPixels, 100);
}

TEST(ReportDocument, PagesPaintAloneInAnyOrderAndOnAnyThread)
{
    const ReportDocument document(branchModel({50, 3, 80, 40}));
    ASSERT_GT(document.pageCount(), 3);
    auto render = [&document](int page) {
        QImage image(620, 877, QImage::Format_RGB32);
        image.setDotsPerMeterX(qRound(75 / 0.0254));
        image.setDotsPerMeterY(qRound(75 / 0.0254));
        image.fill(Qt::white);
        QPainter painter(&image);
        document.paintPage(&painter, page);
        return image;
    };
    const int last = document.pageCount() - 1;
    const QImage lastFirst = render(last);
    const QImage first = render(0);
    QImage fromWorker;
    std::thread worker([&] { fromWorker = render(last); });
    worker.join();
    EXPECT_EQ(fromWorker, lastFirst);
    EXPECT_NE(first, lastFirst);
    // a page out of range paints nothing
    EXPECT_EQ(render(document.pageCount()), render(-1));
}

TEST(ReportDocument, EmptyResultPrintsOnePageSayingSo)
{
    ReportTable empty;
    empty.columns = branchTable({}).columns;
    const ReportDocument document(ReportModel::build({}, dailyDefinition(), TParams(), empty));
    EXPECT_EQ(document.pageCount(), 1);
    EXPECT_EQ(document.model().totalLine(), nullptr);
    EXPECT_TRUE(document.chartImage().isNull());
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("vazio.pdf"));
    ReportExport::writePdf(document, file);
    EXPECT_TRUE(pdfText(file, 1).contains(QStringLiteral("Nenhuma venda encontrada"))) << pdfText(file, 1).toStdString();
}

} // namespace
