#pragma once

#include "params.h"
#include "vnd02500_global.h"

#include <QString>

// The screen's filters as a report reads them, taken when the report engine asks.
struct FilterSnapshot
{
    QString reportName;        // text of cbbReportNames
    QString filialText;        // text of edtFilial
    QString stFilial;
    QString stLoja;
    QString stCaixa;
    bool todasLoja = true;     // rbtTodasLoja checked
    bool todosCaixa = true;    // rbtTodosCaixa checked
    double dataIni = 0;        // GetDate of depDtHrIni
    double dataFin = 0;        // GetDate of depDtHrFin
    QString dataIniShown;      // edit text of depDtHrIni
    QString dataFinShown;      // edit text of depDtHrFin
    QString horaIniText;       // text of medHoraIni (HHMM)
    QString horaFinText;       // text of medHoraFin
    QString horaIni, minIni, horaFin, minFin; // hour parts
    QString intervaloText;     // text of medHoras (HHMM)
    QString prodIni;           // text of medDe
    QString prodFin;           // text of medAte
    bool consideraServico = true;
};

// Fills every parameter of the fixed set of eighteen names that the report declares; a name the
// report lacks is skipped and nothing outside the set is touched. The store and register pairs are
// set only when the report declares both names of the pair.
VND_EXPORT void BindReportParams(TParams &params, const FilterSnapshot &filters);

// The host's date value (days since 30/12/1899) as a calendar date-time.
VND_EXPORT QDateTime dateValueToDateTime(double value);
