// Report files: CSV read back, PDF pages and text, XLSX cells, and failed writes that keep the
// previous file.

#include "enginetest.h"
#include "errors.h"
#include "reportdocument.h"
#include "reportexport.h"
#include "reportformat.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>

using namespace enginetest;
using namespace Qt::StringLiterals;

namespace {

// RFC 4180 reader: fields separated by ';', quoted fields with doubled quotes, CRLF records.
QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u';') {
            record << field;
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            record << field;
            records << record;
            record.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    return records;
}

ReportModel modelOf(const ReportTable &table, const ReportDefinition &def = dailyDefinition(),
                    const TParams &params = period(QDate(2025, 6, 1), QDate(2025, 6, 30)))
{
    return ReportModel::build(QStringLiteral("Vnd025"), def, params, table, screenFilters(def, params));
}

ReportTable awkwardTable()
{
    ReportTable table;
    table.columns = {QStringLiteral("CDFILIAL"), QStringLiteral("NMFILIAL"), QStringLiteral("DTVENDA"),
                     QStringLiteral("QTVENDAS"), QStringLiteral("VRTOTAL"), QStringLiteral("VRMEDIO")};
    table.rows = {
        {QStringLiteral("0001; \"A\""), QStringLiteral("Centro; \"Matriz\""), QStringLiteral("2025-06-01"), 2, 1234.5, 617.25},
        {QStringLiteral("0002\r\nB"), QStringLiteral("Norte\r\nAnexo"), QStringLiteral("2025-06-02"), 1, 10.0, 10.0},
    };
    return table;
}

// `rows` days over two branches, for documents of several pages.
ReportTable longTable(int rows)
{
    ReportTable table;
    table.columns = awkwardTable().columns;
    for (int i = 0; i < rows; ++i) {
        const QString branch = i < rows / 2 ? QStringLiteral("0001") : QStringLiteral("0002");
        const double total = 100.0 + i;
        table.rows << QVariantList{branch, i < rows / 2 ? QStringLiteral("Centro") : QStringLiteral("Norte"),
                                   QDate(2024, 1, 1).addDays(i).toString(Qt::ISODate), 1 + i % 7, total, total / (1 + i % 7)};
    }
    return table;
}

TEST(ReportExport, FileNameTakesTheChosenTypeUnlessItNamesAFormat)
{
    const QString xlsx = u"Planilha Excel (*.xlsx)"_s;
    const QString html = u"Página HTML (*.html *.htm)"_s;
    const struct
    {
        QString name;
        QString filter;
        QString file; // empty: refused
    } rows[] = {
        {u"/tmp/vendas"_s, xlsx, u"/tmp/vendas.xlsx"_s},
        {u"/tmp/vendas."_s, xlsx, u"/tmp/vendas.xlsx"_s},
        {u"/tmp/vendas.pdf"_s, xlsx, u"/tmp/vendas.pdf"_s},
        {u"/tmp/VENDAS.Csv"_s, xlsx, u"/tmp/VENDAS.Csv"_s},
        {u"/tmp/vendas.htm"_s, xlsx, u"/tmp/vendas.htm"_s},
        {u"/tmp/vendas"_s, html, u"/tmp/vendas.html"_s},
        {u"/tmp/dez.2026/vendas"_s, xlsx, u"/tmp/dez.2026/vendas.xlsx"_s}, // a dotted folder is no extension
        {u"/tmp/vendas 01.12.2026"_s, xlsx, u"/tmp/vendas 01.12.2026.xlsx"_s},
        {u"/tmp/vendas"_s, QString(), QString()},
        {u"/tmp/vendas"_s, u"Todos os arquivos (*)"_s, QString()},
        {u"/tmp/vendas"_s, u"Texto (*.txt)"_s, QString()},
        {u"/tmp/vendas.txt"_s, QString(), QString()},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(ReportExport::fileNameFor(row.name, row.filter), row.file)
            << row.name.toStdString() << " / " << row.filter.toStdString();
    }
}

TEST(ReportExport, CsvReadsBackWithBomQuotingAndDecimalComma)
{
    const QByteArray bytes = ReportExport::csvBytes(modelOf(awkwardTable()));
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QString text = QString::fromUtf8(bytes.mid(3));
    // every record ends with CRLF; the LF inside the quoted name is the only bare one
    EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n")));
    const QList<QStringList> records = parseCsv(text);
    ASSERT_EQ(records.size(), 3);
    EXPECT_EQ(records[0], (QStringList{QStringLiteral("Filial"), QStringLiteral("Data"), QStringLiteral("Vendas"),
                                       QStringLiteral("Total"), QStringLiteral("Ticket médio")}));
    // the group column holds the group field's value, not the group's title
    EXPECT_EQ(records[1], (QStringList{QStringLiteral("0001; \"A\""), QStringLiteral("01/06/2025"),
                                       QStringLiteral("2"), QStringLiteral("1234,50"), QStringLiteral("617,25")}));
    EXPECT_EQ(records[2][0], QStringLiteral("0002\r\nB"));
    EXPECT_EQ(records[2][3], QStringLiteral("10,00"));
    // subtotal and total lines stay out of the data
    EXPECT_FALSE(text.contains(QStringLiteral("Total geral")));
}

