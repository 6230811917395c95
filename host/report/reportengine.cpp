#include "reportengine.h"

#include "datamodule.h"
#include "errors.h"
#include "ptbrlocale.h"
#include "reportdocument.h"
#include "reportexport.h"
#include "reportpreview.h"
#include "reportquery.h"
#include "reportsql.h"
#include "savefolder.h"
#include "sqltext.h"
#include "uiservices.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <exception>

using namespace Qt::StringLiterals;

ReportProgress::~ReportProgress() = default;

void ReportProgress::update(const QString &) {}

// What a run shares between the UI thread and its workers: the cancel flag, the query to interrupt
// and the status text the progress shows.
struct ReportEngine::Job
{
    std::atomic_bool cancelled{false};
    QPointer<ReportQuery> running; // UI thread only
    mutable QMutex mutex;
    QString status;

    // UI thread.
    void cancel()
    {
        cancelled = true;
        if (running)
            running->cancel();
    }
    void say(const QString &text)
    {
        const QMutexLocker lock(&mutex);
        status = text;
    }
    QString said() const
    {
        const QMutexLocker lock(&mutex);
        return status;
    }
    // Workers call it between rows and pages: a cancelled run stops there.
    void check() const
    {
        if (cancelled)
            throw EAbort();
    }
};

namespace {

QString fileNameOf(const ReportRequest &request)
{
    return request.fileName.isEmpty() ? request.definition.title : request.fileName;
}

class NoProgress : public ReportProgress
{
public:
    void begin(QWidget *, const QString &, const std::function<void()> &) override {}
    void end() override {}
};

// The busy dialog of the real application: it appears after a moment, keeps the rest of the
// application from starting another report, says what the run is doing, and its button cancels.
class DialogProgress : public ReportProgress
{
public:
    void begin(QWidget *parent, const QString &title, const std::function<void()> &cancel) override
    {
        mHeading = u"Executando o relatório \"%1\"…"_s.arg(title);
        mDialog = new QProgressDialog(mHeading, u"Cancelar"_s, 0, 0, parent);
        mDialog->setWindowTitle(u"Relatório"_s);
        mDialog->setWindowModality(Qt::ApplicationModal);
        mDialog->setMinimumDuration(400);
        mDialog->setAutoClose(false);
        mDialog->setAutoReset(false);
        QObject::connect(mDialog, &QProgressDialog::canceled, mDialog, [cancel, dialog = mDialog] {
            dialog->setLabelText(u"Cancelando…"_s);
            cancel();
        });
        // The dialog's own timer counts from its last setValue(); a busy dialog never gets one.
        QTimer::singleShot(400, mDialog, [dialog = mDialog] { dialog->show(); });
    }
    void update(const QString &status) override
    {
        if (mDialog && !mDialog->wasCanceled())
            mDialog->setLabelText(mHeading + u"\n"_s + status);
    }
    void end() override
    {
        delete mDialog;
        mDialog = nullptr;
    }

private:
    QPointer<QProgressDialog> mDialog;
    QString mHeading;
};

class BusyGuard
{
public:
    explicit BusyGuard(bool &busy) : mBusy(busy) { mBusy = true; }
    ~BusyGuard() { mBusy = false; }

private:
    bool &mBusy;
};

// The progress shown from begin to end of a scope, or of the steps between dialogs.
class ProgressScope
{
public:
    ProgressScope(ReportProgress &progress, QWidget *parent, QString title, std::shared_ptr<ReportEngine::Job> job)
        : mProgress(progress), mParent(parent), mTitle(std::move(title)), mJob(std::move(job))
    {
        open();
    }
    ~ProgressScope() { close(); }
    void open()
    {
        if (mOpen)
            return;
        mOpen = true;
        mProgress.begin(mParent, mTitle, [job = mJob] { job->cancel(); });
    }
    void close()
    {
        if (!mOpen)
            return;
        mOpen = false;
        mProgress.end();
    }

private:
    ReportProgress &mProgress;
    QPointer<QWidget> mParent;
    QString mTitle;
    std::shared_ptr<ReportEngine::Job> mJob;
    bool mOpen = false;
};

// Ends a wait the moment the work does, from any thread: the tick only carries the status, so a
// short report no longer waits for it (up to 50 ms each for the query and for the file).
class WaitBell
{
public:
    void ring()
    {
        const QMutexLocker lock(&mMutex);
        if (mLoop)
            QMetaObject::invokeMethod(mLoop, &QEventLoop::quit, Qt::QueuedConnection);
    }

