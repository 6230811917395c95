// bo-demo-gen: writes the demo sales database.
#include "demodb.h"
#include "driverprofile.h"
#include "errors.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <optional>
#include <string>
#include <termios.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A line from the terminal with echo off, or from standard input when it is not a terminal.
std::optional<QString> readPassword(const char *prompt)
{
    const bool terminal = isatty(STDIN_FILENO) != 0;
    termios saved{};
    if (terminal) {
        std::fputs(prompt, stderr);
        std::fflush(stderr);
        if (tcgetattr(STDIN_FILENO, &saved) == 0) {
            termios quiet = saved;
            quiet.c_lflag &= ~tcflag_t(ECHO);
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        }
    }
    std::string line;
    bool got = false;
    for (int c = std::fgetc(stdin); c != EOF; c = std::fgetc(stdin)) {
        got = true;
        if (c == '\n')
            break;
        line.push_back(char(c));
    }
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputc('\n', stderr);
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (!got)
        return std::nullopt;
    return QString::fromLocal8Bit(line);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"bo-demo-gen"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Writes the demo sales database (branches, stores, registers, "
                                     u"products and tickets)."_s);
    parser.addHelpOption();
    const QCommandLineOption driver(u"driver"_s, u"QSQLITE, QIBASE, QPSQL or QODBC (a PostgreSQL data source)."_s, u"driver"_s, u"QSQLITE"_s);
    const QCommandLineOption db(u"db"_s, u"Database file, host[/port]:path for a Firebird server, a PostgreSQL "
                                         u"database name (QPSQL, with --host and --port), or an ODBC "
                                                    u"connection string (\"DSN=...\")."_s, u"path"_s);
    const QCommandLineOption host(u"host"_s, u"PostgreSQL server (QPSQL; default: the local socket)."_s, u"name"_s);
    const QCommandLineOption port(u"port"_s, u"PostgreSQL port (QPSQL; default 5432)."_s, u"n"_s);
    const QCommandLineOption sales(u"sales"_s, u"Number of tickets (default 20000)."_s, u"n"_s);
    const QCommandLineOption seed(u"seed"_s, u"Random seed (default 1)."_s, u"s"_s, u"1"_s);
    const QCommandLineOption scale(u"scale"_s, u"\"lookups\": 100 branches, 2,000 stores, 20,000 registers, "
                                               u"100,000 products; \"tiny\": a few of each."_s,
                                   u"name"_s);
    const QCommandLineOption days(u"days"_s, u"Days of sales (default 365)."_s, u"n"_s);
    const QCommandLineOption until(u"until"_s, u"Last day of sales, YYYY-MM-DD (default 2025-06-30)."_s, u"date"_s);
    const QCommandLineOption user(u"user"_s, u"Firebird user (default SYSDBA)."_s, u"name"_s);
    const QCommandLineOption password(u"password"_s,
                                      u"Firebird password (default masterkey). Seen by every user in the process "
                                      u"list: prefer ISC_PASSWORD or --ask-password."_s,
                                      u"text"_s);
    const QCommandLineOption askPassword(u"ask-password"_s,
                                         u"Read the Firebird password from the terminal (not echoed), or from the "
                                         u"first line of standard input when it is not a terminal."_s);
    const QCommandLineOption force(u"force"_s, u"Replace an existing database file."_s);
    const QCommandLineOption plan(u"plan"_s, u"Print the engine's plan for this query instead of writing."_s,
                                  u"sql"_s);
    const QCommandLineOption quiet(u"quiet"_s, u"No progress on stderr."_s);
    const QCommandLineOption summary(u"summary"_s, u"Make the sales summary (RESVENDA) of an existing SQLite or "
                                                   u"PostgreSQL database again, with the triggers that keep it, "
                                                   u"and exit."_s);
    parser.addOptions({driver, db, host, port, sales, seed, scale, days, until, user, password, askPassword, force, plan, quiet, summary});
    parser.process(app);

    auto usage = [&](const QString &message) {
        std::fprintf(stderr, "bo-demo-gen: %s\n", qPrintable(message));
        return 2;
    };
    if (!parser.isSet(db))
        return usage(u"--db is required"_s);

    DatabaseConfig config;
    config.driver = parser.value(driver).toUpper();
    config.name = parser.value(db);
    config.user = parser.value(user);
    config.host = parser.value(host);
    if (parser.isSet(port)) {
        bool portOk = false;
        config.port = parser.value(port).toInt(&portOk);
        if (!portOk || config.port <= 0 || config.port > 65535)
            return usage(u"--port needs a number from 1 to 65535"_s);
    }
    if (parser.isSet(password) && parser.isSet(askPassword))
        return usage(u"--password and --ask-password exclude each other"_s);
    if (parser.isSet(askPassword)) {
        const std::optional<QString> typed = readPassword("Firebird password: ");
        if (!typed)
            return usage(u"no password could be read"_s);
        config.password = *typed;
    } else if (parser.isSet(password)) {
        config.password = parser.value(password);
    } else {
        // Firebird's own tools read the same variables.
        config.password = qEnvironmentVariable("ISC_PASSWORD");
        if (!parser.isSet(user))
            config.user = qEnvironmentVariable("ISC_USER");
    }

    try {
        if (parser.isSet(summary)) {
            QElapsedTimer clock;
            clock.start();
            const qint64 rows = rebuildSalesSummary(config);
            std::fprintf(stderr, "%s: %lld summary rows in %.1f s\n", qPrintable(config.name), qlonglong(rows),
                         double(clock.elapsed()) / 1000.0);
            return 0;
        }
        if (parser.isSet(plan)) {
            std::printf("%s\n", qPrintable(demoQueryPlan(config, parser.value(plan))));
            return 0;
        }

        DemoSize size;
        const QString scaleName = parser.value(scale);
        if (scaleName == u"lookups"_s)
            size = DemoSize::lookups();
        else if (scaleName == u"tiny"_s)
            size = DemoSize::tiny();
        else if (!scaleName.isEmpty())
            return usage(u"unknown --scale %1 (lookups, tiny)"_s.arg(scaleName));
        bool ok = true;
        if (parser.isSet(sales) && ((size.sales = parser.value(sales).toLongLong(&ok)), !ok))
            return usage(u"--sales needs a number"_s);
        if (parser.isSet(days) && ((size.days = parser.value(days).toInt(&ok)), !ok))
            return usage(u"--days needs a number"_s);
        if (parser.isSet(until) && !(size.lastDay = QDate::fromString(parser.value(until), Qt::ISODate)).isValid())
            return usage(u"--until needs a date as YYYY-MM-DD"_s);
        const quint32 seedValue = parser.value(seed).toUInt(&ok);
        if (!ok)
            return usage(u"--seed needs a number"_s);

        const DriverProfile &profile = driverProfile(config.driver);
        const bool localFile = profile.fileDatabase && !config.name.contains(u':');
        if (localFile && QFileInfo::exists(config.name)) {
            if (!parser.isSet(force))
                return usage(u"%1 exists; pass --force to replace it"_s.arg(config.name));
            if (profile.kind == DbmsKind::Firebird && !QFile::remove(config.name))
                return usage(u"cannot remove %1"_s.arg(config.name));
        }

        QElapsedTimer clock;
        clock.start();
        const bool showProgress = !parser.isSet(quiet);
        QString lastStage;
        const DemoCounts counts = createDemoDatabase(
            config, size, seedValue, [&](const QString &stage, qint64 done, qint64 total) {
                if (!showProgress)
                    return;
                if (!lastStage.isEmpty() && stage != lastStage)
                    std::fputc('\n', stderr);
                lastStage = stage;
                std::fprintf(stderr, "\r%-8s %lld/%lld (%.0f s)", qPrintable(stage), qlonglong(done), qlonglong(total),
                             double(clock.elapsed()) / 1000.0);
            });
        if (showProgress)
            std::fputc('\n', stderr);
        std::fprintf(stderr,
                     "%s: %lld branches, %lld stores, %lld registers, %lld products, %lld sales, %lld items, "
                     "%lld payments in %.1f s\n",
                     qPrintable(config.name), qlonglong(counts.branches), qlonglong(counts.stores),
                     qlonglong(counts.registers), qlonglong(counts.products), qlonglong(counts.sales),
                     qlonglong(counts.items), qlonglong(counts.payments), double(clock.elapsed()) / 1000.0);
        return 0;
    } catch (const EHostError &e) {
        std::fprintf(stderr, "bo-demo-gen: %s\n", qPrintable(e.message()));
        return 1;
    }
}
