#include "benchsupport.h"

#include "adoibquery.h"
#include "application.h"
#include "datamodule.h"
#include "demodb.h"
#include "errors.h"
#include "hostconfig.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <malloc.h>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace bench {

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

QString lookupsDatabase(const QString &path, std::unique_ptr<QTemporaryDir> &keep)
{
    if (!path.isEmpty()) {
        if (!QFileInfo::exists(path))
            throw EHostError(u"database '%1' not found"_s.arg(path));
        return QFileInfo(path).absoluteFilePath();
    }
    keep = std::make_unique<QTemporaryDir>();
    const QString file = keep->filePath(u"lookups.sqlite"_s);
    std::fprintf(stderr, "creating the lookups-scale database in %s ...\n", qPrintable(file));
    // Lookups read only the chain; a few sales keep the file like the generator's default.
    createDemoDatabase(DatabaseConfig::sqlite(file), DemoSize::lookups(20000), 1);
    return file;
}

Host::Host(const QString &dbFile)
{
    mScope = std::make_unique<ScopedUi>(ui);
    mSession = std::make_unique<HostSession>();
    HostConfig config = HostConfig::load(HostConfig::defaultPath());
    config.applyOverrides(QJsonObject{{u"database"_s, QJsonObject{{u"driver"_s, u"QSQLITE"_s}, {u"name"_s, dbFile}}}},
                          QFileInfo(dbFile).absolutePath());
    mSession->start(config);
    if (!TdtmDBGeral::isOpen())
        throw EHostError(u"the host could not open '%1'"_s.arg(dbFile));
    mSession->showMainWindow();
    QCoreApplication::processEvents();
}

Host::~Host()
{
    mSession.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    mScope.reset();
}

Statement statementOf(TADOIBQuery &query)
{
    const QString text = query.statementFor(dialectOf(TdtmDBGeral::adcGeral()));
    Statement s;
    s.sql.reserve(text.size());
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text.at(i);
        if (c == u'\'') {
            const qsizetype end = text.indexOf(u'\'', i + 1);
            const qsizetype stop = end < 0 ? n : end + 1;
            s.sql += QStringView(text).mid(i, stop - i);
            i = stop;
        } else if (c == u':' && i + 1 < n && (text.at(i + 1).isLetter() || text.at(i + 1) == u'_')) {
            qsizetype j = i + 1;
            while (j < n && (text.at(j).isLetterOrNumber() || text.at(j) == u'_'))
                ++j;
            s.values.append(query.ParamByName(text.mid(i + 1, j - i - 1)).bindValue());
            s.sql += u'?';
            i = j;
        } else {
            s.sql += c;
            ++i;
        }
    }
    return s;
}

int runBare(const Statement &statement)
{
    QSqlQuery query(TdtmDBGeral::adcGeral());
    query.setForwardOnly(true);
    if (!query.prepare(statement.sql))
        throw EDatabaseError(query.lastError().text());
    for (const QVariant &v : statement.values)
        query.addBindValue(v);
    if (!query.exec())
        throw EDatabaseError(query.lastError().text());
    const int columns = query.record().count();
    int rows = 0;
    qsizetype sink = 0;
    while (query.next()) {
        for (int c = 0; c < columns; ++c)
            sink += query.value(c).isValid() ? 1 : 0;
        ++rows;
    }
    // Keeps the reads from being optimised away.
    if (sink < 0)
        std::fputs("", stderr);
    return rows;
}

KeptStatement::KeptStatement(const Statement &statement)
    : mStatement(statement), mQuery(std::make_unique<QSqlQuery>(TdtmDBGeral::adcGeral()))
{
    mQuery->setForwardOnly(true);
    if (!mQuery->prepare(mStatement.sql))
        throw EDatabaseError(mQuery->lastError().text());
}

KeptStatement::~KeptStatement() = default;

int KeptStatement::run()
{
    for (qsizetype i = 0; i < mStatement.values.size(); ++i)
        mQuery->bindValue(int(i), mStatement.values.at(i));
    if (!mQuery->exec())
        throw EDatabaseError(mQuery->lastError().text());
    const int columns = mQuery->record().count();
    int rows = 0;
    qsizetype sink = 0;
    while (mQuery->next()) {
        for (int c = 0; c < columns; ++c)
            sink += mQuery->value(c).isValid() ? 1 : 0;
        ++rows;
    }
    mQuery->finish();
    if (sink < 0)
        std::fputs("", stderr);
    return rows;
}

long residentKb()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

long heapInUseKb()
{
    return long(mallinfo2().uordblks / 1024);
}

int benchMain(int argc, char **argv, const char *name, int (*run)(int, char **))
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    try {
        return run(argc, argv);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s: %s\n", name, e.what());
        return 1;
    }
}

} // namespace bench
