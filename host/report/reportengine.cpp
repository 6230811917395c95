#include "reportengine.h"

#include "datamodule.h"
#include "errors.h"
#include "reportdocument.h"
#include "reportexport.h"
#include "reportrunner.h"
#include "sqltext.h"
#include "uiservices.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>

using namespace Qt::StringLiterals;

ReportProgress::~ReportProgress() = default;

namespace {

class NoProgress : public ReportProgress
{
public:
    void begin(QWidget *, const QString &, const std::function<void()> &) override {}
    void end() override {}
};

// The busy dialog of the real application: it appears only when the query takes a moment, keeps
// the rest of the application from starting another report, and its button cancels.
class DialogProgress : public ReportProgress
{
public:
    void begin(QWidget *parent, const QString &title, const std::function<void()> &cancel) override
    {
        mDialog = new QProgressDialog(u"Executando o relatório \"%1\"…"_s.arg(title), u"Cancelar"_s, 0, 0, parent);
        mDialog->setWindowTitle(u"Relatório"_s);
        mDialog->setWindowModality(Qt::ApplicationModal);
        mDialog->setMinimumDuration(400);
        mDialog->setAutoClose(false);
        mDialog->setAutoReset(false);
        QObject::connect(mDialog, &QProgressDialog::canceled, mDialog, [cancel, dialog = mDialog] {
            dialog->setLabelText(u"Cancelando…"_s);
            cancel();
        });
    }
    void end() override
    {
        delete mDialog;
        mDialog = nullptr;
    }

private:
    QPointer<QProgressDialog> mDialog;
};

class BusyGuard
{
public:
    explicit BusyGuard(bool &busy) : mBusy(busy) { mBusy = true; }
    ~BusyGuard() { mBusy = false; }

private:
    bool &mBusy;
};

QString withPdfSuffix(const QString &path)
{
    return QFileInfo(path).suffix().isEmpty() ? path + u".pdf"_s : path;
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
    const SqlDialect dialects[] = {SqlDialect::Default, SqlDialect::Oracle, SqlDialect::MSSQL, SqlDialect::InterBase};
    const QString names[] = {u"padrão"_s, u"Oracle"_s, u"SQL Server"_s, u"InterBase"_s};
    for (int i = 0; i < 4; ++i) {
        if (!definition.sql.contains(dialects[i]))
            continue;
        const QString sql = definition.sql.value(dialects[i]);
        if (const QString reason = ReportSql::refusalReason(sql); !reason.isEmpty())
            return u"SQL %1: %2"_s.arg(names[i], reason);
        const QStringList used = SqlText::toPositional(sql).names;
        for (const QString &name : used) {
            const bool declared = std::any_of(definition.params.cbegin(), definition.params.cend(),
                                              [&name](const ReportParamDecl &d) {
                                                  return d.name.compare(name, Qt::CaseInsensitive) == 0;
                                              });
            if (!declared)
                return u"SQL %1: o parâmetro '%2' não está declarado."_s.arg(names[i], name);
        }
    }
    return {};
}

std::shared_ptr<ReportDocument> ReportEngine::build(QWidget *parent, const QString &code,
                                                    const ReportDefinition &definition, const TParams &params,
                                                    const QString &productMask)
{
    const QSqlDatabase shared = QSqlDatabase::database(sourceConnection(), false);
    if (!shared.isValid() || !shared.isOpen())
        throw EHostError(u"A conexão com o banco de dados não está aberta."_s);
    const QString sql = definition.sqlFor(dialectOf(shared));
    if (const QString reason = ReportSql::refusalReason(sql); !reason.isEmpty())
        throw EHostError(u"O relatório \"%1\" não foi executado.\n%2"_s.arg(definition.title, reason));
    const SqlText::Positional positional = SqlText::toPositional(sql);
    const QVariantList values = ReportSql::bindValues(positional.names, params);

    ReportQuery query(sourceConnection(), positional.text, values);
    QEventLoop loop;
    QObject::connect(&query, &ReportQuery::finished, &loop, &QEventLoop::quit);
    ReportProgress &shown = progress();
    shown.begin(parent, definition.title, [&query] { query.cancel(); });
    query.start();
    loop.exec(); // the window keeps painting while the worker runs
    shown.end();

    switch (query.outcome()) {
    case ReportQuery::Outcome::Cancelled:
        return nullptr;
    case ReportQuery::Outcome::Failed:
        throw EHostError(u"Erro ao executar o relatório \"%1\".\n%2"_s.arg(definition.title, query.errorText()));
    case ReportQuery::Outcome::Running:
    case ReportQuery::Outcome::Done:
        break;
    }
    const ReportTable table = query.takeTable();
    return std::make_shared<ReportDocument>(ReportModel::build(code, definition, params, table, productMask));
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
    // A second action while a query runs (the event loop keeps turning) is ignored.
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
            if (action == ReportAction::SaveAs) {
                QString filter;
                const auto answer =
                    ui.saveFileName(request.parent, u"Salvar relatório como"_s, ReportExport::fileFilters(), &filter);
                if (!answer)
                    run.outcome = ReportRun::Outcome::Cancelled;
                else if (file = ReportExport::fileNameFor(*answer, filter); file.isEmpty())
                    throw EHostError(u"Formato de arquivo não suportado: '%1'. Use .pdf, .xlsx, .csv ou .html."_s.arg(*answer));
            }
            if (action != ReportAction::SaveAs || !file.isEmpty()) {
                const std::shared_ptr<ReportDocument> document =
                    build(request.parent, request.code, definition, request.params, request.productMask);
                if (!document || (withParent && !alive)) { // the screen closed meanwhile
                    run.outcome = ReportRun::Outcome::Cancelled;
                } else {
                    run.rows = document->model().detailCount;
                    // CSV and XLSX have no pages; only what is paged pays for the layout.
                    const auto format = ReportExport::formatOf(file);
                    if (action != ReportAction::SaveAs ||
                        (format != ReportExport::Format::Csv && format != ReportExport::Format::Xlsx))
                        run.pages = document->pageCount();
                    switch (action) {
                    case ReportAction::Preview:
                        preview(request.parent, *document, run);
                        break;
                    case ReportAction::Print:
                        print(request.parent, *document, run);
                        break;
                    case ReportAction::SaveAs:
                        ReportExport::write(*document, file);
                        run.file = file;
                        run.outcome = ReportRun::Outcome::Saved;
                        break;
                    case ReportAction::Edit:
                        break;
                    }
                }
            }
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

void ReportEngine::preview(QWidget *parent, ReportDocument &document, ReportRun &run)
{
    run.outcome = ReportRun::Outcome::Previewed;
    if (!interactive())
        return; // rendered and counted; nothing to show without real dialogs
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(document.pageLayout());
    printer.setFullPage(true);
    printer.setDocName(document.model().title);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(u"Visualizar - "_s + document.model().title);
    dialog.resize(1000, 800);
    // The document is laid out once; every repaint of the preview paints the same pages.
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&document](QPrinter *target) {
        target->setFullPage(true);
        document.paint(target);
    });
    dialog.exec();
}

void ReportEngine::print(QWidget *parent, ReportDocument &document, ReportRun &run)
{
    UiServices &ui = UiServices::current();
    if (interactive() && !QPrinterInfo::availablePrinters().isEmpty()) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageLayout(document.pageLayout());
        printer.setFullPage(true);
        printer.setDocName(document.model().title);
        QPrintDialog dialog(&printer, parent);
        if (dialog.exec() != QDialog::Accepted) {
            run.outcome = ReportRun::Outcome::Cancelled;
            return;
        }
        printer.setFullPage(true);
        if (!document.paint(&printer))
            throw EHostError(u"Não foi possível imprimir o relatório \"%1\"."_s.arg(document.model().title));
        run.outcome = ReportRun::Outcome::Printed;
        return;
    }
    // No printer (or no person at the screen): the pages go to a PDF file.
    const auto answer = ui.saveFileName(parent, u"Imprimir em arquivo PDF"_s, u"Documento PDF (*.pdf)"_s);
    if (!answer) {
        run.outcome = ReportRun::Outcome::Cancelled;
        return;
    }
    const QString file = withPdfSuffix(*answer);
    ReportExport::writePdf(document, file);
    run.file = file;
    run.outcome = ReportRun::Outcome::Printed;
}