    // While a wait runs: its loop, taken back before the loop goes.
    class Armed
    {
    public:
        Armed(WaitBell *bell, QEventLoop &loop) : mBell(bell) { set(&loop); }
        ~Armed() { set(nullptr); }
        Armed(const Armed &) = delete;
        Armed &operator=(const Armed &) = delete;

    private:
        void set(QEventLoop *loop)
        {
            if (!mBell)
                return;
            const QMutexLocker lock(&mBell->mMutex);
            mBell->mLoop = loop;
        }
        WaitBell *mBell;
    };

private:
    QMutex mMutex;
    QEventLoop *mLoop = nullptr;
};

// Waits in a local event loop (the windows keep painting) until `finished` answers true or the run
// is cancelled, passing the job's status to the progress as it changes. `bell`, when given, is rung
// once `finished` turns true.
void waitFor(ReportEngine::Job &job, ReportProgress &shown, const std::function<bool()> &finished,
             WaitBell *bell = nullptr)
{
    QEventLoop loop;
    const WaitBell::Armed armed(bell, loop); // before the first look: a ring from then on ends the loop
    QTimer tick;
    QString last;
    auto poll = [&] {
        if (finished() || job.cancelled) {
            loop.quit();
            return;
        }
        const QString status = job.said();
        if (status != last) {
            last = status;
            shown.update(status);
        }
    };
    QObject::connect(&tick, &QTimer::timeout, &loop, poll);
    tick.start(50);
    // A ring that came between this look and exec() waits in the queue and ends it at once.
    if (!finished() && !job.cancelled)
        loop.exec();
}

// Runs `work` on a pool thread while the UI thread waits. A cancel ends the wait at once: a worker
// inside a step it cannot interrupt (the page layout) finishes alone and its result is dropped; it
// checks the flag before it writes anything. The worker's exceptions are thrown again here, so
// `work` must own what it uses (it may outlive this call).
void offUiThread(const std::shared_ptr<ReportEngine::Job> &job, ReportProgress &shown, std::function<void()> work)
{
    struct State
    {
        std::atomic_bool done{false};
        std::exception_ptr error;
        WaitBell bell;
    };
    auto state = std::make_shared<State>();
    // The global pool: the application waits for it before it ends.
    QThreadPool::globalInstance()->start([state, work = std::move(work)] {
        try {
            work();
        } catch (...) {
            state->error = std::current_exception();
        }
        state->done = true;
        state->bell.ring();
    });
    waitFor(*job, shown, [&state] { return state->done.load(); }, &state->bell);
    // A step that ended before the cancel was seen stands: its file is complete.
    if (!state->done)
        throw EAbort();
    if (state->error)
        std::rethrow_exception(state->error);
}

// Freeing a long report's pages and lines takes a while: the last owner lets go on a pool thread.
void releaseOffUiThread(std::shared_ptr<ReportDocument> document)
{
    if (document && document.use_count() == 1)
        QThreadPool::globalInstance()->start([document = std::move(document)]() mutable { document.reset(); });
}

QString withPdfSuffix(const QString &path)
{
    return QFileInfo(path).suffix().isEmpty() ? path + u".pdf"_s : path;
}

QString count(qint64 n)
{
    return ptBRLocale().toString(n);
}

// What the worker of a run hands back.
struct Built
{
    std::shared_ptr<ReportDocument> document;
    int rows = 0;
};

// Builds the model from the fetched rows (dropping them as it goes), then either writes `file` from
// the model (formats without pages) or lays the pages out and, when `file` is a PDF, writes it.
void buildAndWrite(ReportEngine::Job &job, Built &built, const QString &code, const ReportDefinition &definition,
                   const TParams &params, const ReportModel::Filters &filters, ReportTable &table, bool pages,
                   const QString &file, const ReportExport::Options &options = {})
{
    const int total = int(table.rows.size());
    ReportModel model = ReportModel::build(code, definition, params, table, filters, [&job, total](int rows) {
        job.check();
        job.say(u"Montando o relatório: %1 de %2 linhas"_s.arg(count(rows), count(total)));
    });
    table = {}; // the rows are in the model now
    built.rows = model.detailCount;
    job.check();
    const auto written = [&job](const QString &what) {
        return [&job, what](qint64 done, qint64 all) {
            job.check();
            job.say(what.arg(count(done), count(all)));
        };
    };
    if (!pages) {
        ReportExport::write(model, file, written(u"Gravando o arquivo: %1 de %2 linhas"_s), options);
        return;
    }
    job.say(u"Paginando %1 linhas…"_s.arg(count(model.detailCount)));
    built.document = std::make_shared<ReportDocument>(std::move(model));
    job.check();
    if (!file.isEmpty())
        ReportExport::writePdf(*built.document, file, written(u"Gravando o PDF: %1 de %2 páginas"_s));
}

} // namespace

