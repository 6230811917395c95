// bench_lookups: the screen's lookups on a chain of lookups scale (100 branches, 2,000 stores,
// 20,000 registers), from the user's action to the list or name shown, next to the same statements
// run bare through QtSql in this process. Runs alternate screen and bare, so machine load hits both.
//
//   bench_lookups [--db lookups.sqlite] [--runs 21] [--only NAME] [--verbose]

#include "application.h"
#include "benchsupport.h"
#include "errors.h"
#include "modulestate.h"
#include "tfrmestaticvendhora.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>
#include <QStringList>
#include <cstdio>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;
using bench::Clock;

namespace {

// Positions in the report list of Vnd025.
constexpr int kVendasPorDia = 0;
constexpr int kHoraModalidade = 9;

struct Scenario
{
    const char *name;
    const char *what;
    std::function<void(TfrmEstaticVendHora &)> prepare; // filters as the user leaves them
    std::function<void(TfrmEstaticVendHora &)> action;  // the user's click or exit
    // The lookup queries the action runs, read once it ran.
    std::function<QList<TADOIBQuery *>(TfrmEstaticVendHora &)> queries;
    bool picker; // ends when the picker is filled; else when the action returns
    // The action is a focus move: the bare runs move the focus between two plain line edits too,
    // so Qt's own focus change is on both sides.
    bool focusMove = false;
};

// Two plain line edits on the screen itself (inside its MDI child window), for Qt's focus change
// without the screen's handlers.
struct PlainFocus
{
    explicit PlainFocus(QWidget *window) : box(window), from(&box), to(&box)
    {
        box.setGeometry(0, 0, 200, 30);
        to.move(100, 0);
        box.show();
    }
    void prepare()
    {
        from.setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }
    void move() { to.setFocus(Qt::TabFocusReason); }

