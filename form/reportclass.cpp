#include "reportclass.h"

#include <array>
#include <climits>

using namespace Qt::StringLiterals;

namespace ReportClass {

QString upperAscii(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - (u'a' - u'A'));
    }
    return out;
}

bool isHoraModalidade(const QString &reportName)
{
    return upperAscii(reportName).contains(u"VENDAS POR HORA/MODALIDADE"_s);
}

bool isConsolidadoExato(const QString &reportName)
{
    return reportName.contains(u"Resumo de Vendas - Consolidado"_s);
}

bool isConsolidadoMaiusculo(const QString &reportName)
{
    return upperAscii(reportName).contains(u"RESUMO DE VENDAS - CONSOLIDADO"_s);
}

namespace {
struct Row
{
    int first, last; // positions in the report list
    Groups groups;
};

// Every position falls in one row; the last row holds every report after the first ten, those
// added later and copies saved at the end of the list included.
constexpr std::array<Row, 8> kGroupsByPosition{{
    //                  intervalo caixa  produto listaCaixa
    {INT_MIN, -1, {false, false, false, true}}, // none chosen
    {0, 1, {false, true, false, true}},         // Vendas por Dia, Dia/Caixa
    {2, 2, {true, false, false, false}},        // Vendas por Hora
    {3, 4, {true, true, false, true}},          // Hora/Caixa, Hora/Loja
    {5, 6, {true, true, true, true}},           // Hora/Produto, Produto/Hora
    {7, 8, {false, false, false, true}},        // Resumo Consolidado, Resumo por Dia
    {9, 9, {true, false, false, true}},         // Hora/Modalidade
    // 10 and above: Ticket Médio, the heat map, the comparison and the register plan read one-hour
    // lines of every register (no interval, register or product filter)
    {10, INT_MAX, {false, false, false, true}},
}};
} // namespace

Groups groupsAt(int index)
{
    for (const Row &row : kGroupsByPosition) {
        if (index >= row.first && index <= row.last)
            return row.groups;
    }
    return kGroupsByPosition.front().groups; // the rows cover every position
}

} // namespace ReportClass
