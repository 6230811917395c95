// Files written from the model line by line: the spreadsheet read back cell by cell, writers
// stopped midway, and a run cancelled in each of its steps, none of which may leave a file.

#include "enginetest.h"
#include "errors.h"
#include "reportdocument.h"
#include "reportexport.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QRegularExpression>
#include <QThreadPool>
#include <QXmlStreamReader>

using namespace enginetest;

namespace {

// One cell of a sheet as the XML holds it: its type attribute, the text or number, and the number
// format its style points at.
struct XlsxCell
{
    QString type; // "", "n", "s", "inlineStr", "str"
    QString value;
    QString format;
};

// The first sheet of a workbook, by cell reference ("B6"); unzip reads the parts.
QHash<QString, XlsxCell> readSheet(const QString &file)
{
    const QString styles = tool(QStringLiteral("unzip"), {QStringLiteral("-p"), file, QStringLiteral("xl/styles.xml")});
    QHash<int, QString> formatCodes{{0, QStringLiteral("General")}, {10, QStringLiteral("0.00%")},
                                    {3, QStringLiteral("#,##0")}, {4, QStringLiteral("#,##0.00")}, {9, QStringLiteral("0%")}};
    QList<int> styleFormats;
    {
        QXmlStreamReader xml(styles);
        bool inCellXfs = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == u"numFmt")
                formatCodes.insert(xml.attributes().value(QLatin1String("numFmtId")).toInt(), xml.attributes().value(QLatin1String("formatCode")).toString());
            else if (xml.isStartElement() && xml.name() == u"cellXfs")
                inCellXfs = true;
            else if (xml.isEndElement() && xml.name() == u"cellXfs")
                inCellXfs = false;
            else if (inCellXfs && xml.isStartElement() && xml.name() == u"xf")
                styleFormats << xml.attributes().value(QLatin1String("numFmtId")).toInt();
        }
    }
    const QString sheet =
        tool(QStringLiteral("unzip"), {QStringLiteral("-p"), file, QStringLiteral("xl/worksheets/sheet1.xml")});
    QHash<QString, XlsxCell> cells;
    QXmlStreamReader xml(sheet);
    QString ref;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"c") {
            ref = xml.attributes().value(QLatin1String("r")).toString();
            XlsxCell &cell = cells[ref];
            cell.type = xml.attributes().value(QLatin1String("t")).toString();
            const int style = xml.attributes().value(QLatin1String("s")).toInt();
            cell.format = formatCodes.value(styleFormats.value(style));
        } else if (xml.isStartElement() && (xml.name() == u"v" || xml.name() == u"t") && !ref.isEmpty()) {
            cells[ref].value = xml.readElementText();
        } else if (xml.isEndElement() && xml.name() == u"c") {
            ref.clear();
        }
    }
    return cells;
}

// The hour/product report's shape: grouped by the interval's first minute, money and a share.
ReportDefinition hourProductDefinition()
{
    return definitionFrom(R"({
        "title": "Vendas por Hora/Produto",
        "sql": {"default": "SELECT 1"},
        "group": {"field": "HRINICIO", "type": "interval", "end": "HRFIM", "title": "Horário {HRINICIO}", "label": "Horário"},
        "columns": [
            {"field": "CDARVPROD", "label": "Produto"},
            {"field": "QTVENDAS", "label": "Vendas", "type": "integer", "total": true},
            {"field": "VRTOTAL", "label": "Total", "type": "money", "total": true},
            {"field": "PCTOTAL", "label": "%", "type": "percent"}
        ]
    })");
}

ReportTable hourProductTable()
{
    ReportTable table;
    table.columns = {QStringLiteral("HRINICIO"), QStringLiteral("HRFIM"), QStringLiteral("CDARVPROD"),
                     QStringLiteral("QTVENDAS"), QStringLiteral("VRTOTAL"), QStringLiteral("PCTOTAL")};
    table.rows = {
        {480, 539, QStringLiteral("0101001"), 12, 17030.41999999999, 6.31},
        {480, 539, QStringLiteral("0101002"), 3, 0.125, 93.6849},
        {540, 599, QStringLiteral("0101001"), 7, 2.004999, 100.0},
    };
    return table;
}

