#pragma once

#include "host_global.h"
#include "adoibquery.h"
#include "params.h"

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>

// A declared query parameter of a report.
struct HOST_EXPORT ReportParamDecl
{
    enum class Type { Text, DateTime, Integer };
    QString name;
    Type type = Type::Text;
    // "default": the value a parameter no filter of the screen fills starts with (a report's
    // target, say); invalid: none, the parameter starts unassigned.
    QVariant defaultValue;
};

// One report definition file: title, declared parameters, SQL per dialect and layout. Layout keys
// the loader does not know are kept untouched in `layout`, so that saving never loses them.
struct HOST_EXPORT ReportDefinition
{
    QString title;
    QList<ReportParamDecl> params;
    QMap<SqlDialect, QString> sql; // Default always present once loaded
    // The same report read from a summary table (`summaryTable`, the sales per minute) where the
    // database has it; none for a report whose filters need each sale (products, payments).
    // Changing `sql` means changing these too: the two must give the same figures.
    QString summaryTable;
    QMap<SqlDialect, QString> summarySql;
    QJsonObject layout; // columns, grouping, totals, chart

    QString sqlFor(SqlDialect dialect) const;
    // The summary text that stands for sqlFor(dialect); empty when there is none (also when the
    // dialect has a text of its own and the summary only a default one).
    QString summarySqlFor(SqlDialect dialect) const;
    // An unassigned parameter per declaration, typed as declared.
    TParams makeParams() const;

    // Throws EHostError with a readable message when the file is missing, unreadable or malformed.
    static ReportDefinition load(const QString &path);
    static ReportDefinition fromJson(const QJsonObject &object);
    QJsonObject toJson() const;
};

// The reports a screen offers, in their fixed order, from "<folder>/<code>/index.json".
class HOST_EXPORT ReportCatalog
{
public:
    struct Entry
    {
        QString title;
        QString file; // relative to the catalogue folder
    };

    // Throws EHostError when the index is missing or malformed, or when an entry's file lies outside
    // `reportsDir` (an absolute path, "..", a link leading out). Definitions and indexes are read
    // only from plain files of at most 4 MB (never a FIFO or a device).
    static ReportCatalog load(const QString &reportsDir, const QString &reportCode);

    const QList<Entry> &entries() const { return mEntries; }
    QString folder() const { return mFolder; }
    QString pathOf(int index) const;

private:
    QList<Entry> mEntries;
    QString mFolder;
};

// Where report definitions live: the host configuration's folder, else the project's reports/.
HOST_EXPORT QString reportsDirectory();
HOST_EXPORT void setReportsDirectory(const QString &dir);
