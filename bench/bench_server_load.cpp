// Many back-office processes against one database server: N clients (1, 5, 20 by default) each run
// a fixed mix of report exports (`backoffice export ... --out x.csv`) for a number of rounds,
// against a Firebird server and a PostgreSQL server on 127.0.0.1, both throw-away. Prints per engine
// and N the reports per minute, p50/p95 latency and failures, and compares every CSV byte for byte
// with the one the single-client run wrote.
//
//   bench_server_load [--sales N] [--rounds R] [--clients 1,5,20]
#include "datamodule.h"
#include "demodb.h"
#include "errors.h"
#include "firebirdserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The mix each client runs per round: report position in the list and its period.
const struct
{
    const char *report;
    const char *from;
    const char *to;
    bool products; // the report asks for a product range
} kMix[] = {
    {"1", "01/06/2025", "30/06/2025", false},
    {"2", "17/06/2025", "30/06/2025", false},
    {"6", "24/06/2025", "30/06/2025", true},
    {"8", "01/06/2025", "30/06/2025", false},
};

struct Engine
{
    QString name;
    QString databaseLines; // the keys of [database] in the configuration
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The shipped configuration with the engine's [database] and absolute folders.
QString writeConfig(const QString &folder, const Engine &engine)
{
    const QString source = QStringLiteral(BO_SOURCE_DIR);
    QString text = QString::fromUtf8(readAll(source + u"/config/backoffice.ini"_s));
    const QString shipped = u"driver=QSQLITE\nname=../demo/data/demo.sqlite\n"_s;
    if (!text.contains(shipped))
        throw EDatabaseError(u"config/backoffice.ini no longer names the demo database"_s);
    text.replace(shipped, engine.databaseLines);
    text.replace(u"reports=../reports"_s, u"reports="_s + source + u"/reports"_s);
    text.replace(u"help=../help"_s, u"help="_s + source + u"/help"_s);
    const QString path = folder + u"/backoffice-"_s + engine.name + u".ini"_s;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text.toUtf8()) < 0)
        throw EDatabaseError(u"cannot write "_s + path);
    return path;
}

struct Run
{
    QProcess *process = nullptr;
    QElapsedTimer clock;
    int mix = 0;
    QString out;
};

struct Result
{
    int done = 0, failures = 0, differing = 0;
    std::vector<qint64> latencies;
    qint64 wallMs = 0;
    QString firstFailure;
};

QStringList exportArgs(const QString &config, int mix, const QString &out)
{
    QStringList args = {u"export"_s, u"--config"_s, config, u"--report"_s, QString::fromLatin1(kMix[mix].report),
                        u"--from"_s, QString::fromLatin1(kMix[mix].from), u"--to"_s, QString::fromLatin1(kMix[mix].to),
                        u"--out"_s, out};
    if (kMix[mix].products)
        args << u"--products"_s << u"01:02"_s;
    return args;
}

// `clients` processes at a time, each its own sequence of `rounds` mixes; every CSV against the
// reference of its report (empty references: this run writes them).
Result runLoad(const QString &backoffice, const QString &config, const QString &folder, int clients, int rounds,
               std::vector<QByteArray> &reference)
{
    Result result;
    const int perClient = rounds * int(std::size(kMix));
    std::vector<int> next(size_t(clients), 0);
    std::vector<Run> running{size_t(clients)};
    QElapsedTimer wall;
    wall.start();
    auto launch = [&](int c) {
        Run &r = running[size_t(c)];
        r.mix = next[size_t(c)] % int(std::size(kMix));
        r.out = u"%1/c%2-%3.csv"_s.arg(folder).arg(c).arg(next[size_t(c)]);
        ++next[size_t(c)];
        r.process = new QProcess;
        r.process->setProcessChannelMode(QProcess::MergedChannels);
        r.clock.start();
        r.process->start(backoffice, exportArgs(config, r.mix, r.out));
    };
    for (int c = 0; c < clients; ++c)
        launch(c);
    int active = clients;
    while (active > 0) {
        for (int c = 0; c < clients; ++c) {
            Run &r = running[size_t(c)];
            if (!r.process || !r.process->waitForFinished(5))
                continue;
            result.latencies.push_back(r.clock.elapsed());
            const QByteArray output = r.process->readAll();
            const bool ok = r.process->exitStatus() == QProcess::NormalExit && r.process->exitCode() == 0;
            delete r.process;
            r.process = nullptr;
            if (!ok) {
                ++result.failures;
                if (result.firstFailure.isEmpty())
                    result.firstFailure = QString::fromUtf8(output).trimmed();
            } else {
                ++result.done;
                const QByteArray csv = readAll(r.out);
                QByteArray &expected = reference[size_t(r.mix)];
                if (expected.isEmpty())
                    expected = csv;
                else if (csv != expected)
                    ++result.differing;
                QFile::remove(r.out);
            }
            if (next[size_t(c)] < perClient)
                launch(c);
            else
                --active;
        }
    }
    result.wallMs = wall.elapsed();
    return result;
}

qint64 percentile(std::vector<qint64> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[at];
}

