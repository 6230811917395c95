#pragma once

#include "host_global.h"
#include "params.h"

#include <QString>
#include <QStringList>
#include <QVariant>

namespace ReportSql {

// The most ":NAME" markers a report's statement may hold.
inline constexpr int MaxMarkers = 2000;

// Empty when the statement only reads (one SELECT or WITH statement); otherwise the reason it is
// refused, for the user.
HOST_EXPORT QString refusalReason(const QString &sql);

// The values to bind for `names`; throws EHostError for a name the report does not declare. Dates
// without a time of day are bound as dates, so they compare with DATE columns on every server.
HOST_EXPORT QVariantList bindValues(const QStringList &names, const TParams &params);

} // namespace ReportSql
