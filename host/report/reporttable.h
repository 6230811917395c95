#pragma once

#include "host_global.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// The rows a report query answered, held on the client.
struct HOST_EXPORT ReportTable
{
    QStringList columns;
    QList<QVariantList> rows;

    // Case-insensitive, -1 when the query has no such column.
    int columnIndex(const QString &name) const;
    QVariant value(int row, int column) const;
};
