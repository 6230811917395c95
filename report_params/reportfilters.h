#pragma once

#include "params.h"
#include "reportlayout.h"
#include "vnd02500_global.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

// What the parameters of this screen's reports read as in a report's header, HTML and XLSX.
namespace ReportFilters {

// The names the screen's lookups showed for the codes of a run: a filter line then reads
// "0001 - Centro"; a code without a name reads as the code alone.
struct Names
{
    QHash<QString, QString> filiais;
    QHash<QString, QString> lojas;
    QHash<QString, QString> caixas;
};

// The filters the parameters express, with pt-BR labels, in a fixed order; product codes shown
// through `productMask` (the host's code mask) as the screen's edits show them.
VND_EXPORT QList<QPair<QString, QString>> fromParams(const TParams &params, const QString &productMask = {},
                                                     const Names &names = {});

// The period a comparison sets beside the chosen one ("shift": "previous"): the month(s) before
// when it is whole calendar months, else the days of equal length just before (for whole Monday to
// Sunday weeks, the week(s) before); `rule` says which ("mês anterior", "semana anterior", …).
struct PreviousPeriod
{
    QDate first, last;
    QString rule;
};
VND_EXPORT PreviousPeriod previousPeriod(const QDate &first, const QDate &last);

// The periods a layout derives from P_DTVENDAINI/P_DTVENDAFIN, as "dd/MM/yyyy a dd/MM/yyyy" after
// their labels (the previous one after its rule: "mês anterior, 01/10/2026 a 31/10/2026"); nothing
// when the parameters hold no dates.
VND_EXPORT QList<QPair<QString, QString>> derivedPeriods(const ReportLayout &layout, const TParams &params);

// Every filter line of one report: those of the parameters, the derived periods right after the
// chosen one, and the interval a report fixes in place of the screen's.
VND_EXPORT QList<QPair<QString, QString>> of(const ReportLayout &layout, const TParams &params,
                                             const QString &productMask = {}, const Names &names = {});

} // namespace ReportFilters
