#pragma once

#include "host_global.h"
#include "reportlayout.h"

#include <QDate>
#include <QString>
#include <QVariant>

// pt-BR texts of values: decimal comma, thousands dot, dd/MM/yyyy.
namespace ReportFormat {
// A value as a cell shows it: empty for null, white space around it dropped (a tab or a line end
// before a text must not reach a spreadsheet's first position). Padding is dropped at reading
// already (blankpadding.h); this is how a cell is shown, not how a value is read.
HOST_EXPORT QString text(const QVariant &value);
HOST_EXPORT QString number(double value, int decimals, bool thousands = true);
HOST_EXPORT QDate toDate(const QVariant &value);
HOST_EXPORT QString minutes(int minutesOfDay); // 510 -> "08:30"
// The text of a cell; `end` is the interval end for Interval columns.
HOST_EXPORT QString cell(const ReportColumn &column, const QVariant &value, const QVariant &end = {},
                         bool thousands = true);
} // namespace ReportFormat
