#pragma once

#include "host_global.h"
#include "reportdefinition.h"

#include <QPointer>
#include <QWidget>
#include <array>

class QLineEdit;
class QPlainTextEdit;
class QTabWidget;
class QTableWidget;
class TfrmDadosGerRel;

// Non-modal editor of one report definition: title, SQL per dialect, declared parameters and the
// layout (columns, grouping, totals, chart) as JSON. Saving rewrites the file atomically; "Salvar
// como novo" writes a new definition and appends it to the screen's catalogue.
class HOST_EXPORT ReportDesignerWindow : public QWidget
{
    Q_OBJECT
public:
    ReportDesignerWindow(TfrmDadosGerRel *screen, const ReportDefinition &definition, const QString &path,
                         QWidget *parent = nullptr);
    ~ReportDesignerWindow() override;

    // The definition as edited; throws EHostError saying what is wrong.
    ReportDefinition edited() const;
    QString path() const { return mPath; }

    // Each shows its failure through UiServices and answers whether it succeeded.
    bool save();
    bool saveAsNew();
    void preview();

    QLineEdit *titleEdit = nullptr;
    QTabWidget *sqlTabs = nullptr;
    std::array<QPlainTextEdit *, 5> sqlEdits{}; // default, Oracle, SQL Server, InterBase, PostgreSQL
    QTableWidget *paramsTable = nullptr;
    QPlainTextEdit *layoutEdit = nullptr;
    // The layout's columns with their Portuguese names: "Campo", "Título", "Tipo", "Total". Title and
    // type edited here are written into the layout's JSON, and the JSON edited by hand shows here.
    QTableWidget *columnsTable = nullptr;

    // The Portuguese name of a column type of the layout ("money" -> "Moeda (R$)"), and back.
    static QString typeName(const QString &key);
    static QString typeKey(const QString &name);

Q_SIGNALS:
    void saved(const QString &path);

private:
    void build();
    void load(const ReportDefinition &definition);
    QString catalogueText(const char *key, const QString &fallback) const;
    void showColumns();
    void writeColumns();
    bool mSyncing = false;

    QPointer<TfrmDadosGerRel> mScreen;
    QString mPath;
};

// Writes a definition file through a temporary file; throws EHostError, the old file intact.
HOST_EXPORT void saveDefinition(const ReportDefinition &definition, const QString &path);
// Appends an entry to "<folder>/index.json", atomically; throws EHostError.
HOST_EXPORT void appendToCatalog(const QString &folder, const QString &title, const QString &file);
// A file name for a new definition in `folder`, from its title ("Vendas/Hora" -> "vendas_hora.json").
HOST_EXPORT QString newDefinitionFileName(const QString &folder, const QString &title);
