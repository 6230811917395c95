#pragma once

#include "reportlayout.h"

#include <QList>
#include <QString>
#include <optional>
#include <utility>

// The highest and the lowest interval of a report ("bestWorst"), marked in lines and cross-tabs.
namespace ReportBestWorst {

// A value of the best and worst line: money with its sign, anything else as its column reads.
QString markedValue(const ReportColumn *format, double value);
// "Melhor horário: 12:00 às 12:59 (R$ 1.234,56) · Pior horário: …"
QString bestWorstLine(const QString &best, const QString &bestValue, const QString &worst, const QString &worstValue);
// The highest and the lowest of `values`; on a tie the first (the earliest interval) wins. Nothing
// when fewer than two values differ: no interval sold more than another.
std::optional<std::pair<qsizetype, qsizetype>> extremes(const QList<double> &values);

} // namespace ReportBestWorst
