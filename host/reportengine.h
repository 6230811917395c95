#pragma once

#include "host_global.h"
#include "params.h"
#include "reportdefinition.h"
#include "tfrmdadosgerrel.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QWidget;
class ReportDocument;
class ReportDesignerWindow;

// Shown while a report query runs. The real application shows a progress dialog with "Cancelar";
// tests and screen scripts install their own (or none) so that nothing blocks.
class HOST_EXPORT ReportProgress
{
public:
    virtual ~ReportProgress();
    // `cancel` stops the query; it may be called from the UI thread at any time until end().
    virtual void begin(QWidget *parent, const QString &title, const std::function<void()> &cancel) = 0;
    virtual void end() = 0;
};

// What one report action came to; the engine announces it when the action is over.
struct HOST_EXPORT ReportRun
{
    enum class Outcome { Previewed, Printed, Saved, Edited, Cancelled, Failed };

    ReportAction action = ReportAction::Preview;
    QString title;
    Outcome outcome = Outcome::Failed;
    int pages = 0;
    int rows = 0; // detail rows
    QString file; // the file written (save as, print to PDF)
    QString error;
};

// Runs report definitions for the report screens: the query on its own read-only connection off
// the UI thread, the paged document, and the four actions (preview, print, save as, edit).
class HOST_EXPORT ReportEngine : public QObject
{
    Q_OBJECT
public:
    static ReportEngine &instance();

    void run(TfrmDadosGerRel *screen, ReportAction action, const ReportDefinition &definition, const TParams &params);

    // Runs the query and lays the document out. Answers nullptr when the user cancelled; throws
    // EHostError when the definition is refused or the query fails.
    std::shared_ptr<ReportDocument> build(QWidget *parent, const QString &code, const ReportDefinition &definition,
                                          const TParams &params);

    // Opens the designer on a definition stored at `path` (non-modal).
    ReportDesignerWindow *openDesigner(TfrmDadosGerRel *screen, const ReportDefinition &definition,
                                       const QString &path);
    // Problems that stop a definition from running, for the user; empty when it can run.
    static QString validate(const ReportDefinition &definition);

    // nullptr restores the default (a progress dialog when real dialogs are in use, else nothing).
    void setProgress(ReportProgress *progress) { mProgress = progress; }
    // The connection cloned for queries; the shared connection unless set.
    void setSourceConnection(const QString &name) { mSource = name; }
    QString sourceConnection() const;
    bool busy() const { return mBusy; }

    // True when the real, modal dialogs are in use (not a screen script or a test).
    static bool interactive();

Q_SIGNALS:
    void finished(const ReportRun &run);
    void designerOpened(ReportDesignerWindow *window);

private:
    ReportEngine() = default;
    ReportProgress &progress();
    void preview(TfrmDadosGerRel *screen, ReportDocument &document, ReportRun &run);
    void print(TfrmDadosGerRel *screen, ReportDocument &document, ReportRun &run);

    ReportProgress *mProgress = nullptr;
    QString mSource;
    bool mBusy = false;
};