TEST(ReportExport, PdfHasThePagesTheHeaderAndTheTotals)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("vendas.pdf"));
    QElapsedTimer clock;
    clock.start();
    const ReportDocument document(modelOf(longTable(400)));
    const qint64 layoutMs = clock.elapsed();
    std::printf("[ measure ] 400 rows laid out in %lld ms, %d pages\n", static_cast<long long>(layoutMs),
                document.pageCount());
    ASSERT_GT(document.pageCount(), 3);
    ReportExport::writePdf(document, file);

    EXPECT_EQ(pdfPages(file), document.pageCount());
    const QString second = pdfText(file, 2);
    // column headings and the page header repeat on a later page
    EXPECT_TRUE(second.contains(QStringLiteral("Ticket médio"))) << second.toStdString();
    EXPECT_TRUE(second.contains(QStringLiteral("Período: 01/06/2025 a 30/06/2025"))) << second.toStdString();
    EXPECT_TRUE(second.contains(QStringLiteral("Página 2 de %1").arg(document.pageCount()))) << second.toStdString();
    const QString last = pdfText(file, document.pageCount());
    const ReportLine *total = document.model().totalLine();
    ASSERT_NE(total, nullptr);
    EXPECT_TRUE(last.contains(QStringLiteral("Total geral")));
    EXPECT_TRUE(last.contains(ReportFormat::number(total->values.at(2).toDouble(), 2))) << last.toStdString();
    EXPECT_TRUE(pdfText(file, 1).contains(QStringLiteral("Filial 0001 - Centro")));
}

// A thousand rows run over many pages that together hold every line once, in order (the time it
// takes is bench_report_layout's business, not a test's).
TEST(ReportExport, ThousandRowsFillConsecutivePages)
{
    const ReportDocument document(modelOf(longTable(1000)));
    ASSERT_GT(document.pageCount(), 10);
    int next = 0;
    for (int page = 0; page < document.pageCount(); ++page) {
        const ReportDocument::PageRange range = document.pageRange(page);
        EXPECT_EQ(range.first, next) << "page " << page + 1;
        EXPECT_GT(range.count, 0) << "page " << page + 1;
        next = range.first + range.count;
    }
    EXPECT_EQ(next, document.lineCount());
}

TEST(ReportExport, XlsxHoldsNumbersAndDatesAsValues)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("vendas.xlsx"));
    ReportExport::writeXlsx(modelOf(awkwardTable()), file);
    testsupport::keepWorkbook(file);
    const QString listing = tool(QStringLiteral("unzip"), {QStringLiteral("-l"), file});
    ASSERT_TRUE(listing.contains(QStringLiteral("xl/worksheets/sheet1.xml"))) << listing.toStdString();
    const QString sheet = tool(QStringLiteral("unzip"), {QStringLiteral("-p"), file, QStringLiteral("xl/worksheets/sheet1.xml")});
    // heading on row 5; first data row 6: B = date serial, C = count, D = money, E = mean
    auto cell = [&sheet](const char *ref) {
        const QRegularExpression re(QStringLiteral("<c r=\"%1\"([^>]*)>(.*?)</c>").arg(QLatin1String(ref)));
        const QRegularExpressionMatch m = re.match(sheet);
        return m.hasMatch() ? std::pair{m.captured(1), m.captured(2)} : std::pair{QString(), QString()};
    };
    struct Case
    {
        const char *ref;
        const char *value;
    };
    const Case numeric[] = {{"B6", "45809"}, {"C6", "2"}, {"D6", "1234.5"}, {"E6", "617.25"}, {"D7", "10"}};
    for (const Case &c : numeric) {
        const auto [attributes, content] = cell(c.ref);
        EXPECT_FALSE(attributes.contains(QStringLiteral("t=\"s\""))) << c.ref << " is text";
        EXPECT_EQ(content, QStringLiteral("<v>%1</v>").arg(QLatin1String(c.value))) << c.ref;
    }
    // the total is a live formula with its value cached
    const auto [totalAttributes, total] = cell("D8");
    EXPECT_TRUE(total.contains(QStringLiteral("<f>SUM(D6:D7)</f>"))) << total.toStdString();
    EXPECT_TRUE(total.contains(QStringLiteral("<v>1244.5</v>"))) << total.toStdString();
    // text cells are written inline (the workbook is streamed row by row)
    EXPECT_TRUE(cell("A6").first.contains(QStringLiteral("t=\"inlineStr\"")));
}

