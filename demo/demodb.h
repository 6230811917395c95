#pragma once

#include "datamodule.h"

#include <QDate>
#include <QString>
#include <functional>

// The demo sales database of a food-service chain: branches, stores, registers, a product tree and
// tickets with items and payments. The same seed and size give the same rows on every driver.

struct DemoSize
{
    int branches = 9;     // FILIAL rows; the last one has no stores
    int stores = 24;      // LOJA rows, spread over the other branches (0001 gets the most)
    int registers = 70;   // CAIXA rows, one of them an orphan whose store is not in LOJA
    int products = 600;   // PRODUTO rows, tree nodes (groups, subgroups) included
    qint64 sales = 20000; // VENDA rows
    int days = 365;       // the sales cover this many days, ending on lastDay
    QDate lastDay = QDate(2025, 6, 30);

    // A few rows of each kind, for tests.
    static DemoSize tiny(qint64 sales = 300);
    // The lookups benchmark: 100 branches, 2,000 stores, 20,000 registers, 100,000 products.
    static DemoSize lookups(qint64 sales = 20000);
    QDate firstDay() const { return lastDay.addDays(1 - days); }
    // Empty when valid, otherwise why not.
    QString check() const;
};

struct DemoCounts
{
    qint64 branches = 0, stores = 0, registers = 0, products = 0;
    qint64 sales = 0, items = 0, payments = 0;
    bool operator==(const DemoCounts &) const = default;
};

// stage is "cadastros", "vendas" or "indices"; done/total count rows of that stage.
using DemoProgress = std::function<void(const QString &stage, qint64 done, qint64 total)>;

// Writes the demo database at db (QSQLITE: a file, written next to it and renamed when complete;
// QIBASE: a path or "host[/port]:path", created when it does not exist, which must hold no demo
// tables yet; QODBC: a PostgreSQL data source, "DSN=..." or a connection string, whose database
// exists and holds no demo tables yet). Throws EDatabaseError.
DemoCounts createDemoDatabase(const DatabaseConfig &db, const DemoSize &size, quint32 seed,
                              const DemoProgress &progress = {});

// The engine's plan for sql: SQLite's EXPLAIN QUERY PLAN lines, or Firebird's PLAN text.
QString demoQueryPlan(const DatabaseConfig &db, const QString &sql);

// Makes the sales summary (RESVENDA) of an existing SQLite or PostgreSQL database again: the
// table, its rows from VENDA and the triggers that keep it, in one transaction, so that readers see
// the old summary or the new one. On PostgreSQL the report role, when the server has it, may read
// it. Returns the summary's rows.
qint64 rebuildSalesSummary(const DatabaseConfig &db);

// Branch, store and register codes the generator guarantees, for tests and the docs.
namespace DemoCodes {
inline constexpr const char *DefaultBranch = "0001";
inline constexpr const char *OrphanRegister = "999";     // in branch 0001
inline constexpr const char *MissingStore = "9999999999"; // its CDLOJA, absent from LOJA
} // namespace DemoCodes
