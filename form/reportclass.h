#pragma once

#include "vnd02500_global.h"

#include <QString>

// What the screen opens for the chosen report: its position in the report list decides the
// interval, register and product groups; its name tells the hour/modality report and the
// consolidated summary. A report reads what it declares; what the screen opens is stated here only.
namespace ReportClass {
// Upper-casing touches a to z only, so accented letters keep their case on both sides of a test.
VND_EXPORT QString upperAscii(const QString &text);
// Hour/modality report: upper-cased name holds "VENDAS POR HORA/MODALIDADE".
VND_EXPORT bool isHoraModalidade(const QString &reportName);
// Consolidated summary, tested on the name as it is written.
VND_EXPORT bool isConsolidadoExato(const QString &reportName);
// Consolidated summary, tested on the upper-cased name.
VND_EXPORT bool isConsolidadoMaiusculo(const QString &reportName);

// The filter groups the position opens (-1: no report chosen).
struct Groups
{
    bool intervalo = false; // hour interval (the hour/modality report opens it wherever it stands)
    bool caixa = false;     // register group
    bool produto = false;   // product range
    bool listaCaixa = true; // the register list button may follow the "Lista" radio
};
VND_EXPORT Groups groupsAt(int index);
} // namespace ReportClass