ReportEngine &ReportEngine::instance()
{
    static ReportEngine engine;
    return engine;
}

bool ReportEngine::interactive()
{
    return dynamic_cast<WidgetUi *>(&UiServices::current()) != nullptr;
}

ReportProgress &ReportEngine::progress()
{
    static NoProgress none;
    static DialogProgress dialog;
    if (mProgress)
        return *mProgress;
    return interactive() ? static_cast<ReportProgress &>(dialog) : none;
}

QString ReportEngine::sourceConnection() const
{
    return mSource.isEmpty() ? QString::fromLatin1(TdtmDBGeral::ConnectionName) : mSource;
}

QString ReportEngine::validate(const ReportDefinition &definition)
{
    try {
        ReportLayout::fromJson(definition.layout);
    } catch (const EHostError &e) {
        return u"Layout inválido: "_s + e.message();
    }
    const SqlDialect dialects[] = {SqlDialect::Default, SqlDialect::Oracle, SqlDialect::MSSQL, SqlDialect::InterBase,
                                   SqlDialect::PostgreSQL};
    const QString names[] = {u"padrão"_s, u"Oracle"_s, u"SQL Server"_s, u"InterBase"_s, u"PostgreSQL"_s};
    const std::pair<const QMap<SqlDialect, QString> *, QString> texts[] = {{&definition.sql, u"SQL"_s},
                                                                          {&definition.summarySql, u"SQL do resumo"_s}};
    for (const auto &[map, kind] : texts) {
        for (int i = 0; i < 5; ++i) {
            if (!map->contains(dialects[i]))
                continue;
            const QString sql = map->value(dialects[i]);
            if (const QString reason = ReportSql::refusalReason(sql); !reason.isEmpty())
                return u"%1 %2: %3"_s.arg(kind, names[i], reason);
            const QStringList used = SqlText::toPositional(sql).names;
            for (const QString &name : used) {
                const bool declared = std::any_of(definition.params.cbegin(), definition.params.cend(),
                                                  [&name](const ReportParamDecl &d) {
                                                      return d.name.compare(name, Qt::CaseInsensitive) == 0;
                                                  });
                if (!declared)
                    return u"%1 %2: o parâmetro '%3' não está declarado."_s.arg(kind, names[i], name);
            }
        }
    }
    return {};
}

QString ReportEngine::statementFor(const ReportDefinition &definition, const QSqlDatabase &connection) const
{
    const SqlDialect dialect = dialectOf(connection);
    if (mUseSummary) {
        const QString summary = definition.summarySqlFor(dialect);
        if (!summary.isEmpty() && connection.tables().contains(definition.summaryTable, Qt::CaseInsensitive))
            return summary;
    }
    return definition.sqlFor(dialect);
}

ReportTable ReportEngine::query(Job &job, const ReportDefinition &definition, const TParams &params)
{
    // A lost shared connection (a Firebird server stopped and started again) is opened again.
    if (sourceConnection() == QLatin1String(TdtmDBGeral::ConnectionName) &&
        !QSqlDatabase::database(sourceConnection(), false).isOpen())
        TdtmDBGeral::reopenIfLost();
    const QSqlDatabase shared = QSqlDatabase::database(sourceConnection(), false);
    if (!shared.isValid() || !shared.isOpen())
        throw EHostError(u"A conexão com o banco de dados não está aberta."_s);
    const QString sql = statementFor(definition, shared);
    if (const QString reason = ReportSql::refusalReason(sql); !reason.isEmpty())
        throw EHostError(u"O relatório \"%1\" não foi executado.\n%2"_s.arg(definition.title, reason));
    const SqlText::Positional positional = SqlText::toPositional(sql);
    const QVariantList values = ReportSql::bindValues(positional.names, params);

    ReportQuery query(sourceConnection(), positional.text, values);
    query.setMaxRows(mMaxRows);
    bool done = false;
    WaitBell bell;
    QObject::connect(&query, &ReportQuery::finished, &query, [&done, &bell] {
        done = true;
        bell.ring();
    });
    job.running = &query;
    job.say(u"Consultando o banco de dados…"_s);
    query.start();
    waitFor(job, progress(), [&] {
        if (const int rows = query.fetched(); rows > 0)
            job.say(u"%1 linhas lidas"_s.arg(count(rows)));
        return done;
    }, &bell);
    job.running = nullptr;
    if (!done) {
        // Cancelled: the interrupt is on its way; the destructor waits for the worker to let go.
        query.cancel();
        throw EAbort();
    }
    switch (query.outcome()) {
    case ReportQuery::Outcome::Cancelled:
        throw EAbort();
    case ReportQuery::Outcome::Failed:
        throw EHostError(u"Erro ao executar o relatório \"%1\".\n%2"_s.arg(definition.title, query.errorText()));
    case ReportQuery::Outcome::Running:
    case ReportQuery::Outcome::Done:
        break;
    }
    ReportTable table = query.takeTable();
    Q_EMIT fetched(int(table.rows.size()));
    return table;
}

