#include "reliability.h"

#include "application.h"
#include "corvel.h"
#include "errors.h"
#include "reportdefinition.h"
#include "reportdesignerwindow.h"
#include "reportengine.h"
#include "reportfile.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMutex>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <dlfcn.h>
#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace reliability {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

DatabaseConfig databaseConfig(const QString &driver, const QString &name)
{
    DatabaseConfig config;
    config.driver = driver;
    config.name = name;
    return config;
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

// ---------------------------------------------------------------------------------------------

namespace {
using TraceFn = int (*)(sqlite3 *, unsigned, int (*)(unsigned, void *, void *, void *), void *);

TraceFn traceFunction(void *library)
{
    return library ? reinterpret_cast<TraceFn>(dlsym(library, "sqlite3_trace_v2")) : nullptr;
}
} // namespace

StatementLog::StatementLog(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return;
    // The driver plugin links the system library; the same copy answers here.
    mLibrary = dlopen("libsqlite3.so.0", RTLD_NOW | RTLD_NOLOAD);
    const TraceFn trace = traceFunction(mLibrary);
    sqlite3 *raw = *static_cast<sqlite3 *const *>(handle.constData());
    if (!trace || !raw)
        return;
    if (trace(raw, SQLITE_TRACE_STMT, &StatementLog::onTrace, this) == SQLITE_OK)
        mDb = raw;
}

StatementLog::~StatementLog()
{
    if (mDb)
        traceFunction(mLibrary)(mDb, 0, nullptr, nullptr);
    if (mLibrary)
        dlclose(mLibrary);
}

int StatementLog::onTrace(unsigned type, void *context, void *, void *text)
{
    if (type == SQLITE_TRACE_STMT && text)
        static_cast<StatementLog *>(context)->mStatements << QString::fromUtf8(static_cast<const char *>(text));
    return 0;
}

// ---------------------------------------------------------------------------------------------

namespace {
QMutex gLogMutex;
QStringList gLogLines;
QtMessageHandler gPreviousHandler = nullptr;

void captureLine(QtMsgType, const QMessageLogContext &, const QString &text)
{
    const QMutexLocker lock(&gLogMutex);
    gLogLines << text;
}
} // namespace

LogCapture::LogCapture()
{
    {
        const QMutexLocker lock(&gLogMutex);
        gLogLines.clear();
    }
    gPreviousHandler = qInstallMessageHandler(&captureLine);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(gPreviousHandler);
}

QStringList LogCapture::lines() const
{
    const QMutexLocker lock(&gLogMutex);
    return gLogLines;
}

// ---------------------------------------------------------------------------------------------

void createDatabase(const QString &path)
{
    const QString name = u"setup_"_s + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(path);
        if (!db.open())
            throw EDatabaseError(db.lastError().text());
        QSqlQuery q(db);
        for (const char *sql : {
                 "CREATE TABLE FILIAL (CDFILIAL CHAR(4) PRIMARY KEY, NMFILIAL VARCHAR(30))",
                 "INSERT INTO FILIAL VALUES ('0001', 'Matriz')",
                 "INSERT INTO FILIAL VALUES ('0002', 'Centro')",
                 "INSERT INTO FILIAL VALUES ('00Ç1', 'Açude')",
                 "CREATE TABLE LOJA (CDFILIAL CHAR(4), CDLOJA CHAR(10), NMLOJA VARCHAR(35))",
                 "INSERT INTO LOJA VALUES ('0001', '0000000001', 'Loja Centro')",
                 "CREATE TABLE CAIXA (CDFILIAL CHAR(4), CDLOJA CHAR(10), CDCAIXA CHAR(3), NMCAIXA VARCHAR(30))",
                 "INSERT INTO CAIXA VALUES ('0001', '0000000001', '001', 'Caixa 1')",
                 "CREATE TABLE PRODUTO (CDPRODUTO CHAR(10), CDARVPROD VARCHAR(20), NMPRODUTO VARCHAR(50),"
                 " SGUNIDADE VARCHAR(10), CDNVPRODUTO CHAR(1))",
                 "INSERT INTO PRODUTO VALUES ('0000000001', '0101001', 'Café', 'UN', '3')",
                 "INSERT INTO PRODUTO VALUES ('0000000002', '0101002', 'Pão', 'UN', '3')",
                 "CREATE TABLE ITVENDA (CDFILIAL CHAR(4), CDCAIXA CHAR(3), NRVENDA INTEGER, NRSEQITEM INTEGER,"
                 " CDPRODUTO CHAR(10))",
                 "INSERT INTO ITVENDA VALUES ('0001', '001', 1, 1, '0000000001')",
             }) {
            if (!q.exec(QString::fromUtf8(sql)))
                throw EDatabaseError(q.lastError().text() + u" in "_s + QString::fromUtf8(sql));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

int branchCount(const QString &path)
{
    const QString name = u"count_"_s + QUuid::createUuid().toString(QUuid::WithoutBraces);
    int count = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(path);
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(u"SELECT COUNT(*) FROM FILIAL"_s) && q.next())
                count = q.value(0).toInt();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return count;
}

// ---------------------------------------------------------------------------------------------

void ScreenTest::SetUp()
{
    ASSERT_TRUE(mDir.isValid());
    ASSERT_NO_THROW(createDatabase(databasePath()));
    useCatalogueRunning(mDir.filePath(u"reports"_s), u"SELECT CDFILIAL, NMFILIAL FROM FILIAL ORDER BY CDFILIAL"_s);
    if (HasFatalFailure())
        return;
    HostContext context;
    context.filiProc = u"0001"_s;
    context.nomeFiliProc = u"Matriz"_s;
    setContext(context);
    openDatabase();
    createScreen();
}

void ScreenTest::openDatabase(const QString &options)
{
    DatabaseConfig config = databaseConfig(u"QSQLITE"_s, databasePath());
    config.options = options;
    openDatabase(config);
}

QString ScreenTest::reportPath(int index) const
{
    return QDir(reportsFolder()).filePath(u"r%1.json"_s.arg(index));
}

void ScreenTest::setReportSql(int index, const QString &sql)
{
    ReportDefinition def = ReportDefinition::load(reportPath(index));
    def.sql = {{SqlDialect::Default, sql}};
    saveDefinition(def, reportPath(index));
}

QStringList temporaries(const QString &folder)
{
    QStringList found;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (ReportFile::isTemporaryName(name))
            found << name;
    }
    return found;
}

ReportRun ScreenTest::saveAs(const QString &target)
{
    ReportRun last;
    const QMetaObject::Connection c =
        QObject::connect(&ReportEngine::instance(), &ReportEngine::finished, [&last](const ReportRun &run) { last = run; });
    fillValid(0);
    ui.answerFile(target);
    click(Action::SaveAs);
    QObject::disconnect(c);
    return last;
}

void ScreenTest::typeKeys(QWidget *widget, const QString &text)
{
    focus(widget);
    testsupport::typeKeys(widget, text);
}

void ScreenTest::typeText(QWidget *widget, const QString &text)
{
    focus(widget);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, text);
    QCoreApplication::sendEvent(widget, &release);
}

void ScreenTest::paste(QWidget *widget, const QString &text)
{
    focus(widget);
    QApplication::clipboard()->setText(text);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_V, Qt::ControlModifier);
    QCoreApplication::sendEvent(widget, &release);
}

void ScreenTest::focus(QWidget *widget)
{
    if (QApplication::focusWidget() != widget) {
        widget->setFocus(Qt::TabFocusReason);
        testsupport::flushDeletes();
    }
}

} // namespace reliability
