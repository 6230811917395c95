#include "lookupfixture.h"

#include "application.h"
#include "corvel.h"
#include "errors.h"
#include "firebird.h"
#include "modulestate.h"
#include "odbcserver.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <map>

using namespace Qt::StringLiterals;

namespace lookups {
namespace {

// Codes fill their CHAR columns, as the host's codes do, so no engine pads them.
const char *const kSchema[] = {
    "CREATE TABLE FILIAL (CDFILIAL CHAR(4) NOT NULL PRIMARY KEY, NMFILIAL VARCHAR(30))",
    "CREATE TABLE LOJA (CDFILIAL CHAR(4) NOT NULL, CDLOJA CHAR(10) NOT NULL, NMLOJA VARCHAR(35),"
    " PRIMARY KEY (CDFILIAL, CDLOJA))",
    "CREATE TABLE CAIXA (CDFILIAL CHAR(4) NOT NULL, CDLOJA CHAR(10) NOT NULL, CDCAIXA CHAR(3) NOT NULL,"
    " NMCAIXA VARCHAR(30), PRIMARY KEY (CDFILIAL, CDCAIXA))",
    "CREATE TABLE PRODUTO (CDPRODUTO CHAR(10) NOT NULL PRIMARY KEY, CDARVPROD VARCHAR(20), NMPRODUTO VARCHAR(50),"
    " SGUNIDADE VARCHAR(10), CDNVPRODUTO CHAR(1))",
    "CREATE TABLE ITVENDA (CDFILIAL CHAR(4) NOT NULL, CDCAIXA CHAR(3) NOT NULL, NRVENDA INTEGER NOT NULL,"
    " NRSEQITEM INTEGER NOT NULL, CDPRODUTO CHAR(10), PRIMARY KEY (CDFILIAL, CDCAIXA, NRVENDA, NRSEQITEM))",
};

const char *const kFirebirdRoutines[] = {
    "CREATE OR ALTER PROCEDURE PARAM (P VARCHAR(4000)) RETURNS (PARAM VARCHAR(4000)) AS BEGIN PARAM = P; SUSPEND;"
    " END",
    "CREATE OR ALTER FUNCTION INSTR (S VARCHAR(8191), SUB VARCHAR(8191)) RETURNS INTEGER AS BEGIN"
    " RETURN POSITION(SUB IN S); END",
};

// 0005 has no stores; 00Ç1 tests the one accented letter codes may hold; store 0000000099 of 0001
// is missing from LOJA although a register names it.
const char *const kRows[] = {
    "INSERT INTO FILIAL VALUES ('0001', 'Matriz')",
    "INSERT INTO FILIAL VALUES ('0002', 'Centro')",
    "INSERT INTO FILIAL VALUES ('0005', 'Sem lojas')",
    "INSERT INTO FILIAL VALUES ('0009', 'Norte')",
    "INSERT INTO FILIAL VALUES ('00Ç1', 'Açude')",
    "INSERT INTO LOJA VALUES ('0001', '0000000001', 'Loja Um')",
    "INSERT INTO LOJA VALUES ('0001', '0000000002', 'Loja Dois')",
    "INSERT INTO LOJA VALUES ('0002', '0000000003', 'Loja Centro')",
    "INSERT INTO LOJA VALUES ('0009', '0000000004', 'Loja Norte')",
    "INSERT INTO LOJA VALUES ('0009', '0000000005', 'Loja Norte Dois')",
    "INSERT INTO LOJA VALUES ('00Ç1', '0000000006', 'Loja Açude')",
    "INSERT INTO CAIXA VALUES ('0001', '0000000001', '001', 'Caixa 1')",
    "INSERT INTO CAIXA VALUES ('0001', '0000000001', '002', 'Caixa 2')",
    "INSERT INTO CAIXA VALUES ('0001', '0000000002', '003', 'Caixa 3')",
    "INSERT INTO CAIXA VALUES ('0001', '0000000099', '004', 'Caixa sem loja')",
    "INSERT INTO CAIXA VALUES ('0002', '0000000003', '001', 'Caixa Centro')",
    "INSERT INTO CAIXA VALUES ('0009', '0000000004', '001', 'Caixa Norte')",
    "INSERT INTO PRODUTO VALUES ('0000000001', '0101001', 'Arroz', 'KG', '3')",
    "INSERT INTO PRODUTO VALUES ('0000000002', '0101002', 'Feijão', 'KG', '3')",
    "INSERT INTO PRODUTO VALUES ('0000000003', '0102001', 'Café', 'UN', '3')",
    "INSERT INTO PRODUTO VALUES ('0000000009', '9', 'Nove', 'UN', '3')",
    "INSERT INTO PRODUTO VALUES ('0000000010', '10', 'Dez', 'UN', '3')",
    "INSERT INTO PRODUTO VALUES ('0000000011', '09', 'Zero nove', 'UN', '3')",
    "INSERT INTO ITVENDA VALUES ('0001', '001', 1, 1, '0000000001')",
    "INSERT INTO ITVENDA VALUES ('0001', '001', 1, 2, '0000000003')",
    "INSERT INTO ITVENDA VALUES ('0001', '002', 2, 1, '0000000001')",
    "INSERT INTO ITVENDA VALUES ('0002', '001', 1, 1, '0000000002')",
};

const char *const kPostgresRoutines[] = {
    "CREATE OR REPLACE FUNCTION INSTR(S TEXT, SUB TEXT) RETURNS INTEGER LANGUAGE SQL IMMUTABLE"
    " AS 'SELECT POSITION(SUB IN S)'",
};

struct Prepared
{
    DatabaseConfig config;
    QString failure;
};

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    return dir;
}

QString run(const QSqlDatabase &db, const char *const *begin, const char *const *end)
{
    QSqlQuery q(db);
    for (const char *const *s = begin; s != end; ++s) {
        if (!q.exec(QString::fromUtf8(*s)))
            return q.lastError().text() + u" in: "_s + QString::fromUtf8(*s);
    }
    return {};
}

// A fresh database on the test server for this process and way of reaching it.
QString freshPostgresDatabase(const QString &way)
{
    return u"bo_lookups_%1_%2"_s.arg(way).arg(QCoreApplication::applicationPid());
}

Prepared build(Engine engine)
{
    Prepared p;
    try {
        if (engine == Engine::Postgres) {
            const QString name = freshPostgresDatabase(u"native"_s);
            testsupport::createPostgresDatabase(name);
            p.config = testsupport::postgresConfig(name);
        } else if (engine == Engine::OdbcPostgres) {
            p.config.driver = u"QODBC"_s;
            p.config.name = testsupport::createPostgresDatabase(freshPostgresDatabase(u"odbc"_s));
        } else if (engine == Engine::OdbcSqlite) {
            p.config.driver = u"QODBC"_s;
            p.config.name = u"DSN=bo_sqlite;Database="_s + folder().filePath(u"lookups-odbc.sqlite"_s);
        } else if (engine == Engine::Sqlite) {
            p.config.driver = u"QSQLITE"_s;
            p.config.name = folder().filePath(u"lookups.sqlite"_s);
            p.config.createIfMissing = true;
        } else {
            p.config.driver = u"QIBASE"_s;
            p.config.name = folder().filePath(u"lookups.fdb"_s);
            createFirebirdDatabase(p.config.name);
        }
        TdtmDBGeral::open(p.config);
    } catch (const EHostError &e) {
        p.failure = e.message();
        return p;
    }
    const QSqlDatabase db = TdtmDBGeral::adcGeral();
    p.failure = run(db, std::begin(kSchema), std::end(kSchema));
    if (p.failure.isEmpty() && engine == Engine::Firebird)
        p.failure = run(db, std::begin(kFirebirdRoutines), std::end(kFirebirdRoutines));
    if (p.failure.isEmpty() && (engine == Engine::Postgres || engine == Engine::OdbcPostgres))
        p.failure = run(db, std::begin(kPostgresRoutines), std::end(kPostgresRoutines));
    if (p.failure.isEmpty())
        p.failure = run(db, std::begin(kRows), std::end(kRows));
    return p;
}

} // namespace

QString openDatabase(Engine engine)
{
    static std::map<Engine, Prepared> prepared;
    auto it = prepared.find(engine);
    if (it == prepared.end())
        it = prepared.emplace(engine, build(engine)).first;
    if (!it->second.failure.isEmpty())
        return it->second.failure;
    try {
        TdtmDBGeral::open(it->second.config);
    } catch (const EHostError &e) {
        return e.message();
    }
    return {};
}

void exec(const QString &sql)
{
    QSqlQuery q(TdtmDBGeral::adcGeral());
    if (!q.exec(sql))
        throw EDatabaseError(q.lastError().text());
}

void ScreenTest::SetUp()
{
    const QString failure = openDatabase(GetParam());
    ASSERT_TRUE(failure.isEmpty()) << "database unavailable: " << failure.toStdString();
    HostContext context;
    context.filiProc = u"0001"_s;
    context.nomeFiliProc = u"Matriz"_s;
    setContext(context);
    createHiddenScreen();
}

void ScreenTest::activate()
{
    testsupport::activate(f);
    testsupport::flushDeletes();
}

} // namespace lookups