std::shared_ptr<ReportDocument> ReportEngine::build(QWidget *parent, const QString &code,
                                                    const ReportDefinition &definition, const TParams &params,
                                                    const ReportModel::Filters &filters)
{
    auto job = std::make_shared<Job>();
    ProgressScope scope(progress(), parent, definition.title, job);
    try {
        auto table = std::make_shared<ReportTable>(query(*job, definition, params));
        auto built = std::make_shared<Built>();
        offUiThread(job, progress(), [job, built, table, code, definition, params, filters] {
            buildAndWrite(*job, *built, code, definition, params, filters, *table, true, {});
        });
        return built->document;
    } catch (const EAbort &) {
        return nullptr;
    }
}

void ReportEngine::run(QWidget *parent, ReportAction action, const ReportDefinition &definition,
                       const TParams &params)
{
    ReportRequest request;
    request.action = action;
    request.definition = definition;
    request.params = params;
    request.parent = parent;
    run(request);
}

void ReportEngine::run(const ReportRequest &request)
{
    // A second action while a report runs (the event loop keeps turning) is ignored.
    if (mBusy)
        return;
    const BusyGuard guard(mBusy);
    const QPointer<QWidget> alive(request.parent);
    const bool withParent = request.parent != nullptr;
    const ReportAction action = request.action;
    const ReportDefinition &definition = request.definition;
    UiServices &ui = UiServices::current();
    ReportRun run;
    run.action = action;
    run.title = definition.title;
    run.filters = request.filters;
    try {
        if (action == ReportAction::Edit) {
            if (interactive() && request.openEditor) {
                request.openEditor();
            } else if (const QString problem = validate(definition); !problem.isEmpty()) {
                // Screen scripts and tests do not get a window; the definition is checked instead.
                throw EHostError(u"A definição \"%1\" tem problemas.\n%2"_s.arg(definition.title, problem));
            }
            run.outcome = ReportRun::Outcome::Edited;
        } else {
            QString file;
            ReportExport::Options options;
            if (action == ReportAction::SaveAs) {
                QString filter;
                const QString filters = ReportExport::fileFilters();
                const QStringList first = filterSuffixes(filters.section(u";;"_s, 0, 0));
                const QString suggested =
                    SaveFolder::suggestion(fileNameOf(request), first.isEmpty() ? QString() : first.constFirst());
                const auto answer = ui.saveFileNameWithCheck(request.parent, u"Salvar relatório como"_s, filters, &filter,
                                                             ReportExport::csvFiltersCheckText(), &options.csvFilters,
                                                             suggested);
                if (!answer)
                    run.outcome = ReportRun::Outcome::Cancelled;
                else if (file = ReportExport::fileNameFor(*answer, filter); file.isEmpty())
                    throw EHostError(ReportExport::unsupportedFormat(*answer));
            }
            if (action != ReportAction::SaveAs || !file.isEmpty())
                runAction(request, file, options, run);
        }
    } catch (const EAbort &) {
        run.outcome = ReportRun::Outcome::Cancelled;
    } catch (const EHostError &e) {
        run.outcome = ReportRun::Outcome::Failed;
        run.error = e.message();
        ui.showError(withParent ? alive.data() : nullptr, e.message());
    }
    Q_EMIT finished(run);
}