TEST(ReportStream, XlsxCellsHoldTheValuesAsShown)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("horas.xlsx"));
    const ReportModel model = ReportModel::build(QStringLiteral("Vnd025"), hourProductDefinition(), TParams(), hourProductTable());
    ReportExport::writeXlsx(model, file);
    testsupport::keepWorkbook(file);
    const QHash<QString, XlsxCell> cells = readSheet(file);
    ASSERT_FALSE(cells.isEmpty()) << "the sheet could not be read back";

    struct Case
    {
        const char *ref;
        bool text;
        const char *value;
        const char *format; // nullptr: not checked
    };
    const Case cases[] = {
        {"A5", true, "Horário", nullptr},
        // the group column holds the hour, not the title "Horário 08:00 às 08:59"
        {"A6", true, "08:00", nullptr},
        {"A7", true, "08:00", nullptr},
        {"A8", true, "09:00", nullptr},
        {"B6", true, "0101001", nullptr},
        {"C6", false, "12", "#,##0"},
        // money rounded to the cent, as the report prints it
        {"D6", false, "17030.42", "#,##0.00"},
        {"D7", false, "0.13", "#,##0.00"},
        {"D8", false, "2", "#,##0.00"},
        // shares as fractions under a percentage format
        {"E6", false, "0.0631", "0.00%"},
        {"E7", false, "0.9368", "0.00%"},
        {"E8", false, "1", "0.00%"},
    };
    for (const Case &c : cases) {
        const XlsxCell cell = cells.value(QLatin1String(c.ref));
        if (c.text) {
            EXPECT_TRUE(cell.type == u"inlineStr" || cell.type == u"s") << c.ref << " type " << cell.type.toStdString();
            EXPECT_EQ(cell.value, QString::fromUtf8(c.value)) << c.ref;
        } else {
            EXPECT_TRUE(cell.type.isEmpty() || cell.type == u"n") << c.ref << " type " << cell.type.toStdString();
            EXPECT_EQ(cell.value.toDouble(), QByteArray(c.value).toDouble()) << c.ref << " holds " << cell.value.toStdString();
            if (c.format) {
                EXPECT_EQ(cell.format, QLatin1String(c.format)) << c.ref;
            }
        }
    }
    // the total's cached value is rounded too: 17030.42 + 0.13 + 2.00
    EXPECT_EQ(cells.value(QStringLiteral("D9")).value.toDouble(), 17032.55) << cells.value(QStringLiteral("D9")).value.toStdString();

    // CSV: the same values as text, the code quoted so that it stays text
    const QStringList lines = QString::fromUtf8(ReportExport::csvBytes(model).mid(3)).split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[1], QStringLiteral("08:00;\"0101001\";12;17030,42;6,31 %"));
    EXPECT_EQ(lines[3], QStringLiteral("09:00;\"0101001\";7;2,00;100,00 %"));
}

ReportModel longModel(int rows)
{
    ReportTable table = hourProductTable();
    table.rows.clear();
    for (int i = 0; i < rows; ++i)
        table.rows << QVariantList{480 + 60 * (i / 50), 539 + 60 * (i / 50), QStringLiteral("P%1").arg(i), i, i * 1.5, 0.5};
    return ReportModel::build(QStringLiteral("Vnd025"), hourProductDefinition(), TParams(), table);
}

// A writer stopped by its progress keeps the previous file and leaves nothing of its own; the
// same writer left alone streams the bytes the whole-file functions make.
TEST(ReportStream, WritersStoppedMidwayLeaveThePreviousFile)
{
    const ReportModel model = longModel(5000);
    const ReportDocument document(longModel(300));
    const char *extensions[] = {"pdf", "xlsx", "csv", "html"};
    for (const char *extension : extensions) {
        for (const bool existing : {false, true}) {
            QTemporaryDir dir;
            const QString target = dir.filePath(QStringLiteral("relatorio.") + QLatin1String(extension));
            const QByteArray old("versão anterior\n");
            if (existing) {
                ASSERT_TRUE(writeAll(target, old));
            }
            int calls = 0;
            const ReportExport::Progress stop = [&calls](qint64, qint64) {
                if (++calls == 2)
                    throw EAbort();
            };
            EXPECT_THROW(qstrcmp(extension, "pdf") == 0 ? ReportExport::write(document, target, stop)
                                                            : ReportExport::write(model, target, stop),
                         EAbort)
                << extension;
            EXPECT_EQ(calls, 2) << extension;
            EXPECT_EQ(QFile::exists(target), existing) << extension;
            if (existing) {
                EXPECT_EQ(readAll(target), old) << extension;
            }
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), existing ? 1 : 0)
                << extension << ": temporary files left behind";
        }
    }
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("r.csv"));
    ReportExport::writeCsv(model, csv);
    EXPECT_EQ(readAll(csv), ReportExport::csvBytes(model));
    const QString html = dir.filePath(QStringLiteral("r.html"));
    ReportExport::writeHtml(model, html);
    EXPECT_EQ(readAll(html), ReportExport::htmlBytes(model));
}

TEST(ReportStream, ModelBuildStopsWhenItsStepThrows)
{
    ReportTable table = hourProductTable();
    for (int i = 0; i < 10000; ++i)
        table.rows << table.rows.first();
    int steps = 0;
    EXPECT_THROW(ReportModel::build({}, hourProductDefinition(), TParams(), table, {},
                                    [&steps](int) {
                                        if (++steps == 1)
                                            throw EAbort();
                                    }),
                 EAbort);
    EXPECT_EQ(steps, 1);
}

