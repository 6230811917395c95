#pragma once

#include "host_global.h"
#include "params.h"
#include "reportdefinition.h"
#include "reportexport.h"
#include "reportmodel.h"
#include "reportquery.h"

#include <QObject>
#include <QPointer>
#include <QSqlDatabase>
#include <QString>
#include <functional>
#include <memory>

class QPrinter;
class QWidget;
class ReportDocument;
class ReportPreview;
struct ReportModel;

// What a report action asks the report engine to do.
enum class ReportAction { Preview, Print, SaveAs, Edit };

// Shown while a report runs (query, fetch, page layout, writing a file). The real application
// shows a progress dialog with "Cancelar"; tests and screen scripts install their own (or none) so
// that nothing blocks.
class HOST_EXPORT ReportProgress
{
public:
    virtual ~ReportProgress();
    // `cancel` stops the run in whatever step it is; it may be called from the UI thread at any
    // time, even after end() (it then does nothing).
    virtual void begin(QWidget *parent, const QString &title, const std::function<void()> &cancel) = 0;
    // What the run is doing ("123.456 linhas lidas", "Página 12 de 286 gravada"), a few times a second.
    virtual void update(const QString &status);
    virtual void end() = 0;
};

// What one report action came to; the engine announces it when the action is over.
struct HOST_EXPORT ReportRun
{
    enum class Outcome { Previewed, Printed, Saved, Edited, Cancelled, Failed };

    ReportAction action = ReportAction::Preview;
    QString title;
    Outcome outcome = Outcome::Failed;
    int pages = 0; // pages laid out; 0 for files written from the model alone (CSV, XLSX, HTML)
    int rows = 0; // detail rows
    QString file; // the file written (save as, print to PDF)
    QString error;
    QList<QPair<QString, QString>> filters; // the header's filter lines, label and value, of the run
};

// Everything one report action needs; the engine knows no screen.
struct HOST_EXPORT ReportRequest
{
    ReportAction action = ReportAction::Preview;
    QString code; // the report code whose catalogue holds the definition ("Vnd025")
    ReportDefinition definition;
    TParams params; // already filled by whoever asked
    ReportModel::Filters filters; // what the filters read as in the header (the screen's filterTexts)
    // Owner of the dialogs; when it is destroyed while the query runs, the action ends quietly.
    QWidget *parent = nullptr;
    // Edit with real dialogs opens the caller's designer; without one (or without real dialogs)
    // the definition is only checked.
    std::function<void()> openEditor;
    // The name the save dialogs suggest, without folder and extension (the caller knows what the
    // run covers: "Vendas por Dia 01-12-2026 a 07-12-2026"); empty: the report's title.
    QString fileName;
};

// Runs report definitions: the query on its own read-only connection off the UI thread, the paged
// document, and the four actions (preview, print, save as, edit).
class HOST_EXPORT ReportEngine : public QObject
{
    Q_OBJECT
public:
    static ReportEngine &instance();

    void run(const ReportRequest &request);
    // A request without report code or editor (tests, tools).
    void run(QWidget *parent, ReportAction action, const ReportDefinition &definition, const TParams &params);

    // Runs the query and lays the document out, both off the UI thread. Answers nullptr when the
    // user cancelled; throws EHostError when the definition is refused or the query fails.
    std::shared_ptr<ReportDocument> build(QWidget *parent, const QString &code, const ReportDefinition &definition,
                                          const TParams &params, const ReportModel::Filters &filters = {});

    // Problems that stop a definition from running, for the user; empty when it can run.
    static QString validate(const ReportDefinition &definition);

    // nullptr restores the default (a progress dialog when real dialogs are in use, else nothing).
    void setProgress(ReportProgress *progress) { mProgress = progress; }
    // The connection cloned for queries; the shared connection unless set.
    void setSourceConnection(const QString &name) { mSource = name; }
    QString sourceConnection() const;
    // The most rows one report may read (0: no limit); see ReportQuery::DefaultMaxRows.
    // Off: every report reads the sales themselves, also where the database keeps their summary.
    void setUseSummary(bool on) { mUseSummary = on; }
    void setMaxRows(int rows) { mMaxRows = rows; }
    int maxRows() const { return mMaxRows; }
    bool busy() const { return mBusy; }
    // Opens the preview window even without real dialogs (the preview benchmark watches it).
    void setPreviewWindow(bool always) { mPreviewWindow = always; }

    // True when the real, modal dialogs are in use (not a screen script or a test).
    static bool interactive();

    // What one run shares between the UI thread and its workers (reportengine.cpp).
    struct Job;

Q_SIGNALS:
    void finished(const ReportRun &run);
    // The query has answered all its rows; the rest of the run works on them.
    void fetched(int rows);
    // The preview window is open (it shows its first page when painted).
    void previewOpened(ReportPreview *window);

private:
    ReportEngine() = default;
    ReportProgress &progress();
    ReportTable query(Job &job, const ReportDefinition &definition, const TParams &params);
    // The report's summary text when the connection's database has its summary table, else its text.
    QString statementFor(const ReportDefinition &definition, const QSqlDatabase &connection) const;
    void runAction(const ReportRequest &request, const QString &file, const ReportExport::Options &options, ReportRun &run);
    // `fileName`: what a save dialog on the way suggests (ReportRequest::fileName).
    void preview(QWidget *parent, const std::shared_ptr<ReportDocument> &document, const QString &fileName,
                 ReportRun &run);
    void print(const std::shared_ptr<Job> &job, QWidget *parent, const std::shared_ptr<ReportDocument> &document,
               const QString &fileName, ReportRun &run);

    ReportProgress *mProgress = nullptr;
    QString mSource;
    int mMaxRows = ReportQuery::DefaultMaxRows;
    bool mUseSummary = true;
    bool mBusy = false;
    bool mPreviewWindow = false;
};
