#pragma once

#include "demodb.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QUuid>
#include <QVariant>
#include <cmath>

// A QtSql connection to a demo database, closed and removed with the object.
class DemoConnection
{
public:
    explicit DemoConnection(const DatabaseConfig &config)
        : mName(QStringLiteral("demotest_") + QUuid::createUuid().toString(QUuid::WithoutBraces))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(config.driver, mName);
        db.setDatabaseName(config.host.isEmpty()
                               ? config.name
                               : config.host + (config.port ? QLatin1Char('/') + QString::number(config.port)
                                                            : QString()) +
                                     QLatin1Char(':') + config.name);
        if (config.driver == QLatin1String("QIBASE")) {
            db.setUserName(config.user.isEmpty() ? QStringLiteral("SYSDBA") : config.user);
            db.setPassword(config.password.isEmpty() ? QStringLiteral("masterkey") : config.password);
            db.setConnectOptions(QStringLiteral("ISC_DPB_LC_CTYPE=UTF8"));
        }
        mOpen = db.open();
        mError = db.lastError().text();
    }
    ~DemoConnection()
    {
        QSqlDatabase::database(mName, false).close();
        QSqlDatabase::removeDatabase(mName);
    }
    DemoConnection(const DemoConnection &) = delete;
    DemoConnection &operator=(const DemoConnection &) = delete;

    bool isOpen() const { return mOpen; }
    const QString &error() const { return mError; }
    QSqlDatabase db() const { return QSqlDatabase::database(mName, false); }

    // Every row as "a|b|c"; numbers with decimals become whole cents and CHAR padding is dropped,
    // so SQLite's REAL and Firebird's NUMERIC compare equal.
    QStringList rows(const QString &sql, const QVariantList &binds = {}) const
    {
        QSqlQuery query(db());
        query.setForwardOnly(true);
        QStringList out;
        if (!query.prepare(sql)) {
            out << QStringLiteral("ERROR ") + query.lastError().text();
            return out;
        }
        for (int i = 0; i < binds.size(); ++i)
            query.bindValue(i, binds[i]);
        if (!query.exec()) {
            out << QStringLiteral("ERROR ") + query.lastError().text();
            return out;
        }
        // once: QIBASE reads the column descriptions from the system tables on every record()
        const int columns = query.record().count();
        while (query.next()) {
            QStringList fields;
            for (int i = 0; i < columns; ++i)
                fields << normalized(query.value(i));
            out << fields.join(QLatin1Char('|'));
        }
        return out;
    }

    QString scalar(const QString &sql, const QVariantList &binds = {}) const
    {
        const QStringList all = rows(sql, binds);
        return all.isEmpty() ? QStringLiteral("<no row>") : all.first();
    }

    static QString normalized(const QVariant &value)
    {
        if (value.isNull())
            return QStringLiteral("NULL");
        if (value.typeId() == QMetaType::Double)
            return QString::number(std::llround(value.toDouble() * 100.0));
        if (value.typeId() == QMetaType::QDate)
            return value.toDate().toString(Qt::ISODate);
        return value.toString().trimmed();
    }

private:
    QString mName;
    bool mOpen = false;
    QString mError;
};