TEST(ReportExport, HtmlIsAStandaloneTable)
{
    ReportDefinition def = dailyDefinition();
    def.layout.insert(QStringLiteral("chart"), QJsonObject{{QStringLiteral("label"), QStringLiteral("DTVENDA")},
                                                            {QStringLiteral("value"), QStringLiteral("VRTOTAL")}});
    const ReportModel model = modelOf(awkwardTable(), def);
    const QString html = QString::fromUtf8(ReportExport::htmlBytes(model));
    EXPECT_TRUE(html.contains(QStringLiteral("<thead><tr><th>Data</th>")));
    EXPECT_TRUE(html.contains(QStringLiteral("Centro; &quot;Matriz&quot;")));
    EXPECT_TRUE(html.contains(QStringLiteral("src=\"data:image/png;base64,")));
    EXPECT_TRUE(html.contains(QStringLiteral("<td class=\"n\">1.244,50</td>")));
    // the file is streamed line by line and holds the same page
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("r.html"));
    ReportExport::writeHtml(model, file);
    EXPECT_EQ(readAll(file), html.toUtf8());
}

TEST(ReportExport, FailedWritesLeaveThePreviousFileByteIdentical)
{
    const ReportDocument document(modelOf(longTable(300)));
    const char *extensions[] = {"pdf", "xlsx", "csv", "html"};
    for (const char *extension : extensions) {
        for (const bool diskFull : {false, true}) {
            QTemporaryDir dir;
            const QString folder = dir.filePath(QStringLiteral("saida"));
            ASSERT_TRUE(QDir().mkpath(folder));
            QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFileDevice::ExeOther | QFileDevice::ReadOther);
            const QString target = QDir(folder).filePath(QStringLiteral("relatorio.") + QLatin1String(extension));
            const QByteArray old("versão anterior do arquivo\n");
            ASSERT_TRUE(writeAll(target, old));
            QString message;
            {
                std::unique_ptr<ReadOnlyFolder> readOnly;
                std::unique_ptr<FileSizeLimit> limit;
                if (diskFull)
                    limit = std::make_unique<FileSizeLimit>(2048);
                else
                    readOnly = std::make_unique<ReadOnlyFolder>(folder);
                try {
                    ReportExport::write(document, target);
                } catch (const EHostError &e) {
                    message = e.message();
                }
            }
            const char *how = diskFull ? " (disk full)" : " (read-only folder)";
            EXPECT_TRUE(message.contains(QStringLiteral("Não foi possível gravar"))) << extension << how;
            EXPECT_EQ(readAll(target), old) << extension << how;
            EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{target.section(u'/', -1)})
                << extension << how << ": temporary files left behind";
        }
    }
}

TEST(ReportExport, ReplacingAnExistingFileWorksAndUnknownExtensionsAreRefused)
{
    QTemporaryDir dir;
    const ReportDocument document(modelOf(awkwardTable()));
    const QString csv = dir.filePath(QStringLiteral("r.csv"));
    ASSERT_TRUE(writeAll(csv, "antigo"));
    ReportExport::write(document, csv);
    EXPECT_EQ(readAll(csv), ReportExport::csvBytes(document.model()));
    EXPECT_THROW(ReportExport::write(document, dir.filePath(QStringLiteral("r.docx"))), EHostError);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("r.docx"))));
}

} // namespace

namespace {

// A model whose header has several filters, one with the characters CSV and HTML must escape.
ReportModel filteredModel()
{
    TParams params = period(QDate(2025, 6, 1), QDate(2025, 6, 30));
    params.CreateParam(u"P_CDFILIAL"_s).SetAsString(u"0001"_s);
    params.CreateParam(u"P_TCDLOJA"_s).SetAsString(QString());
    params.CreateParam(u"P_CDLOJA"_s).SetAsString(u"0000000001;0000000002"_s);
    params.CreateParam(u"P_IDIMPHR"_s).SetAsString(u"S"_s);
    params.CreateParam(u"P_HRINI"_s).SetAsString(u"0800"_s);
    params.CreateParam(u"P_HRFIN"_s).SetAsString(u"1800"_s);
    ReportModel model = modelOf(awkwardTable(), dailyDefinition(), params);
    model.filters.append({u"Nota"_s, u"<a & \"b\">"_s});
    return model;
}

} // namespace

