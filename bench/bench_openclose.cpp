// bench_openclose: the screen opened by the host (IniProc) until shown, then closed until destroyed,
// many times in a row. Prints the median times and the resident memory along the way: a screen
// that leaks grows with every cycle.
//
//   bench_openclose [--db demo.sqlite] [--cycles 100]

#include "application.h"
#include "benchsupport.h"
#include "demodb.h"
#include "errors.h"
#include "modulestate.h"
#include "tfrmestaticvendhora.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <cstdio>
#if __has_include(<valgrind/memcheck.h>)
#include <valgrind/memcheck.h>
#define BO_LEAK_CHECK() VALGRIND_DO_LEAK_CHECK
#define BO_ADDED_LEAK_CHECK() VALGRIND_DO_ADDED_LEAK_CHECK
#else
#define BO_LEAK_CHECK()
#define BO_ADDED_LEAK_CHECK()
#endif

using namespace Qt::StringLiterals;
using bench::Clock;

namespace {

void flush()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int run(int argc, char **argv)
{
    QString dbPath;
    int cycles = 100;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--db" && i + 1 < argc)
            dbPath = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--cycles" && i + 1 < argc)
            cycles = std::max(1, QByteArray(argv[++i]).toInt());
        else {
            std::fprintf(stderr, "usage: bench_openclose [--db demo.sqlite] [--cycles N]\n");
            return 2;
        }
    }

    // Opening and closing read no sales: a tiny demo chain is enough when no database is given.
    QTemporaryDir temp;
    QString db = dbPath;
    if (db.isEmpty()) {
        db = temp.filePath(u"tiny.sqlite"_s);
        createDemoDatabase(DatabaseConfig::sqlite(db), DemoSize::tiny(), 1);
    }
    bench::Host host(QFileInfo(db).absoluteFilePath());
    std::printf("database: %s\ncycles: %d\nVmRSS before the first cycle: %ld kB\n\n", qPrintable(db), cycles,
                bench::residentKb());
    std::printf("%6s %12s %12s %12s %12s\n", "cycle", "open ms", "close ms", "VmRSS kB", "heap kB");

    QList<double> openTimes, closeTimes;
    long firstRss = 0, lastRss = 0, firstHeap = 0, lastHeap = 0;
    const QList<int> marks{1, 2, 3, 5, 10, 25, 50, 75, 100, 200, 500, 1000};
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        const Clock::time_point start = Clock::now();
        IniProc();
        QPointer<TfrmEstaticVendHora> f = frmEstaticVendHora;
        if (!f || !f->isVisible())
            throw EHostError(u"cycle %1: IniProc showed no screen"_s.arg(cycle));
        QCoreApplication::processEvents();
        const Clock::time_point shown = Clock::now();

        if (QMdiSubWindow *sub = f->subWindow())
            sub->close();
        else
            f->close();
        flush();
        if (f)
            throw EHostError(u"cycle %1: the screen outlived its close"_s.arg(cycle));
        const Clock::time_point closed = Clock::now();

        // Under memcheck: what the cycles after the fifth kept, reachable or not (no-ops otherwise).
        if (cycle == 5)
            BO_LEAK_CHECK();
        else if (cycle == cycles && cycles > 5)
            BO_ADDED_LEAK_CHECK();

        openTimes << bench::msSince(start, shown);
        closeTimes << bench::msSince(shown, closed);
        if (marks.contains(cycle) || cycle == cycles) {
            const long rss = bench::residentKb();
            const long heap = bench::heapInUseKb();
            if (cycle == 3) {
                firstRss = rss;
                firstHeap = heap;
            }
            lastRss = rss;
            lastHeap = heap;
            std::printf("%6d %12.2f %12.2f %12ld %12ld\n", cycle, openTimes.last(), closeTimes.last(), rss, heap);
            std::fflush(stdout);
        }
    }
    std::printf("\nmedian open (IniProc to shown): %.2f ms\nmedian close (close to destroyed): %.2f ms\n",
                bench::median(openTimes), bench::median(closeTimes));
    if (cycles >= 10 && firstRss > 0)
        std::printf("VmRSS growth from cycle 3 to cycle %d: %ld kB (%.1f kB per cycle)\n", cycles, lastRss - firstRss,
                    double(lastRss - firstRss) / (cycles - 3));
    if (cycles >= 10 && firstRss > 0)
        std::printf("heap in use growth from cycle 3 to cycle %d: %ld kB (%.1f kB per cycle)\n", cycles,
                    lastHeap - firstHeap, double(lastHeap - firstHeap) / (cycles - 3));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    return bench::benchMain(argc, argv, "bench_openclose", run);
}
