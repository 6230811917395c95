#pragma once

#include "host_global.h"
#include "dataset.h"
#include "dbms.h"
#include "params.h"

#include <QObject>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QStringList>
#include <memory>

class QSqlQuery;

// The dialect of a connection's engine; through ODBC, the engine the driver reports.
HOST_EXPORT SqlDialect dialectOf(const QSqlDatabase &db);

// Dialect-aware lookup query on the host's shared connection: one statement text per dialect, the
// default text where a dialect has none; parameters by name; the whole result held on the client.
class HOST_EXPORT TADOIBQuery : public QObject
{
    Q_OBJECT
public:
    explicit TADOIBQuery(QObject *parent = nullptr);
    ~TADOIBQuery() override;

    // Statement texts as lists of lines, joined by "\n" when run. Parameters (":NAME") are declared
    // from the texts as they are assigned (the host's ParamCheck).
    void setSQL(const QStringList &lines);
    void setSQL_ORACLE(const QStringList &lines);
    void setSQL_MSSQL(const QStringList &lines);
    void setSQL_IB(const QStringList &lines);
    const QStringList &SQL() const { return mSql[0]; }
    const QStringList &SQL_ORACLE() const { return mSql[1]; }
    const QStringList &SQL_MSSQL() const { return mSql[2]; }
    const QStringList &SQL_IB() const { return mSql[3]; }

    // The text that runs for `dialect` (its own, else the default), exactly as stored.
    QString statementFor(SqlDialect dialect) const;

    // Connection to use; the host's shared connection unless set (tests, report workers).
    void setConnection(const QString &connectionName) { mConnectionName = connectionName; }
    QSqlDatabase connection() const;

    TParams &Params() { return mParams; }
    TParam &ParamByName(const QString &name) { return mParams.ParamByName(name); }

    // Runs the dialect's text with the parameters bound by name; throws EDatabaseError on failure.
    void Open();
    void Close();
    bool Active() const { return mActive; }
    bool IsEmpty() const { return mData.IsEmpty(); }
    TField FieldByName(const QString &name) const { return mData.FieldByName(name); }

    // The inner dataset that data sources read.
    TDataSet *Query() { return &mData; }

private:
    // A dialect's text with its parameters turned positional, worked out once per text.
    struct Plan
    {
        bool ready = false;
        bool empty = true;
        QString executable;
        QStringList params; // name of each "?", in order
    };
    const Plan &planFor(SqlDialect dialect);
    QSqlQuery &preparedQuery(const QSqlDatabase &db, const QString &executable, bool &reused);
    void declareParams(const QStringList &lines);
    void openOnce();

    QStringList mSql[4];
    QString mConnectionName;
    TParams mParams;
    TDataSet mData;
    bool mActive = false;
    Plan mPlans[4];
    std::unique_ptr<QSqlQuery> mPrepared;
    QString mPreparedText; // empty: the query is not kept between opens

};
