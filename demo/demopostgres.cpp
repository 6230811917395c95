#include "demowriter.h"

// The demo written to a PostgreSQL server with QtSql: natively through QPSQL, or through the
// server's ODBC driver with QODBC, the same paths the host reads it by.

#include "dbms.h"
#include "driverprofile.h"
#include "errors.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

class PostgresDemoWriter : public DemoWriter
{
public:
    explicit PostgresDemoWriter(const DatabaseConfig &config)
        : mName(u"demo_pg_"_s + QUuid::createUuid().toString(QUuid::WithoutBraces))
    {
        const QSqlDatabase db = openDemoConnection(config, mName);
        const QString engine = dbmsNameOf(db);
        if (dbmsKindOfName(engine) != DbmsKind::PostgreSQL)
            throw EDatabaseError(u"The demo database through ODBC supports PostgreSQL, not %1"_s.arg(
                engine.isEmpty() ? u"an engine that does not name itself"_s : engine));
    }

    ~PostgresDemoWriter() override
    {
        mStatements.clear();
        {
            QSqlDatabase db = database();
            if (mInTransaction)
                db.rollback();
            db.close();
        }
        QSqlDatabase::removeDatabase(mName);
    }

    void execute(const QString &sql) override
    {
        QSqlQuery query(database());
        if (!query.exec(sql))
            throw EDatabaseError(u"%1\n%2"_s.arg(query.lastError().text(), sql));
    }

    int prepare(const DemoTable &table) override
    {
        auto query = std::make_unique<QSqlQuery>(database());
        const QString sql = demoInsertSql(table);
        if (!query->prepare(sql))
            throw EDatabaseError(u"%1\n%2"_s.arg(query->lastError().text(), sql));
        std::vector<QMetaType> nulls;
        for (const DemoColumn &column : table.columns)
            nulls.push_back(column.type == DemoType::Money || column.type == DemoType::Quantity
                                ? QMetaType::fromType<double>()
                                : QMetaType::fromType<QString>());
        mStatements.push_back({std::move(query), std::move(nulls)});
        return int(mStatements.size()) - 1;
    }

    void insert(int statement, const DemoValue *values) override
    {
        Statement &s = mStatements[size_t(statement)];
        for (size_t i = 0; i < s.nullTypes.size(); ++i) {
            const DemoValue &v = values[i];
            QVariant value;
            switch (v.kind) {
            case DemoValue::Null:
                value = QVariant(s.nullTypes[i]);
                break;
            case DemoValue::Int:
                value = qlonglong(v.n);
                break;
            // A double with two (three) decimals is the nearest one to the decimal; NUMERIC's
            // assignment rounds it back to the exact cents.
            case DemoValue::Cents:
                value = double(v.n) / 100.0;
                break;
            case DemoValue::Milli:
                value = double(v.n) / 1000.0;
                break;
            case DemoValue::Text:
                value = QString::fromUtf8(v.text, v.length);
                break;
            case DemoValue::Date:
                value = QDate::fromJulianDay(v.n);
                break;
            }
            s.query->bindValue(int(i), value);
        }
        if (!s.query->exec())
            throw EDatabaseError(u"%1\n%2"_s.arg(s.query->lastError().text(), s.query->lastQuery()));
    }

    // The rows go in one transaction: a commit per row would wait for the server every time.
    void beginRows() override
    {
        mInTransaction = database().transaction();
        if (!mInTransaction)
            throw EDatabaseError(database().lastError().text());
    }

    void endRows() override
    {
        mStatements.clear();
        if (!database().commit())
            throw EDatabaseError(database().lastError().text());
        mInTransaction = false;
    }

    void finish() override { execute(u"ANALYZE"_s); }

    DemoDialect dialect() const override { return DemoDialect::PostgreSQL; }

private:
    struct Statement
    {
        std::unique_ptr<QSqlQuery> query;
        std::vector<QMetaType> nullTypes; // the type a null of each column is bound as
    };

    QSqlDatabase database() const { return QSqlDatabase::database(mName, false); }

    QString mName;
    std::vector<Statement> mStatements;
    bool mInTransaction = false;
};

} // namespace

QSqlDatabase openDemoConnection(const DatabaseConfig &config, const QString &name)
{
    const DriverProfile &profile = driverProfile(config.driver);
    QSqlDatabase db = QSqlDatabase::addDatabase(QString(profile.driver), name);
    db.setDatabaseName(profile.odbc ? qodbcDatabaseName(config.name) : config.name);
    if (!config.host.isEmpty())
        db.setHostName(config.host);
    if (config.port > 0)
        db.setPort(config.port);
    if (!config.user.isEmpty())
        db.setUserName(config.user);
    if (!config.password.isEmpty())
        db.setPassword(config.password);
    if (!db.open())
        throw EDatabaseError(u"%1 %2: %3"_s.arg(QString(profile.driver), config.name, db.lastError().text()));
    return db;
}

std::unique_ptr<DemoWriter> makePostgresDemoWriter(const DatabaseConfig &config)
{
    return std::make_unique<PostgresDemoWriter>(config);
}
