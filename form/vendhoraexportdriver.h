#pragma once

#include "exportscreendriver.h"

class ScreenSteps;
class TfrmDadosGerRel;

// `backoffice export` on the sales-by-day/hour screen: each option through the control a person
// would use, each filter through the parameters the reports declare.
class VendHoraExportDriver : public ExportScreenDriver
{
public:
    // Under the screen's code while the module's units run.
    static void registerDriver();
    static void unregisterDriver();

    explicit VendHoraExportDriver(ScreenSteps &steps);

    bool open() override;
    QStringList reportTitles() const override;
    QList<ExportOption> takenOptions(int index) const override;
    void selectReport(int index) override;
    bool isOpen(ExportOption option) const override;
    bool takesBranchList() const override;
    QString type(ExportField field, const QString &text) override;
    void setPeriod(const QDate &from, const QDate &to) override;
    void choose(ExportOption option) override;
    QStringList listKeys(ExportOption option, const QStringList &codes) const override;
    std::optional<QStringList> pick(ExportOption option, const QStringList &keys) override;
    void leaveOutFees() override;
    bool canSave() const override;
    void save(const QString &path, bool csvFilters) override;
    std::optional<QStringList> branchCodes() override;
    QStringList idleStores() override;

private:
    TfrmDadosGerRel *screen() const;

    ScreenSteps &mSteps;
};