// The same filter lines as the page header, in its order, at the top of XLSX and HTML; in CSV only
// when asked, as "Label;value" lines quoted like the data, with an empty line before the headings.
TEST(ReportExport, FilesStartWithTheHeaderFilterLines)
{
    const ReportModel model = filteredModel();
    const QStringList expected{u"Filial: 0001"_s, u"Lojas: 0000000001, 0000000002"_s, u"Período: 01/06/2025 a 30/06/2025"_s,
                               u"Horário: 08:00 às 18:00"_s, u"Nota: <a & \"b\">"_s};
    ASSERT_EQ(ReportExport::filterLines(model), expected);

    // CSV, plain and with filters: the same rows after the leading lines
    const QList<QStringList> plain = parseCsv(QString::fromUtf8(ReportExport::csvBytes(model).mid(3)));
    const QList<QStringList> with =
        parseCsv(QString::fromUtf8(ReportExport::csvBytes(model, ReportExport::Options{true}).mid(3)));
    ASSERT_EQ(plain.size(), 3);
    EXPECT_EQ(plain.first().first(), u"Filial"_s);
    ASSERT_EQ(with.size(), plain.size() + 1 + expected.size() + 2);
    EXPECT_EQ(with.at(0), QStringList{u"Vendas por Dia"_s});
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_EQ(with.at(1 + i).join(u": "_s), expected.at(i)) << i;
    const qsizetype issued = 1 + expected.size();
    EXPECT_EQ(with.at(issued).first(), u"Emitido em"_s);
    EXPECT_EQ(with.at(issued).at(1), model.issued.toString(u"dd/MM/yyyy HH:mm"_s));
    EXPECT_EQ(with.at(issued + 1), QStringList{QString()});
    EXPECT_EQ(with.mid(issued + 2), plain);
    // the streamed writer gives the same bytes as csvBytes, with and without the option
    QTemporaryDir dir;
    for (const bool filters : {false, true}) {
        const QString file = dir.filePath(filters ? u"com.csv"_s : u"sem.csv"_s);
        ReportExport::write(model, file, {}, ReportExport::Options{filters});
        EXPECT_EQ(readAll(file), ReportExport::csvBytes(model, ReportExport::Options{filters})) << filters;
    }

    // HTML: each line in order, escaped, before the table
    const QString html = QString::fromUtf8(ReportExport::htmlBytes(model));
    qsizetype at = 0;
    for (const auto &filter : model.filters) {
        const QString line = u"<b>%1:</b> %2"_s.arg(filter.first.toHtmlEscaped(), filter.second.toHtmlEscaped());
        const qsizetype found = html.indexOf(line, at);
        EXPECT_GT(found, at) << line.toStdString();
        at = std::max(at, found);
    }
    EXPECT_LT(at, html.indexOf(u"<table>"_s));

    // XLSX: title on row 1, one row per line, the issue time, then the headings after an empty row
    const QString xlsx = dir.filePath(u"f.xlsx"_s);
    ReportExport::writeXlsx(model, xlsx);
    testsupport::keepWorkbook(xlsx);
    const QString sheet = tool(u"unzip"_s, {u"-p"_s, xlsx, u"xl/worksheets/sheet1.xml"_s});
    ASSERT_FALSE(sheet.isEmpty());
    auto text = [&sheet](const QString &ref) {
        const QRegularExpression re(u"<c r=\"%1\"[^>]*><is><t[^>]*>(.*?)</t></is></c>"_s.arg(ref));
        const QRegularExpressionMatch m = re.match(sheet);
        return m.hasMatch() ? m.captured(1) : QString();
    };
    auto xmlText = [](QString t) { // what the sheet's XML escapes in a text node
        return t.replace(u'&', u"&amp;"_s).replace(u'<', u"&lt;"_s).replace(u'>', u"&gt;"_s);
    };
    EXPECT_EQ(text(u"A1"_s), u"Vendas por Dia"_s);
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_EQ(text(u"A%1"_s.arg(i + 2)), xmlText(expected.at(i))) << i;
    const int issuedRow = int(expected.size()) + 2;
    EXPECT_TRUE(text(u"A%1"_s.arg(issuedRow)).startsWith(u"Emitido em "_s));
    EXPECT_EQ(text(u"A%1"_s.arg(issuedRow + 2)), u"Filial"_s);
    EXPECT_EQ(text(u"A%1"_s.arg(issuedRow + 3)), u"0001; \"A\""_s);
}
