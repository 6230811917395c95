// Reports with more than a file or a page can hold, and definitions that could turn the reader
// against the machine: each ends in a message (the old file kept) or in a cut that says so, never
// in a crash, a hang or a file that silently lacks data.

#include "enginetest.h"
#include "errors.h"
#include "reportdocument.h"
#include "reportexport.h"

#include <QDir>
#include <QRegularExpression>
#include <sys/stat.h>

using namespace enginetest;
using namespace Qt::StringLiterals;

namespace {

// A name column and a money column with its total.
ReportDefinition namesDefinition(const char *width = "3")
{
    const QByteArray json = QByteArray(R"({"title": "Vendas por Produto", "params": [], "sql": {"default": "SELECT 1"},
        "columns": [{"field": "NMPRODUTO", "label": "Produto", "width": )") +
                            width + R"(}, {"field": "VRTOTAL", "label": "Total", "type": "money", "total": true}]})";
    return definitionFrom(json.constData());
}

ReportModel namesModel(const QList<QVariantList> &rows, const char *width = "3")
{
    ReportTable table;
    table.columns = {u"NMPRODUTO"_s, u"VRTOTAL"_s};
    table.rows = rows;
    return ReportModel::build(u"Vnd025"_s, namesDefinition(width), TParams(), table);
}

QString sheetOf(const QString &xlsx)
{
    return tool(u"unzip"_s, {u"-p"_s, xlsx, u"xl/worksheets/sheet1.xml"_s});
}

// The text of inline string cell `ref` ("A6"), XML entities left as they are.
QString inlineText(const QString &sheet, const QString &ref)
{
    const QRegularExpression re(u"<c r=\"%1\"[^>]*><is><t[^>]*>(.*?)</t></is></c>"_s.arg(ref),
                                QRegularExpression::DotMatchesEverythingOption);
    return re.match(sheet).captured(1);
}

TEST(ReportLimits, XlsxNeverHoldsLessThanItSaysWithoutAWord)
{
    const QByteArray old("planilha anterior\n");
    const QString longName = QString(40000, u'x');
    QList<QVariantList> many;
    for (int i = 0; i < 40000; ++i)
        many << QVariantList{u"Produto número %1 com um nome de bom tamanho"_s.arg(i), 10.0 + i};
    const ReportModel big = namesModel(many);
    const ReportModel longCell = namesModel({{longName, 1.0}, {u"curto"_s, 2.0}});
    // Past the most rows a sheet holds: the lines are shared copies, so the model stays small.
    ReportModel tooMany = namesModel({{u"a"_s, 1.0}});
    const ReportLine detail = tooMany.lines.first();
    const ReportLine total = tooMany.lines.last();
    ASSERT_EQ(total.kind, ReportLine::Kind::Total);
    tooMany.lines = QList<ReportLine>(1048576 - 5, detail) << total;

    const struct
    {
        const char *label;
        const ReportModel *model;
        rlim_t sizeLimit;      // 0: none
        const char *message;   // nullptr: written
        const char *lastName;  // written: the text of the first data row's name cell ends so
    } rows[] = {
        {"the rows' own temporary cut by a file size limit", &big, 3 * 1024 * 1024, "O arquivo passou do tamanho máximo", nullptr},
        {"the same rows without a limit", &big, 0, nullptr, "Produto número 0 com um nome de bom tamanho"},
        {"a cell over 32,767 characters", &longCell, 0, nullptr, "xxxxx… [texto cortado]"},
        {"one row more than a sheet holds", &tooMany, 0, "O relatório ocupa 1.048.577 linhas, e uma planilha XLSX tem no máximo 1.048.576", nullptr},
    };
    for (const auto &row : rows) {
        QTemporaryDir dir;
        const QString target = dir.filePath(u"vendas.xlsx"_s);
        ASSERT_TRUE(writeAll(target, old));
        QString message;
        {
            std::unique_ptr<FileSizeLimit> limit;
            if (row.sizeLimit)
                limit = std::make_unique<FileSizeLimit>(row.sizeLimit);
            try {
                ReportExport::writeXlsx(*row.model, target);
            } catch (const EHostError &e) {
                message = e.message();
            }
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"vendas.xlsx"_s})
            << row.label << ": temporaries left behind";
        if (row.message) {
            EXPECT_TRUE(message.contains(QString::fromUtf8(row.message))) << row.label << ": " << message.toStdString();
            EXPECT_EQ(readAll(target), old) << row.label;
            continue;
        }
        ASSERT_TRUE(message.isEmpty()) << row.label << ": " << message.toStdString();
        const QString sheet = sheetOf(target);
        EXPECT_TRUE(sheet.endsWith(u"</worksheet>"_s)) << row.label;
        const QString name = inlineText(sheet, u"A6"_s);
        EXPECT_TRUE(name.endsWith(QString::fromUtf8(row.lastName))) << row.label << ": " << name.right(60).toStdString();
        EXPECT_LE(name.size(), 32767) << row.label;
        EXPECT_TRUE(sheet.contains(u"<f>SUM("_s)) << row.label << ": no total line";
    }
}

TEST(ReportLimits, PagesShowAHugeTextCutToTheirWidth)
{
    // Measured whole, 100 million characters crashed the text shaper.
    QString huge(100'000'000, u'x');
    huge.replace(0, 9, u"Produto A"_s);
    const ReportDocument document(namesModel({{huge, 1.0}, {u"Produto B"_s, 2.0}}));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(u"vendas.pdf"_s);
    ReportExport::writePdf(document, pdf);
    EXPECT_EQ(pdfPages(pdf), 1);
    const QString text = tool(u"pdftotext"_s, {pdf, u"-"_s});
    EXPECT_TRUE(text.contains(u"Produto B"_s)) << text.left(400).toStdString();
    EXPECT_TRUE(text.contains(u"Produto Axxx"_s)) << text.left(400).toStdString();
}

TEST(ReportLimits, ColumnWidthsAreNumbersAPageCanShare)
{
    const struct
    {
        const char *width;
        const char *message; // nullptr: taken
    } rows[] = {
        {"3", nullptr},
        {"0", nullptr}, // the type's own
        {"null", nullptr},
        {"0.5", nullptr},
        {"10", nullptr},
        {"1e308", "A largura da coluna 'NMPRODUTO' do layout deve ser um número de 0,5 a 10"},
        {"10.5", "deve ser um número de 0,5 a 10 (relativo às outras colunas), não 10,5."},
        {"0.1", "não 0,1."},
        {"-2", "não -2."},
        {"\"larga\"", "não um valor que não é número."},
    };
    for (const auto &row : rows) {
        const ReportDefinition definition = namesDefinition(row.width);
        const QString problem = ReportEngine::validate(definition);
        if (!row.message) {
            EXPECT_TRUE(problem.isEmpty()) << row.width << ": " << problem.toStdString();
            continue;
        }
        EXPECT_TRUE(problem.contains(QString::fromUtf8(row.message))) << row.width << ": " << problem.toStdString();
    }
    // the numeric column keeps its place on the page beside the widest
    const ReportDocument document(namesModel({{u"Produto A"_s, 1234.5}}, "10"));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(u"vendas.pdf"_s);
    ReportExport::writePdf(document, pdf);
    EXPECT_TRUE(tool(u"pdftotext"_s, {pdf, u"-"_s}).contains(u"1.234,50"_s));
}

// Index entries name plain files of the reports folder only, of a definition's size.
TEST(ReportLimits, IndexEntriesStayInsideTheReportsFolder)
{
    QTemporaryDir dir;
    const QString reports = dir.filePath(u"reports"_s);
    const QString folder = QDir(reports).filePath(u"Vnd025"_s);
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray good = QJsonDocument(namesDefinition().toJson()).toJson();
    ASSERT_TRUE(writeAll(QDir(folder).filePath(u"bom.json"_s), good));
    ASSERT_TRUE(writeAll(QDir(reports).filePath(u"comum.json"_s), good));
    ASSERT_TRUE(writeAll(dir.filePath(u"fora.json"_s), good));
    ASSERT_TRUE(QFile::link(dir.filePath(u"fora.json"_s), QDir(folder).filePath(u"link.json"_s)));
    ASSERT_TRUE(QFile::link(u"/dev/zero"_s, QDir(folder).filePath(u"zero.json"_s)));
    ASSERT_EQ(::mkfifo(QFile::encodeName(QDir(folder).filePath(u"fila.json"_s)).constData(), 0600), 0);
    ASSERT_TRUE(writeAll(QDir(folder).filePath(u"grande.json"_s), QByteArray(5 * 1024 * 1024, ' ') + good));

    const struct
    {
        const char *file;
        const char *message; // nullptr: loads
    } rows[] = {
        {"bom.json", nullptr},
        {"../comum.json", nullptr},
        {"../../fora.json", "\"Vendas\" está fora da pasta de relatórios"},
        {"/dev/zero", "\"Vendas\" é um caminho absoluto, fora da pasta de relatórios"},
        {"link.json", "\"Vendas\" é um link que leva fora da pasta de relatórios"},
        {"zero.json", "\"Vendas\" é um link que leva fora da pasta de relatórios"},
        {"fila.json", "fila.json': não é um arquivo comum (é uma pasta, um dispositivo ou uma fila)."},
        {"grande.json", "passa de 4 MB"},
    };
    for (const auto &row : rows) {
        const QJsonObject index{{u"reports"_s, QJsonArray{QJsonObject{{u"title"_s, u"Vendas"_s}, {u"file"_s, QString::fromUtf8(row.file)}}}}};
        ASSERT_TRUE(writeAll(QDir(folder).filePath(u"index.json"_s), QJsonDocument(index).toJson()));
        QString message;
        try {
            const ReportCatalog catalog = ReportCatalog::load(reports, u"Vnd025"_s);
            EXPECT_EQ(ReportDefinition::load(catalog.pathOf(0)).title, u"Vendas por Produto"_s) << row.file;
        } catch (const EHostError &e) {
            message = e.message();
        }
        if (!row.message)
            EXPECT_TRUE(message.isEmpty()) << row.file << ": " << message.toStdString();
        else
            EXPECT_TRUE(message.contains(QString::fromUtf8(row.message))) << row.file << ": " << message.toStdString();
    }
}

} // namespace
