#pragma once

// Shared helpers of the report engine tests: a scratch SQLite file with a small sales table, the
// engine pointed at it, recorded dialogs and the runs the engine announced.

#include "recordingui.h"
#include "reportdefinition.h"
#include "reportengine.h"
#include "reportfilters.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>
#include <gtest/gtest.h>
#include <memory>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace enginetest {

// The header's filter lines of a run, as the sales screen gives them to the engine.
inline ReportModel::Filters screenFilters(const ReportDefinition &definition, const TParams &params)
{
    return ReportFilters::of(ReportLayout::fromJson(definition.layout), params);
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Standard output of a tool (pdfinfo, pdftotext, unzip); empty when it fails.
inline QString tool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

inline int pdfPages(const QString &path)
{
    const QString info = tool(QStringLiteral("pdfinfo"), {path});
    for (const QString &line : info.split(u'\n')) {
        if (line.startsWith(u"Pages:"))
            return line.mid(6).trimmed().toInt();
    }
    return -1;
}

inline QString pdfText(const QString &path, int page = 0)
{
    QStringList args{QStringLiteral("-layout")};
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    args << path << QStringLiteral("-");
    return tool(QStringLiteral("pdftotext"), args);
}

inline ReportDefinition definitionFrom(const char *json)
{
    return ReportDefinition::fromJson(QJsonDocument::fromJson(QByteArray(json)).object());
}

// A definition of one query whose layout is `layoutJson`.
inline ReportDefinition definitionOf(const char *layoutJson)
{
    ReportDefinition def;
    def.title = QStringLiteral("Teste");
    def.sql.insert(SqlDialect::Default, QStringLiteral("SELECT 1"));
    def.layout = QJsonDocument::fromJson(QByteArray(layoutJson)).object();
    EXPECT_FALSE(def.layout.isEmpty()) << layoutJson;
    return def;
}

// A folder nobody may write to, even when the tests run as root (root then acts as "nobody" for
// the scope, so the permission bits apply).
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString &path) : mPath(path)
    {
        QFile::setPermissions(mPath, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                         QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
        if (geteuid() == 0)
            mDropped = seteuid(65534) == 0;
    }
    ~ReadOnlyFolder()
    {
        if (mDropped)
            (void)seteuid(0);
        QFile::setPermissions(mPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

private:
    QString mPath;
    bool mDropped = false;
};

// A failure in the middle of a write: the file size limit makes the writes fail as a full disk does.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &mOld);
        mHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = mOld;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &mOld);
        std::signal(SIGXFSZ, mHandler);
    }

private:
    rlimit mOld{};
    void (*mHandler)(int) = nullptr;
};

// Progress that cancels the query after `afterMs` milliseconds (or never when negative) and counts
// the timer ticks the UI thread delivered meanwhile.
class TimedProgress : public ReportProgress
{
public:
    explicit TimedProgress(int afterMs) : mAfter(afterMs) {}
    void begin(QWidget *, const QString &, const std::function<void()> &cancel) override
    {
        began = true;
        if (mAfter >= 0)
            QTimer::singleShot(mAfter, cancel);
        mTicker = std::make_unique<QTimer>();
        QObject::connect(mTicker.get(), &QTimer::timeout, [this] { ++ticks; });
        mTicker->start(20);
    }
    void end() override
    {
        mTicker.reset();
        ended = true;
    }
    bool began = false;
    bool ended = false;
    int ticks = 0;

private:
    int mAfter;
    std::unique_ptr<QTimer> mTicker;
};

// The daily report over VENDA_DIA, grouped by branch, with a ratio total.
inline ReportDefinition dailyDefinition()
{
    return definitionFrom(R"({
        "title": "Vendas por Dia",
        "params": [{"name": "P_DTVENDAINI", "type": "datetime"}, {"name": "P_DTVENDAFIN", "type": "datetime"}],
        "sql": {"default": "SELECT CDFILIAL, NMFILIAL, DTVENDA, QTVENDAS, VRTOTAL, VRTOTAL / QTVENDAS AS VRMEDIO FROM VENDA_DIA WHERE DTVENDA BETWEEN :P_DTVENDAINI AND :P_DTVENDAFIN ORDER BY CDFILIAL, DTVENDA"},
        "group": {"field": "CDFILIAL", "title": "Filial {CDFILIAL} - {NMFILIAL}", "label": "Filial"},
        "columns": [
            {"field": "DTVENDA", "label": "Data", "type": "date"},
            {"field": "QTVENDAS", "label": "Vendas", "type": "integer", "total": true},
            {"field": "VRTOTAL", "label": "Total", "type": "money", "total": true},
            {"field": "VRMEDIO", "label": "Ticket médio", "type": "money", "total": {"ratio": ["VRTOTAL", "QTVENDAS"]}}
        ]
    })");
}

inline TParams period(QDate from, QDate to)
{
    TParams params;
    params.CreateParam(QStringLiteral("P_DTVENDAINI")).SetAsDateTime(QDateTime(from, QTime(0, 0)));
    params.CreateParam(QStringLiteral("P_DTVENDAFIN")).SetAsDateTime(QDateTime(to, QTime(0, 0)));
    return params;
}


// A scratch SQLite database with VENDA_DIA: two branches, five days.
class EngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(mDir.isValid());
        dbPath = mDir.filePath(QStringLiteral("vendas.sqlite"));
        connection = QStringLiteral("engine_") + QUuid::createUuid().toString(QUuid::WithoutBraces);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(dbPath);
            ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE VENDA_DIA (CDFILIAL CHAR(4), NMFILIAL VARCHAR(30), "
                                              "DTVENDA DATE, QTVENDAS INTEGER, VRTOTAL REAL)")));
            const char *rows[] = {
                "('0001','Centro','2025-06-01',10,1500.50)", "('0001','Centro','2025-06-02',4,320.25)",
                "('0002','Norte','2025-06-01',7,910.00)",   "('0002','Norte','2025-06-02',1,15.75)",
                "('0002','Norte','2025-06-03',3,240.00)",
            };
            for (const char *row : rows)
                ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO VENDA_DIA VALUES ") + QLatin1String(row)));
        }
        ReportEngine::instance().setSourceConnection(connection);
        mRuns = QObject::connect(&ReportEngine::instance(), &ReportEngine::finished,
                                 [this](const ReportRun &run) { runs << run; });
        mScope = std::make_unique<ScopedUi>(ui);
    }

    void TearDown() override
    {
        mScope.reset();
        QObject::disconnect(mRuns);
        ReportEngine::instance().setSourceConnection({});
        ReportEngine::instance().setProgress(nullptr);
        QSqlDatabase::database(connection, false).close();
        QSqlDatabase::removeDatabase(connection);
    }

    QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }

    QString scalar(const QString &sql) const
    {
        QSqlQuery q(db());
        if (!q.exec(sql) || !q.next())
            return QStringLiteral("<%1>").arg(q.lastError().text());
        return q.value(0).toString();
    }

    QString path(const QString &name) const { return mDir.filePath(name); }

    QString dbPath;
    QString connection;
    RecordingUi ui;
    QList<ReportRun> runs;

private:
    QTemporaryDir mDir;
    QMetaObject::Connection mRuns;
    std::unique_ptr<ScopedUi> mScope;
};

} // namespace enginetest
