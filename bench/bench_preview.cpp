// bench_preview: the long hour/product report through the screen's "Visualizar": one branch, the
// demo's whole year, a short hour interval. Measures how soon the preview shows its first page after
// the query has answered, the longest time the event loop did not run (a zero-interval timer
// timing its own gaps) from the click to the window's close, the pages and the peak resident memory.
// With --pdf the same report is then saved as a PDF, timed the same way.
//
//   bench_preview [--db demo.sqlite] [--minutes 30] [--branch 0001] [--pdf out.pdf]
//
// Without --db a demo database of one million sales is made in a temporary folder first.

#include "benchsupport.h"
#include "datamodule.h"
#include "demodb.h"
#include "errors.h"
#include "modulestate.h"
#include "reportengine.h"
#include "reportpreview.h"
#include "tfrmestaticvendhora.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTimer>
#include <cstdio>

using namespace Qt::StringLiterals;
using bench::Clock;

namespace {

// Peak resident set size (VmHWM) in kB.
long peakKb()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// Starts the peak over (the database generator may have run in this process).
void resetPeak()
{
    QFile clear(u"/proc/self/clear_refs"_s);
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// The longest gap between two turns of the event loop while it runs.
class StallMeter
{
public:
    StallMeter()
    {
        QObject::connect(&mTimer, &QTimer::timeout, [this] {
            const qint64 now = mClock.nsecsElapsed();
            longest = std::max(longest, (now - mLast) / 1e6);
            mLast = now;
        });
        mTimer.setInterval(0);
    }
    void start()
    {
        longest = 0;
        mClock.start();
        mLast = 0;
        mTimer.start();
    }
    void stop() { mTimer.stop(); }
    double longest = 0;

private:
    QTimer mTimer;
    QElapsedTimer mClock;
    qint64 mLast = 0;
};

int run(int argc, char **argv)
{
    QString dbPath, pdf, branch = QString::fromLatin1(DemoCodes::DefaultBranch);
    int minutes = 30;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--db" && i + 1 < argc)
            dbPath = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--minutes" && i + 1 < argc)
            minutes = std::clamp(QByteArray(argv[++i]).toInt(), 2, 60);
        else if (a == "--branch" && i + 1 < argc)
            branch = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--pdf" && i + 1 < argc)
            pdf = QFileInfo(QString::fromLocal8Bit(argv[++i])).absoluteFilePath();
        else {
            std::fprintf(stderr, "usage: bench_preview [--db demo.sqlite] [--minutes 30] [--branch 0001] [--pdf out.pdf]\n");
            return 2;
        }
    }

    QTemporaryDir temp;
    QString db = dbPath;
    DemoSize size;
    if (db.isEmpty()) {
        db = temp.filePath(u"demo.sqlite"_s);
        size.sales = 1000000;
        std::fprintf(stderr, "creating a demo database of %lld sales in %s ...\n", static_cast<long long>(size.sales),
                     qPrintable(db));
        createDemoDatabase(DatabaseConfig::sqlite(db), size, 1);
    } else if (!QFileInfo::exists(db)) {
        throw EHostError(u"database '%1' not found"_s.arg(db));
    }
    bench::Host host(QFileInfo(db).absoluteFilePath());
    IniProc();
    QPointer<TfrmEstaticVendHora> f = frmEstaticVendHora;
    if (!f || !f->isVisible())
        throw EHostError(u"IniProc showed no screen"_s);
    QCoreApplication::processEvents();

    const int report = f->cbbReportNames->findText(u"Vendas por Hora/Produto"_s);
    if (report < 0)
        throw EHostError(u"the screen has no report \"Vendas por Hora/Produto\""_s);
    f->cbbReportNames->setCurrentIndex(report);
    f->edtFilial->setText(branch);
    f->depDtHrIni->SetText(size.firstDay().toString(u"dd/MM/yyyy"_s));
    f->depDtHrFin->SetText(size.lastDay.toString(u"dd/MM/yyyy"_s));
    f->medHoraIni->SetText(QString());
    f->medHoraFin->SetText(QString());
    f->medHoras->SetText(u"%1:%2"_s.arg(minutes / 60, 2, 10, QChar(u'0')).arg(minutes % 60, 2, 10, QChar(u'0')));
    // Every product: the first and last item codes of the catalogue.
    QSqlQuery range(TdtmDBGeral::adcGeral());
    if (!range.exec(u"SELECT MIN(CDARVPROD), MAX(CDARVPROD) FROM PRODUTO WHERE LENGTH(CDARVPROD) = 7"_s) || !range.next())
        throw EHostError(u"no products in '%1'"_s.arg(db));
    f->medDe->SetText(range.value(0).toString());
    f->medAte->SetText(range.value(1).toString());
    std::printf("database: %s\nreport: Vendas por Hora/Produto, branch %s, %s to %s, %d-minute interval\n", qPrintable(db),
                qPrintable(branch), qPrintable(size.firstDay().toString(Qt::ISODate)),
                qPrintable(size.lastDay.toString(Qt::ISODate)), minutes);

    ReportEngine &engine = ReportEngine::instance();
    engine.setPreviewWindow(true);
    QElapsedTimer clock;
    double fetchedAt = -1, firstPageAt = -1, lastPageAt = -1;
    int rows = 0;
    ReportRun outcome;
    QObject::connect(&engine, &ReportEngine::fetched, [&](int n) {
        fetchedAt = clock.nsecsElapsed() / 1e6;
        rows = n;
    });
    QObject::connect(&engine, &ReportEngine::finished, [&](const ReportRun &run) { outcome = run; });
    QObject::connect(&engine, &ReportEngine::previewOpened, [&](ReportPreview *window) {
        // Like a reader: the first page, the next three, the last one, then close.
        auto steps = std::make_shared<int>(0);
        QObject::connect(window, &ReportPreview::pageShown, window, [&, window, steps](int page) {
            if (firstPageAt < 0)
                firstPageAt = clock.nsecsElapsed() / 1e6;
            ++*steps;
            if (*steps <= 3 && page + 1 < window->pageCount()) {
                window->showPage(page + 1);
            } else if (page + 1 < window->pageCount()) {
                window->showPage(window->pageCount() - 1);
            } else {
                lastPageAt = clock.nsecsElapsed() / 1e6;
                window->reject();
            }
        });
    });

    resetPeak();
    StallMeter stalls;
    stalls.start();
    clock.start();
    f->sbtPreview->click();
    const double closedAt = clock.nsecsElapsed() / 1e6;
    stalls.stop();
    if (outcome.outcome != ReportRun::Outcome::Previewed)
        throw EHostError(u"the preview did not run: %1 %2"_s.arg(outcome.error, (host.ui.messages + host.ui.errors).join(u" | "_s)));
    const double longest = stalls.longest;
    const int pages = outcome.pages;
    const double firstPage = firstPageAt - fetchedAt; // the PDF run below fetches again
    std::printf("rows fetched: %d (query and fetch %.0f ms)\n", rows, fetchedAt);
    std::printf("detail lines: %d, pages: %d\n", outcome.rows, pages);
    std::printf("first page on screen %.0f ms after the query; last page %.0f ms after it; window closed at %.0f ms\n",
                firstPageAt - fetchedAt, lastPageAt - fetchedAt, closedAt);

    double pdfMs = -1;
    double pdfStall = 0;
    if (!pdf.isEmpty()) {
        host.ui.answerFile(pdf);
        stalls.start();
        clock.start();
        f->sbtSalvarComo->click();
        pdfMs = clock.nsecsElapsed() / 1e6;
        stalls.stop();
        pdfStall = stalls.longest;
        if (outcome.outcome != ReportRun::Outcome::Saved)
            throw EHostError(u"the PDF was not written: %1"_s.arg(outcome.error));
        std::printf("PDF: %d pages in %.1f s (query included), longest stall %.0f ms, %s\n", outcome.pages, pdfMs / 1000,
                    pdfStall, qPrintable(pdf));
    }
    std::printf("first page %.0f ms, longest stall %.0f ms, pages %d, peak %.0f MB\n", firstPage,
                std::max(longest, pdfStall), pages, peakKb() / 1024.0);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    return bench::benchMain(argc, argv, "bench_preview", run);
}