// The PostgreSQL cluster of the tests' harness, stopped when this goes.
class PostgresCluster
{
public:
    explicit PostgresCluster(const QString &state) : mState(state)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(script(), {u"start"_s, mState});
        if (!p.waitForFinished(120000) || p.exitCode() != 0)
            throw EDatabaseError(u"PostgreSQL did not start: "_s + QString::fromUtf8(p.readAll()));
        port = readAll(mState + u"/port"_s).trimmed().toInt();
    }
    ~PostgresCluster()
    {
        QProcess p;
        p.start(script(), {u"stop"_s, mState});
        p.waitForFinished(60000);
    }
    int port = 0;

private:
    static QString script() { return QStringLiteral(BO_SOURCE_DIR) + u"/tools/odbc-test-server.sh"_s; }
    QString mState;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption salesOption(u"sales"_s, u"Tickets in the demo database (default 20000)."_s, u"n"_s, u"20000"_s);
    const QCommandLineOption roundsOption(u"rounds"_s, u"Mixes each client runs (default 2)."_s, u"n"_s, u"2"_s);
    const QCommandLineOption clientsOption(u"clients"_s, u"Client counts (default 1,5,20)."_s, u"list"_s, u"1,5,20"_s);
    parser.addOptions({salesOption, roundsOption, clientsOption});
    parser.addHelpOption();
    parser.process(app);
    const int rounds = qMax(1, parser.value(roundsOption).toInt());
    QList<int> clientCounts;
    for (const QString &n : parser.value(clientsOption).split(u','))
        if (n.toInt() > 0)
            clientCounts << n.toInt();

    const QString backoffice = QCoreApplication::applicationDirPath() + u"/backoffice"_s;
    QTemporaryDir work;
    if (!work.isValid() || !QFile::exists(backoffice)) {
        std::fprintf(stderr, "bench_server_load: no temporary folder or no %s\n", qPrintable(backoffice));
        return 1;
    }
    try {
        DemoSize size;
        size.sales = parser.value(salesOption).toLongLong();

        PostgresCluster postgres(work.filePath(u"pg"_s));
        DatabaseConfig pg;
        pg.driver = u"QPSQL"_s;
        pg.host = u"127.0.0.1"_s;
        pg.port = postgres.port;
        pg.user = u"postgres"_s;
        pg.name = u"postgres"_s;
        createDemoDatabase(pg, size, 1);

        testfb::FirebirdServer firebird;
        if (const QString failure = firebird.start({{u"BO_RELATORIO"_s, u"masterkey"_s}}); !failure.isEmpty())
            throw EDatabaseError(u"Firebird: "_s + failure);
        const QString fdb = firebird.path(u"demo.fdb"_s);
        DatabaseConfig fb;
        fb.driver = u"QIBASE"_s;
        fb.name = firebird.target(fdb);
        createDemoDatabase(fb, size, 1);

        const std::vector<Engine> engines = {
            {u"Firebird"_s, u"driver=QIBASE\nname=%1\nuser=SYSDBA\npassword=masterkey\n"_s.arg(fb.name)},
            {u"PostgreSQL"_s, u"driver=QPSQL\nname=postgres\nhost=127.0.0.1\nport=%1\nuser=postgres\n"_s.arg(postgres.port)},
        };
        std::printf("%lld tickets, %d rounds of %d reports per client\n", qlonglong(size.sales), rounds,
                    int(std::size(kMix)));
        std::printf("%-11s %4s %8s %12s %8s %8s %9s %10s\n", "engine", "N", "reports", "reports/min", "p50 ms",
                    "p95 ms", "failures", "csv diffs");
        int bad = 0;
        for (const Engine &engine : engines) {
            const QString config = writeConfig(work.path(), engine);
            std::vector<QByteArray> reference(std::size(kMix));
            // The single client writes the reference CSVs (once per report, not timed with the rest).
            const Result single = runLoad(backoffice, config, work.path(), 1, 1, reference);
            for (const QByteArray &csv : reference)
                if (csv.count('\n') < 2) {
                    std::fprintf(stderr, "%s: a reference CSV has no rows; comparing it would prove nothing\n",
                                 qPrintable(engine.name));
                    return 1;
                }
            if (single.failures > 0) {
                std::fprintf(stderr, "%s: %s\n", qPrintable(engine.name), qPrintable(single.firstFailure));
                return 1;
            }
            for (int n : clientCounts) {
                const Result r = runLoad(backoffice, config, work.path(), n, rounds, reference);
                const double perMinute = r.wallMs > 0 ? 60000.0 * r.done / double(r.wallMs) : 0;
                std::printf("%-11s %4d %8d %12.1f %8lld %8lld %9d %10d\n", qPrintable(engine.name), n,
                            r.done + r.failures, perMinute, percentile(r.latencies, 0.5),
                            percentile(r.latencies, 0.95), r.failures, r.differing);
                std::fflush(stdout);
                if (!r.firstFailure.isEmpty())
                    std::fprintf(stderr, "  first failure: %s\n", qPrintable(r.firstFailure.left(400)));
                bad += r.failures + r.differing;
            }
        }
        return bad == 0 ? 0 : 1;
    } catch (const EHostError &e) {
        std::fprintf(stderr, "bench_server_load: %s\n", qPrintable(e.message()));
        return 1;
    }
}
