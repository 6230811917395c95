// CSV cells a spreadsheet would run as formulas: text cells (names, codes, the group's value) are
// written as text, numbers as they are.

#include "enginetest.h"
#include "reportdocument.h"
#include "reportexport.h"

using namespace enginetest;
using namespace Qt::StringLiterals;

namespace {

ReportDefinition productDefinition()
{
    return definitionFrom(R"({
        "title": "Vendas por Produto",
        "params": [{"name": "P_DTVENDAINI", "type": "datetime"}, {"name": "P_DTVENDAFIN", "type": "datetime"}],
        "sql": {"default": "SELECT NMPRODUTO, CDPRODUTO, VRTOTAL FROM X"},
        "columns": [
            {"field": "NMPRODUTO", "label": "Produto"},
            {"field": "CDPRODUTO", "label": "Código"},
            {"field": "VRTOTAL", "label": "Total", "type": "money"}
        ]
    })");
}

TEST(CsvFormulas, TextCellsThatStartAFormulaAreWrittenAsText)
{
    const struct
    {
        QString name;     // as the database holds it
        QString written;  // the CSV field, quoting included
    } rows[] = {
        {u"=HYPERLINK(\"http://x\",\"clique\")"_s, u"\"'=HYPERLINK(\"\"http://x\"\",\"\"clique\"\")\""_s},
        {u"=1+1"_s, u"'=1+1"_s},
        {u"+5511999"_s, u"'+5511999"_s},
        {u"-2+3"_s, u"'-2+3"_s},
        {u"@SUM(A1)"_s, u"'@SUM(A1)"_s},
        // The report trims text cells, so what is left after a tab, a line end or a blank is what
        // reaches the spreadsheet's first position.
        {u"\t=1"_s, u"'=1"_s},
        {u"\r\n@x"_s, u"'@x"_s},
        {u" =1"_s, u"'=1"_s},
        {u"Café = bom"_s, u"Café = bom"_s}, // not at the start: plain text
        {u"'=já neutro"_s, u"'=já neutro"_s}, // an apostrophe of its own is kept, not doubled
        {u"Pão; \"francês\""_s, u"\"Pão; \"\"francês\"\"\""_s},
        {QString(), QString()},
    };
    ReportTable table;
    table.columns = {u"NMPRODUTO"_s, u"CDPRODUTO"_s, u"VRTOTAL"_s};
    for (const auto &row : rows)
        table.rows << QVariantList{row.name, u"-0101"_s, -12.5};
    const ReportModel model =
        ReportModel::build(u"Vnd025"_s, productDefinition(), period(QDate(2025, 6, 1), QDate(2025, 6, 30)), table);
    const QString csv = QString::fromUtf8(ReportExport::csvBytes(model));
    const QStringList lines = (csv.startsWith(QChar(0xFEFF)) ? csv.mid(1) : csv).split(u"\r\n"_s);
    ASSERT_EQ(lines.size(), std::size(rows) + 2) << csv.toStdString();     // heading, rows, the empty text after the last CRLF
    EXPECT_EQ(lines.first(), u"Produto;Código;Total"_s);
    for (size_t i = 0; i < std::size(rows); ++i) {
        // The code column is text as well; the negative money value stays a number.
        EXPECT_EQ(lines.at(qsizetype(i) + 1), rows[i].written + u";'-0101;-12,50"_s) << rows[i].name.toStdString();
    }
}

// A text that a spreadsheet would read as a number is quoted, so that a program reads the code as
// written and a spreadsheet told to take quoted fields as text keeps its leading zeros.
TEST(CsvFormulas, TextsThatReadAsNumbersAreQuoted)
{
    const struct
    {
        QString code;
        QString written;
    } rows[] = {
        {u"0101001"_s, u"\"0101001\""_s},
        {u"001"_s, u"\"001\""_s},
        {u"01.01.001"_s, u"\"01.01.001\""_s},
        {u"1,5"_s, u"\"1,5\""_s},
        {u"2,5L"_s, u"2,5L"_s},        // not a number
        {u"Caixa 01"_s, u"Caixa 01"_s},
        {u"-0101"_s, u"'-0101"_s},     // a formula start wins: the apostrophe, no quotes
        {u"08:00"_s, u"08:00"_s},
    };
    ReportTable table;
    table.columns = {u"NMPRODUTO"_s, u"CDPRODUTO"_s, u"VRTOTAL"_s};
    for (const auto &row : rows)
        table.rows << QVariantList{u"Pão"_s, row.code, 1.0};
    const ReportModel model =
        ReportModel::build(u"Vnd025"_s, productDefinition(), period(QDate(2025, 6, 1), QDate(2025, 6, 30)), table);
    const QStringList lines = QString::fromUtf8(ReportExport::csvBytes(model).mid(3)).split(u"\r\n"_s);
    ASSERT_EQ(lines.size(), std::size(rows) + 2);
    for (size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(lines.at(qsizetype(i) + 1), u"Pão;"_s + rows[i].written + u";1,00"_s) << rows[i].code.toStdString();
}

} // namespace