void ReportEngine::runAction(const ReportRequest &request, const QString &file, const ReportExport::Options &options,
                             ReportRun &run)
{
    const QPointer<QWidget> alive(request.parent);
    const bool withParent = request.parent != nullptr;
    auto job = std::make_shared<Job>();
    auto built = std::make_shared<Built>();
    {
        ProgressScope scope(progress(), request.parent, request.definition.title, job);
        auto table = std::make_shared<ReportTable>(query(*job, request.definition, request.params));
        if (withParent && !alive) // the screen closed meanwhile
            throw EAbort();
        // CSV, XLSX and HTML are written from the model; only the PDF and the screen need pages.
        const bool pages = request.action != ReportAction::SaveAs || ReportExport::needsPages(*ReportExport::formatOf(file));
        offUiThread(job, progress(),
                    [job, built, table, pages, file, options, code = request.code, definition = request.definition,
                     params = request.params, filters = request.filters] {
                        buildAndWrite(*job, *built, code, definition, params, filters, *table, pages, file, options);
                    });
    }
    if (withParent && !alive)
        throw EAbort();
    run.rows = built->rows;
    run.pages = built->document ? built->document->pageCount() : 0;
    std::shared_ptr<ReportDocument> document = std::move(built->document);
    built.reset();
    struct Release
    {
        std::shared_ptr<ReportDocument> &document;
        ~Release() { releaseOffUiThread(std::move(document)); }
    } release{document};
    switch (request.action) {
    case ReportAction::Preview:
        preview(request.parent, document, fileNameOf(request), run);
        break;
    case ReportAction::Print:
        print(job, request.parent, document, fileNameOf(request), run);
        break;
    case ReportAction::SaveAs:
        run.file = file;
        run.outcome = ReportRun::Outcome::Saved;
        SaveFolder::remember(file);
        break;
    case ReportAction::Edit:
        break;
    }
}

void ReportEngine::preview(QWidget *parent, const std::shared_ptr<ReportDocument> &document, const QString &fileName,
                           ReportRun &run)
{
    run.outcome = ReportRun::Outcome::Previewed;
    if (!interactive() && !mPreviewWindow)
        return; // laid out and counted; nothing to show without real dialogs
    bool print = false;
    {
        ReportPreview window(document, parent);
        Q_EMIT previewOpened(&window);
        window.exec();
        print = window.printRequested();
    }
    if (print)
        this->print(std::make_shared<Job>(), parent, document, fileName, run);
}

void ReportEngine::print(const std::shared_ptr<Job> &job, QWidget *parent, const std::shared_ptr<ReportDocument> &document,
                         const QString &fileName, ReportRun &run)
{
    UiServices &ui = UiServices::current();
    const QString title = document->model().title;
    if (interactive() && !QPrinterInfo::availablePrinters().isEmpty()) {
        auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
        printer->setPageLayout(document->pageLayout());
        printer->setFullPage(true);
        printer->setDocName(title);
        {
            QPrintDialog dialog(printer.get(), parent);
            if (dialog.exec() != QDialog::Accepted) {
                run.outcome = ReportRun::Outcome::Cancelled;
                return;
            }
        }
        printer->setFullPage(true);
        ProgressScope scope(progress(), parent, title, job);
        // The pages are painted on the worker; the printer is its own until the job ends.
        offUiThread(job, progress(), [job, printer, document] {
            QPainter painter;
            if (!painter.begin(printer.get()))
                throw EHostError(u"Não foi possível imprimir o relatório \"%1\"."_s.arg(document->model().title));
            const int pages = document->pageCount();
            for (int page = 0; page < pages; ++page) {
                if (job->cancelled) {
                    printer->abort();
                    throw EAbort();
                }
                job->say(u"Imprimindo a página %1 de %2"_s.arg(page + 1).arg(pages));
                if (page > 0 && !printer->newPage())
                    throw EHostError(u"Não foi possível imprimir o relatório \"%1\"."_s.arg(document->model().title));
                document->paintPage(&painter, page);
            }
            if (!painter.end())
                throw EHostError(u"Não foi possível imprimir o relatório \"%1\"."_s.arg(document->model().title));
        });
        run.outcome = ReportRun::Outcome::Printed;
        return;
    }
    // No printer (or no person at the screen): the pages go to a PDF file.
    const auto answer = ui.saveFileName(parent, u"Imprimir em arquivo PDF"_s, u"Documento PDF (*.pdf)"_s, nullptr,
                                        SaveFolder::suggestion(fileName, u"pdf"_s));
    if (!answer) {
        run.outcome = ReportRun::Outcome::Cancelled;
        return;
    }
    const QString file = withPdfSuffix(*answer);
    ProgressScope scope(progress(), parent, title, job);
    offUiThread(job, progress(), [job, document, file] {
        ReportExport::writePdf(*document, file, [&job](qint64 done, qint64 all) {
            job->check();
            job->say(u"Gravando o PDF: %1 de %2 páginas"_s.arg(count(done), count(all)));
        });
    });
    run.file = file;
    run.outcome = ReportRun::Outcome::Printed;
    SaveFolder::remember(file);
}
