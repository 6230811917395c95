#pragma once

#include "host_global.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class ScreenSteps;

// A filter option of `backoffice export`, as the screen is asked to take it.
enum class ExportOption { Branch, Branches, AllBranches, Stores, Registers, Hours, Interval, Products, NoFees };

// A field the export types into; the screen's key handling and mask judge the text.
enum class ExportField { Branch, HourStart, HourEnd, Interval, ProductFrom, ProductTo };

// What a module supplies so that `backoffice export` can run the reports of one of its screens:
// the command parses the line, says every refusal and watches the report engine; the driver knows
// the screen's controls and the parameters of its reports, and works them through `ScreenSteps`.
//
// A module registers a factory under its screen's code when its units start and removes it when
// they stop; the export runs the first configured screen whose code has one.
class HOST_EXPORT ExportScreenDriver
{
public:
    using Factory = std::function<std::unique_ptr<ExportScreenDriver>(ScreenSteps &steps)>;

    static void registerFactory(const QString &screenCode, Factory factory);
    static void unregisterFactory(const QString &screenCode);
    // Empty when no loaded module exports that screen's reports.
    static Factory factory(const QString &screenCode);

    virtual ~ExportScreenDriver();

    // Opens the screen as its menu entry does; false when it did not open.
    virtual bool open() = 0;
    // The reports of the screen's list, in its order.
    virtual QStringList reportTitles() const = 0;
    // The options whose parameters the report at `index` declares; throws EHostError when its
    // definition cannot be read.
    virtual QList<ExportOption> takenOptions(int index) const = 0;
    virtual void selectReport(int index) = 0;

    // Whether the chosen report, in this configuration, keeps the control of `option` open.
    virtual bool isOpen(ExportOption option) const = 0;
    // Whether the chosen report takes a list of branches rather than one branch.
    virtual bool takesBranchList() const = 0;

    // Types `text` as keys; answers what the field holds afterwards.
    virtual QString type(ExportField field, const QString &text) = 0;
    virtual void setPeriod(const QDate &from, const QDate &to) = 0;
    // AllBranches: the "all" choice; a list option: the "list" choice, before the list is picked.
    virtual void choose(ExportOption option) = 0;
    // The codes as the list of `option` holds them.
    virtual QStringList listKeys(ExportOption option, const QStringList &codes) const = 0;
    // Opens the list of `option` answered with `keys`; answers the keys it offered, nothing when it
    // did not open.
    virtual std::optional<QStringList> pick(ExportOption option, const QStringList &keys) = 0;
    virtual void leaveOutFees() = 0;

    // Whether the chosen report can be saved in this configuration.
    virtual bool canSave() const = 0;
    // Saves the chosen report as `path`; the CSV's leading filter lines only with `csvFilters`.
    virtual void save(const QString &path, bool csvFilters) = 0;

    // Before a report is mailed: one text per store of the chosen filters whose sales of the
    // period look incomplete ("Loja sem movimento: …"); empty when none does. Throws EHostError
    // when the check cannot read the database.
    virtual QStringList idleStores() = 0;

    // The branch codes the screen's branch search offers (the one branch when the search is
    // closed); nothing when the search did not open.
    virtual std::optional<QStringList> branchCodes() = 0;
};
