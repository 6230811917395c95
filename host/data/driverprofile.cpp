#include "driverprofile.h"

using namespace Qt::StringLiterals;

namespace {

using L = QLatin1StringView;

// One row per engine; the DBMS names are matched in this order, first match wins. "Microsoft SQL
// Server" is also what Azure SQL and SQL Server's own ODBC drivers report; Firebird's ODBC driver
// may call itself InterBase.
// clang-format off
constexpr DriverProfile kProfiles[] = {
    // driver     kind                  dbmsName                    dialect                  cancel                            fixedChar                     odbc   file   creates defaults readOnlyOption                reportRole
    {L("QSQLITE"), DbmsKind::SQLite,     L("SQLite"),               SqlDialect::Default,    StatementCancel::SqliteInterrupt, FixedCharType::None,         false, true,  true,  false, L("QSQLITE_OPEN_READONLY"), ReportRoleGrammar::None},
    {L("QIBASE"),  DbmsKind::Firebird,   L("Firebird"),             SqlDialect::InterBase,  StatementCancel::FirebirdCancel,  FixedCharType::FirebirdText, false, true,  false, true,  L(),                        ReportRoleGrammar::FirebirdDpb},
    {L("QPSQL"),   DbmsKind::PostgreSQL, L("PostgreSQL"),           SqlDialect::PostgreSQL, StatementCancel::PostgresCancel,  FixedCharType::PostgresBpchar, false, false, false, false, L(),                        ReportRoleGrammar::SqlSetRole},
    {L("QOCI"),    DbmsKind::Oracle,     L("Oracle"),               SqlDialect::Oracle,     StatementCancel::None,            FixedCharType::OracleAfc,    false, false, false, false, L(),                        ReportRoleGrammar::None},
    {L(),          DbmsKind::MSSQL,      L("Microsoft SQL Server"), SqlDialect::MSSQL,      StatementCancel::None,            FixedCharType::OdbcSqlType,  true,  false, false, false, L(),                        ReportRoleGrammar::None},
    {L(),          DbmsKind::Firebird,   L("InterBase"),            SqlDialect::InterBase,  StatementCancel::None,            FixedCharType::OdbcSqlType,  true,  false, false, false, L(),                        ReportRoleGrammar::None},
    {L("QODBC"),   DbmsKind::Other,      L(),                       SqlDialect::Default,    StatementCancel::OdbcStatement,   FixedCharType::OdbcSqlType,  true,  false, false, false, L(),                        ReportRoleGrammar::None},
};
// clang-format on

constexpr DriverProfile kUnknown = {L(), DbmsKind::Other, L(), SqlDialect::Default, StatementCancel::None,
                                    FixedCharType::None, false, false, false, false, L(), ReportRoleGrammar::None};

} // namespace

const DriverProfile &driverProfile(const QString &driverName)
{
    const QString name = driverName.trimmed();
    if (name.isEmpty())
        return kUnknown;
    // QtSql names a second ODBC or SQLite build QODBC3, QSQLITE3...
    for (const DriverProfile &p : kProfiles)
        if (!p.driver.isEmpty() && name.compare(p.driver, Qt::CaseInsensitive) == 0)
            return p;
    if (name.startsWith(u"QODBC"_s, Qt::CaseInsensitive))
        return driverProfile(u"QODBC"_s);
    return kUnknown;
}

const DriverProfile &driverProfile(const QSqlDatabase &db)
{
    return db.isValid() ? driverProfile(db.driverName()) : kUnknown;
}

const DriverProfile &engineProfile(DbmsKind kind)
{
    for (const DriverProfile &p : kProfiles)
        if (p.kind == kind && kind != DbmsKind::Other)
            return p;
    return kUnknown;
}

const DriverProfile &engineProfileOfName(const QString &dbmsName)
{
    const QString name = dbmsName.trimmed();
    for (const DriverProfile &p : kProfiles)
        if (!p.dbmsName.isEmpty() && name.startsWith(p.dbmsName, Qt::CaseInsensitive))
            return p;
    return kUnknown;
}