    QWidget box;
    QLineEdit from;
    QLineEdit to;
};
PlainFocus *gPlainFocus = nullptr;

void choose(TfrmEstaticVendHora &f, int index)
{
    f.cbbReportNames->setCurrentIndex(index);
    QCoreApplication::processEvents();
}

void allBranches(TfrmEstaticVendHora &f)
{
    choose(f, kHoraModalidade);
    f.rbtListaFil->setChecked(true);
    f.rbtTodosFil->setChecked(true);
}

void oneBranch(TfrmEstaticVendHora &f, const QString &code)
{
    choose(f, kVendasPorDia);
    f.edtFilial->setText(code);
}

void storeList(TfrmEstaticVendHora &f)
{
    f.rbtTodasLoja->setChecked(true);
    f.rbtListaLoja->setChecked(true);
}

void registerList(TfrmEstaticVendHora &f)
{
    f.rbtTodasLoja->setChecked(true);
    f.rbtTodosCaixa->setChecked(true);
    f.rbtListaCaixa->setChecked(true);
}

QList<Scenario> scenarios()
{
    return {
        {"store-all-branches", "store button, hour/modality report, all branches",
         [](TfrmEstaticVendHora &f) {
             allBranches(f);
             storeList(f);
         },
         [](TfrmEstaticVendHora &f) { f.btnLoja->click(); },
         [](TfrmEstaticVendHora &f) { return QList<TADOIBQuery *>{f.qryLoja}; }, true},
        {"store-branch-0001", "store button, Vendas por Dia, branch 0001",
         [](TfrmEstaticVendHora &f) {
             oneBranch(f, u"0001"_s);
             storeList(f);
         },
         [](TfrmEstaticVendHora &f) { f.btnLoja->click(); },
         [](TfrmEstaticVendHora &f) { return QList<TADOIBQuery *>{f.qryFilial, f.qryLoja}; }, true},
        {"register-all-branches", "register button, hour/modality report, all branches, all stores",
         [](TfrmEstaticVendHora &f) {
             allBranches(f);
             f.edtFilial->setText(u"0001"_s);
             registerList(f);
         },
         [](TfrmEstaticVendHora &f) { f.btnCaixa->click(); },
         [](TfrmEstaticVendHora &f) { return QList<TADOIBQuery *>{f.qryCaixa}; }, true},
        {"register-branch-0001", "register button, Vendas por Dia, branch 0001, all stores",
         [](TfrmEstaticVendHora &f) {
             oneBranch(f, u"0001"_s);
             registerList(f);
         },
         [](TfrmEstaticVendHora &f) { f.btnCaixa->click(); },
         [](TfrmEstaticVendHora &f) { return QList<TADOIBQuery *>{f.qryFilial, f.qryCaixa}; }, true},
        {"branch-exit", "edtFilialExit, Vendas por Dia, code 1 (shown as 0001)",
         [](TfrmEstaticVendHora &f) {
             oneBranch(f, u"1"_s);
         },
         [](TfrmEstaticVendHora &f) { f.edtFilialExit(&f); },
         [](TfrmEstaticVendHora &f) { return QList<TADOIBQuery *>{f.qryFilial}; }, false},
        {"branch-focus", "focus leaves edtFilial for medHoraIni, Vendas por Dia, code 1",
         [](TfrmEstaticVendHora &f) {
             oneBranch(f, u"1"_s);
             f.edtFilial->setFocus(Qt::TabFocusReason);
             QCoreApplication::processEvents();
         },
         [](TfrmEstaticVendHora &f) { f.medHoraIni->setFocus(Qt::TabFocusReason); },
         [](TfrmEstaticVendHora &f) { return QList<TADOIBQuery *>{f.qryFilial}; }, false, true},
    };
}

struct Figures
{
    double screen = 0;
    double bare = 0; // prepared on every run
    double kept = 0; // prepared once
    int rows = 0;
};

bool gVerbose = false;

std::optional<Figures> measure(bench::Host &host, TfrmEstaticVendHora &f, const Scenario &s, int runs)
{
    Clock::time_point filled;
    bool opened = false;
    host.ui.onOpened = [&](const RecordingUi::Opened &) {
        filled = Clock::now();
        opened = true;
    };

    auto screenRun = [&]() -> double {
        s.prepare(f);
        host.ui.clear();
        opened = false;
        const Clock::time_point start = Clock::now();
        s.action(f);
        const Clock::time_point end = s.picker ? filled : Clock::now();
        if (s.picker && !opened)
            throw EHostError(u"no picker opened; shown: %1"_s.arg((host.ui.messages + host.ui.errors).join(u" | "_s)));
        if (!s.picker && f.edtNmFilial->text().isEmpty())
            throw EHostError(u"no branch name shown; shown: %1"_s.arg((host.ui.messages + host.ui.errors).join(u" | "_s)));
        return bench::msSince(start, end);
    };

    // Warm-up, and the statements the action ran, with its parameter values.
    for (int i = 0; i < 3; ++i)
        screenRun();
    QList<bench::Statement> statements;
    for (TADOIBQuery *q : s.queries(f))
        statements << bench::statementOf(*q);
    if (gVerbose) {
        for (const bench::Statement &st : std::as_const(statements)) {
            QStringList values;
            for (const QVariant &v : st.values)
                values << (v.isNull() ? u"NULL"_s : u"'%1'"_s.arg(v.toString()));
            std::printf("-- %s\n%s\n-- values: %s\n", s.name, qPrintable(st.sql), qPrintable(values.join(u", "_s)));
        }
    }
    Figures figures;
    // A baseline run: the plain focus move first when the action is one, then the statements.
    auto baseline = [&](const std::function<void()> &statementsRun) -> double {
        if (s.focusMove)
            gPlainFocus->prepare();
        const Clock::time_point start = Clock::now();
        if (s.focusMove)
            gPlainFocus->move();
        statementsRun();
        return bench::msSince(start, Clock::now());
    };
    auto bareRun = [&] {
        return baseline([&] {
            for (const bench::Statement &st : std::as_const(statements))
                figures.rows = bench::runBare(st);
        });
    };
    std::vector<std::unique_ptr<bench::KeptStatement>> kept;
    for (const bench::Statement &st : std::as_const(statements))
        kept.push_back(std::make_unique<bench::KeptStatement>(st));
    auto keptRun = [&] {
        return baseline([&] {
            for (const auto &st : kept)
                st->run();
        });
    };
    for (int i = 0; i < 3; ++i) {
        bareRun();
        keptRun();
    }

    QList<double> screen, bare, keptTimes;
    for (int i = 0; i < runs; ++i) {
        screen << screenRun();
        bare << bareRun();
        keptTimes << keptRun();
    }
    host.ui.onOpened = nullptr;
    figures.screen = bench::median(screen);
    figures.bare = bench::median(bare);
    figures.kept = bench::median(keptTimes);
    return figures;
}

int run(int argc, char **argv)
{
    QString dbPath;
    QString only;
    int runs = 21;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--db" && i + 1 < argc)
            dbPath = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, QByteArray(argv[++i]).toInt());
        else if (a == "--verbose")
            gVerbose = true;
        else if (a == "--only" && i + 1 < argc)
            only = QString::fromLocal8Bit(argv[++i]);
        else {
            std::fprintf(stderr, "usage: bench_lookups [--db lookups.sqlite] [--runs N] [--only NAME] [--verbose]\n");
            return 2;
        }
    }

    std::unique_ptr<QTemporaryDir> tempDir;
    const QString db = bench::lookupsDatabase(dbPath, tempDir);
    bench::Host host(db);
    IniProc();
    TfrmEstaticVendHora *f = frmEstaticVendHora.data();
    if (!f)
        throw EHostError(u"IniProc opened no screen"_s);
    f->window()->activateWindow();
    QApplication::setActiveWindow(f->window());
    QCoreApplication::processEvents();

    PlainFocus plainFocus(f);
    gPlainFocus = &plainFocus;

    std::printf("database: %s\nmedian of %d runs each, screen and bare QtSql alternating\n\n", qPrintable(db), runs);
    std::printf("%-22s %6s %10s %9s %9s %7s %9s %9s  %s\n", "lookup", "rows", "screen ms", "bare ms", "kept ms",
                "ratio", "overhead", "vs kept", "targets (<20 %, <100 ms)");
    bool allMet = true;
    for (const Scenario &s : scenarios()) {
        if (!only.isEmpty() && only != QLatin1String(s.name))
            continue;
        const std::optional<Figures> r = measure(host, *f, s, runs);
        const double ratio = r->bare > 0 ? r->screen / r->bare : 0;
        const double overhead = (ratio - 1) * 100;
        const double overKept = r->kept > 0 ? (r->screen / r->kept - 1) * 100 : 0;
        const bool met = overhead < 20 && r->screen < 100;
        allMet = allMet && met;
        std::printf("%-22s %6d %10.3f %9.3f %9.3f %7.2f %8.1f%% %8.1f%%  %s\n", s.name, r->rows, r->screen, r->bare,
                    r->kept, ratio, overhead, overKept, met ? "met" : "NOT met");
        std::fflush(stdout);
    }
    std::printf("\n");
    for (const Scenario &s : scenarios())
        std::printf("%-22s %s\n", s.name, s.what);
    std::printf("\nrows: the rows of the last statement (the list the picker offers); bare: every statement the "
                "action runs, prepared, run and every row read; kept: the same statements prepared once, before the "
                "runs; ratio and overhead: screen against bare; vs kept: screen against kept; for branch-focus both "
                "bare runs also move the focus between two plain line edits placed on the screen\n%s\n",
                allMet ? "all targets met" : "some targets not met");

    f->close();
    QCoreApplication::processEvents();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    return bench::benchMain(argc, argv, "bench_lookups", run);
}