// Cancels the run the first time the status names the step.
class CancelAtStep : public ReportProgress
{
public:
    explicit CancelAtStep(QString step) : mStep(std::move(step)) {}
    void begin(QWidget *, const QString &, const std::function<void()> &cancel) override { mCancel = cancel; }
    void update(const QString &status) override
    {
        seen << status;
        if (!cancelled && status.contains(mStep)) {
            cancelled = true;
            mCancel();
        }
    }
    void end() override {}
    QStringList seen;
    bool cancelled = false;

private:
    QString mStep;
    std::function<void()> mCancel;
};

// `rows` rows made by the statement itself; ordered at random when `sorted`, so that the server
// works a while before the first row.
ReportDefinition generatedDefinition(int rows, bool sorted)
{
    ReportDefinition definition = hourProductDefinition();
    definition.sql.insert(SqlDialect::Default,
                          QStringLiteral("WITH RECURSIVE N(I) AS (SELECT 0 UNION ALL SELECT I + 1 FROM N WHERE I < %1) "
                                         "SELECT 480 + 60 * (I / 5000) AS HRINICIO, 539 + 60 * (I / 5000) AS HRFIM, "
                                         "'P' || I AS CDARVPROD, I % 7 AS QTVENDAS, I * 0.37 AS VRTOTAL, 1.5 AS PCTOTAL "
                                         "FROM N%2")
                              .arg(rows - 1)
                              .arg(sorted ? QStringLiteral(" ORDER BY RANDOM()") : QString()));
    return definition;
}

class ReportCancel : public EngineTest
{
};

TEST_F(ReportCancel, EveryStepStopsAndLeavesNoFile)
{
    struct Case
    {
        const char *step; // the status the cancel waits for
        const char *extension;
        int rows;
        bool sorted;
    };
    const Case cases[] = {
        {"Consultando", "csv", 1500000, true},
        {"linhas lidas", "csv", 400000, false},
        {"Montando", "csv", 400000, false},
        {"Gravando o arquivo", "csv", 400000, false},
        {"Gravando o arquivo", "xlsx", 200000, false},
        // The page layout takes tens of milliseconds even for a long report: the cancel lands in the
        // writing of the pages that follows it.
        {"Gravando o PDF", "pdf", 20000, false},
    };
    for (const Case &c : cases) {
        CancelAtStep progress(QString::fromUtf8(c.step));
        ReportEngine::instance().setProgress(&progress);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("vendas.") + QLatin1String(c.extension));
        const QByteArray old("versão anterior\n");
        ASSERT_TRUE(writeAll(target, old));
        ui.answerFile(target);
        runs.clear();
        ReportEngine::instance().run(nullptr, ReportAction::SaveAs, generatedDefinition(c.rows, c.sorted), TParams());
        // A step that cannot be interrupted (the page layout) ends on its own; nothing may follow it.
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        const std::string label = std::string(c.step) + " " + c.extension;
        EXPECT_TRUE(progress.cancelled) << label << ": the step was not seen; statuses: "
                                        << progress.seen.join(QStringLiteral(" | ")).toStdString();
        ASSERT_EQ(runs.size(), 1) << label;
        EXPECT_EQ(runs[0].outcome, ReportRun::Outcome::Cancelled) << label << " " << runs[0].error.toStdString();
        EXPECT_EQ(readAll(target), old) << label;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << label << ": files left behind";
        EXPECT_TRUE(ui.errors.isEmpty()) << label;
        EXPECT_FALSE(ReportEngine::instance().busy());
        ReportEngine::instance().setProgress(nullptr);
    }
}

// The steps say what they do, with counts, for the progress dialog.
TEST_F(ReportCancel, TheProgressNamesEachStep)
{
    CancelAtStep progress(QStringLiteral("never"));
    ReportEngine::instance().setProgress(&progress);
    const QString target = path(QStringLiteral("longo.pdf"));
    ui.answerFile(target);
    // long enough that the progress, polled every 50 ms, sees the pages being written
    ReportEngine::instance().run(nullptr, ReportAction::SaveAs, generatedDefinition(20000, false), TParams());
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs[0].outcome, ReportRun::Outcome::Saved) << runs[0].error.toStdString();
    EXPECT_EQ(pdfPages(target), runs[0].pages);
    const QString seen = progress.seen.join(u'\n');
    const QString steps[] = {QStringLiteral("Gravando o PDF: \\d+ de %1 páginas").arg(runs[0].pages)};
    for (const QString &step : steps)
        EXPECT_TRUE(seen.contains(QRegularExpression(step))) << step.toStdString() << " not in:\n" << seen.toStdString();
}

} // namespace
