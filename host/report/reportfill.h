#pragma once

#include "host_global.h"

#include <QJsonValue>
#include <QList>
#include <QString>
#include <optional>

class TParams;
struct ReportLayout;
struct ReportTable;

// The lines an hour or a day report lists whether or not anything sold ("fill" in a definition,
// docs/reports.md): every interval of the hour window, every day of the period, with zeros.
struct HOST_EXPORT ReportFill
{
    enum class Kind { None, Hours, Days };
    Kind kind = Kind::None;
    QString field;    // the interval's first minute (HRINICIO) or the day (DTVENDA)
    QString endField; // Hours: the interval's last minute (HRFIM), written into the added lines
    QString stepParam; // Hours: the parameter holding the minutes per line; empty: one hour
    // Hours: the parameters of the hour window ("window": {"when", "from", "to"}): the hours from..to
    // (HHMM) when `when` holds 'S'. Days: the period's first and last day ("period": {"from", "to"}).
    QString windowWhen, windowFrom, windowTo;
    QString periodFrom, periodTo;

    bool active() const { return kind != Kind::None; }

    // {"hours": field, "end": field, "step": parameter, "window": {"when", "from", "to"}} or
    // {"days": field, "period": {"from", "to"}}; throws EHostError naming what is wrong.
    static ReportFill fromJson(const QJsonValue &value);

    // Minutes per line, as the hour reports' SQL reads the parameter: more than one minute, or 60.
    int step(const TParams &params) const;
    // The first minute of every interval of the window, in clock order: the intervals that the
    // window's hours touch when it is asked for (a start after the end: from midnight to the end
    // and from the start to 23:59), otherwise from the first to the last of `present`.
    QList<int> intervals(const TParams &params, int step, const QList<int> &present) const;

    // The query's rows with a line of zeros added for each interval or day they lack, in order:
    // per group when the report is grouped by something else (every store gets every hour),
    // as a group of its own when the report is grouped by the interval. Nothing when no line is
    // missing or the query answered no rows (the report then says that nothing sold).
    std::optional<ReportTable> filled(const ReportLayout &layout, const TParams &params,
                                      const ReportTable &table) const;
};
