// Creation, activation, close and the report-dependent enabling of the sales-by-day/hour screen,
// driven on the real screen offscreen.
#include "eventboundary.h"
#include "formtest.h"
#include "testsupport.h"
#include "widgets.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QTcpServer>
#include <QTemporaryDir>
#include <algorithm>
#include <climits>

using namespace Qt::StringLiterals;
using formtest::ScreenTest;

namespace {

bool own(const QWidget *w)
{
    return !w->testAttribute(Qt::WA_ForceDisabled);
}

// What each position of the report list opens: the rows of the screen's table, the last one for
// every position from 10 on.
struct Groups
{
    bool intervalo, caixa, produto, btnCaixaFollowsLista;
};

Groups groupsAt(int index)
{
    struct Row
    {
        int last;
        Groups groups;
    };
    static const Row rows[] = {
        {-1, {false, false, false, true}}, {1, {false, true, false, true}}, {2, {true, false, false, false}},
        {4, {true, true, false, true}},    {6, {true, true, true, true}},   {8, {false, false, false, true}},
        {9, {true, false, false, true}},   {INT_MAX, {false, false, false, true}},
    };
    return std::find_if(std::begin(rows), std::end(rows), [index](const Row &r) { return index <= r.last; })->groups;
}

// Class flags of a report name: hour/modality, consolidated by the upper-cased and by the exact test.
struct NameClass
{
    bool h, cu, cr;
};

// Checks every control the rules reach against the index groups and the name class.
void expectRules(TfrmEstaticVendHora &f, int index, NameClass n, bool branchBound, bool lista)
{
    const Groups g = groupsAt(index);
    for (QWidget *w : {static_cast<QWidget *>(f.lblHoras), static_cast<QWidget *>(f.medHoras)})
        EXPECT_EQ(own(w), g.intervalo || n.h) << w->objectName().toStdString();
    EXPECT_EQ(own(f.rbtTodosCaixa), g.caixa);
    EXPECT_EQ(own(f.rbtListaCaixa), g.caixa);
    EXPECT_EQ(own(f.btnCaixa), lista && g.btnCaixaFollowsLista);
    for (QWidget *w : std::initializer_list<QWidget *>{f.lblDe, f.lblAte, f.medDe, f.medAte, f.btpDe, f.btpAte,
                                                       f.edtDe, f.edtAte})
        EXPECT_EQ(own(w), g.produto) << w->objectName().toStdString();
    EXPECT_EQ(own(f.chbConsideraServico), n.cu);
    EXPECT_EQ(own(f.edtFilial), !branchBound);
    EXPECT_EQ(own(f.btnPesqFilial), !branchBound);
    EXPECT_EQ(own(f.grbLoja), !n.cr);
    for (QWidget *locked : f.consolidationLocked())
        EXPECT_EQ(own(locked), !(branchBound && n.cr)) << locked->objectName().toStdString();
    EXPECT_EQ(f.nbkFilial->PageIndex(), n.h ? 1 : 0);
}

// ---------------------------------------------------------------------------------------------
// Rules by position, on the shipped report list

struct IndexCase
{
    int index;
    NameClass name;
};

void PrintTo(const IndexCase &c, std::ostream *os)
{
    *os << "index " << c.index;
}

const IndexCase kIndexCases[] = {
    {-1, {false, false, false}}, {0, {false, false, false}}, {1, {false, false, false}},
    {2, {false, false, false}},  {3, {false, false, false}},  {4, {false, false, false}},
    {5, {false, false, false}},  {6, {false, false, false}},  {7, {false, true, true}},
    {8, {false, false, false}},  {9, {true, false, false}},   {10, {false, false, false}},
    {11, {false, false, false}}, {12, {false, false, false}}, {13, {false, false, false}},
};

// index case, branch-bound mode, register "Lista" checked, consolidated summary chosen before.
class ReportRules : public ScreenTest,
                    public ::testing::WithParamInterface<std::tuple<IndexCase, bool, bool, bool>>
{
};

TEST_P(ReportRules, EnableExactlyWhatTheReportTakes)
{
    const auto [c, branchBound, lista, afterConsolidated] = GetParam();
    TfrmEstaticVendHora *f = create(branchBound);
    ASSERT_EQ(f->cbbReportNames->count(), 14);
    if (lista)
        f->rbtListaCaixa->setChecked(true);
    if (afterConsolidated)
        choose(7);
    choose(c.index);
    expectRules(*f, c.index, c.name, branchBound, lista);

    // Outside branch-bound mode the consolidated summary takes every branch; leaving it restores
    // the remembered branch, which nothing has validated yet here.
    QString code = u"0042"_s, name = u"Filial Quarenta e Dois"_s;
    if (!branchBound && c.name.cr) {
        code = u"TODAS"_s;
        name = u"RELATORIO CONSOLIDADO"_s;
    } else if (!branchBound && afterConsolidated) {
        code.clear();
        name.clear();
    }
    EXPECT_EQ(f->edtFilial->text(), code);
    EXPECT_EQ(f->edtNmFilial->text(), name);
}

INSTANTIATE_TEST_SUITE_P(Screen, ReportRules,
                         ::testing::Combine(::testing::ValuesIn(kIndexCases), ::testing::Bool(), ::testing::Bool(),
                                            ::testing::Bool()));

// ---------------------------------------------------------------------------------------------
// Rules by name, on a report list of our own

struct NamedReport
{
    const char *title;
    NameClass name;
};

const NamedReport kNamedReports[] = {
    {"resumo de vendas - consolidado", {false, true, false}},
    {"Resumo de Vendas - Consolidado - Vendas por Hora/Modalidade", {true, true, true}},
    {"VENDAS POR HORA/MODALIDADE", {true, false, false}},
    {"vendas por hora/modalidade", {true, false, false}},
    {"RESUMO DE VENDAS - CONSOLIDADO", {false, true, false}},
    {"Resumo de Vendas - Consolidado", {false, true, true}},
    {"Vendas por Dia", {false, false, false}},
    {"Resumo de Vendas - Consolidado (Diário)", {false, true, true}},
    {"Vendas por Hora/Modalidade", {true, false, false}},
    {"Ticket Médio por Dia", {false, false, false}},
    {"Resumo de Vendas-Consolidado", {false, false, false}},
    {"Vendas por Hora/Modalidade Ampliado", {true, false, false}},
};

class NamedRules : public ScreenTest, public ::testing::WithParamInterface<std::tuple<int, bool>>
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        ASSERT_TRUE(mDir.isValid());
        QJsonArray reports;
        for (const NamedReport &r : kNamedReports)
            reports.append(QJsonObject{{u"title"_s, QString::fromUtf8(r.title)}, {u"file"_s, u"x.json"_s}});
        QDir(mDir.path()).mkpath(u"Vnd025"_s);
        QFile index(mDir.filePath(u"Vnd025/index.json"_s));
        ASSERT_TRUE(index.open(QIODevice::WriteOnly));
        index.write(QJsonDocument(QJsonObject{{u"code"_s, u"Vnd025"_s}, {u"reports"_s, reports}}).toJson());
        index.close();
        setReportsDirectory(mDir.path());
    }

    QTemporaryDir mDir;
};

TEST_P(NamedRules, FollowTheNameTestsWhateverThePosition)
{
    const auto [index, branchBound] = GetParam();
    TfrmEstaticVendHora *f = create(branchBound);
    ASSERT_EQ(f->cbbReportNames->count(), int(std::size(kNamedReports)));
    choose(index);
    const NameClass n = kNamedReports[index].name;
    expectRules(*f, index, n, branchBound, false);
    const bool todas = !branchBound && n.cr;
    EXPECT_EQ(f->edtFilial->text(), todas ? u"TODAS"_s : u"0042"_s);
    EXPECT_EQ(f->edtNmFilial->text(), todas ? u"RELATORIO CONSOLIDADO"_s : u"Filial Quarenta e Dois"_s);
}

INSTANTIATE_TEST_SUITE_P(Screen, NamedRules,
                         ::testing::Combine(::testing::Range(0, int(std::size(kNamedReports))), ::testing::Bool()));

TEST(ReportClass, UpperCasingTouchesPlainLettersOnly)
{
    const std::pair<QString, QString> cases[] = {
        {u"Ticket Médio"_s, u"TICKET MéDIO"_s},
        {u"ação çÇ"_s, u"AçãO çÇ"_s},
        {u"az AZ 09 /-"_s, u"AZ AZ 09 /-"_s},
        {QString(), QString()},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(ReportClass::upperAscii(in), out) << in.toStdString();
}

// Letters outside a to z keep their case, also where a full upper-casing would turn them into
// the words sought (the long s becomes S).
TEST(ReportClass, TestsOnTheChosenName)
{
    struct Case
    {
        QString name;
        NameClass expected;
    };
    const Case cases[] = {
        {u"Vendas por Hora/Modalidade"_s, {true, false, false}},
        {u"Venda\u017F por Hora/Modalidade"_s, {false, false, false}},
        {u"Resumo de Venda\u017F - Consolidado"_s, {false, false, false}},
        {u"rEsUmO dE vEnDaS - cOnSoLiDaDo"_s, {false, true, false}},
        {u"x Resumo de Vendas - Consolidado x"_s, {false, true, true}},
        {QString(), {false, false, false}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(ReportClass::isHoraModalidade(c.name), c.expected.h);
        EXPECT_EQ(ReportClass::isConsolidadoMaiusculo(c.name), c.expected.cu);
        EXPECT_EQ(ReportClass::isConsolidadoExato(c.name), c.expected.cr);
    }
}

// ---------------------------------------------------------------------------------------------
// Branch texts around the consolidated summary

struct RestoreCase
{
    const char *what;
    QString lastCode, lastName;
    std::optional<QString> typedMeanwhile;
    QString code, name;
};

void PrintTo(const RestoreCase &c, std::ostream *os)
{
    *os << c.what;
}

class BranchRestore : public ScreenTest, public ::testing::WithParamInterface<RestoreCase>
{
};

TEST_P(BranchRestore, LeavingTheConsolidatedSummary)
{
    const RestoreCase &c = GetParam();
    TfrmEstaticVendHora *f = create(false);
    TfrmEstaticVendHoraProbe::seedLastFilial(*f, c.lastCode, c.lastName);
    choose(7);
    ASSERT_EQ(f->edtFilial->text(), u"TODAS"_s);
    if (c.typedMeanwhile)
        f->edtFilial->setText(*c.typedMeanwhile);
    choose(2);
    EXPECT_EQ(f->edtFilial->text(), c.code);
    EXPECT_EQ(f->edtNmFilial->text(), c.name);
}

const RestoreCase kRestoreCases[] = {
    {"remembered branch comes back", u"0007"_s, u"Filial Sete"_s, {}, u"0007"_s, u"Filial Sete"_s},
    {"nothing remembered empties both", {}, {}, {}, {}, {}},
    {"replaced text stays", u"0007"_s, u"Filial Sete"_s, u"0099"_s, u"0099"_s, {}},
    {"other letter case is not TODAS", u"0007"_s, u"Filial Sete"_s, u"todas"_s, u"todas"_s, {}},
};
INSTANTIATE_TEST_SUITE_P(Screen, BranchRestore, ::testing::ValuesIn(kRestoreCases));

// ---------------------------------------------------------------------------------------------
// Creation and activation

class Creation : public ScreenTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(Creation, SetsSelectionsBranchAndMasks)
{
    const bool branchBound = GetParam();
    stFilial = stLoja = stCaixa = u"stale"_s;
    TfrmEstaticVendHora *f = create(branchBound, false);
    EXPECT_EQ(stFilial, branchBound ? u"0042"_s : u"T"_s);
    EXPECT_EQ(stLoja, u"T"_s);
    EXPECT_EQ(stCaixa, u"T"_s);
    EXPECT_EQ(f->rbtListaFil->isChecked(), branchBound);
    EXPECT_EQ(own(f->rbtTodosFil), !branchBound);
    EXPECT_EQ(own(f->rbtListaFil), !branchBound);
    EXPECT_FALSE(own(f->btnListaFil));
    EXPECT_EQ(f->edtFilial->text(), u"0042"_s);
    EXPECT_EQ(f->edtNmFilial->text(), u"Filial Quarenta e Dois"_s);
    EXPECT_EQ(f->medDe->editMask(), u"99.999;0;_"_s);
    EXPECT_EQ(f->medAte->editMask(), u"99.999;0;_"_s);
    EXPECT_EQ(f->cdsPesqProduto->findFieldDef(u"CDARVPROD"_s)->editMask, u"99.999;0;_"_s);
    EXPECT_EQ(f->cbbReportNames->currentIndex(), -1);
    // The first activation is armed: it copies the host's branch over whatever the code shows.
    f->edtFilial->setText(u"0077"_s);
    f->FormActivate(f);
    EXPECT_EQ(f->edtFilial->text(), u"0042"_s);
}

INSTANTIATE_TEST_SUITE_P(Screen, Creation, ::testing::Bool());

TEST_F(ScreenTest, FirstActivationCopiesTheHostBranchOverTODASOnce)
{
    TfrmEstaticVendHora *f = create(false, false);
    choose(7);
    ASSERT_EQ(f->edtFilial->text(), u"TODAS"_s);
    f->FormActivate(f);
    EXPECT_EQ(f->edtFilial->text(), u"0042"_s);
    EXPECT_EQ(f->edtNmFilial->text(), u"Filial Quarenta e Dois"_s);

    // The next drawing of the list puts the consolidated texts back.
    f->cbbReportNamesDrawItem(f->cbbReportNames, 7, QRect(), 0);
    EXPECT_EQ(f->edtFilial->text(), u"TODAS"_s);
    EXPECT_EQ(f->edtNmFilial->text(), u"RELATORIO CONSOLIDADO"_s);

    // Later activations leave the branch to the rules.
    choose(0);
    f->edtFilial->setText(u"0077"_s);
    f->FormActivate(f);
    EXPECT_EQ(f->edtFilial->text(), u"0077"_s);
}

struct FocusCase
{
    bool branchBound;
    int index;
    const char *target; // null: the focus stays where it was
};

void PrintTo(const FocusCase &c, std::ostream *os)
{
    *os << (c.branchBound ? "bound " : "free ") << c.index;
}

class ActivationFocus : public ScreenTest, public ::testing::WithParamInterface<FocusCase>
{
};

TEST_P(ActivationFocus, GoesToTheBranchOrStoreWhenItCan)
{
    const FocusCase &c = GetParam();
    TfrmEstaticVendHora *f = create(c.branchBound, false);
    testsupport::activate(f);
    choose(c.index);
    {
        // Placing the starting focus is no user's exit from the branch field.
        ExitGuard guard;
        f->depDtHrFin->setFocus(Qt::OtherFocusReason);
        QCoreApplication::processEvents();
    }
    ASSERT_EQ(QApplication::focusWidget(), f->depDtHrFin);
    f->FormActivate(f);
    QCoreApplication::processEvents();
    QWidget *focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    EXPECT_EQ(focus->objectName(), c.target ? QString::fromLatin1(c.target) : u"depDtHrFin"_s);
}

const FocusCase kFocusCases[] = {
    {false, -1, "edtFilial"},   {false, 0, "edtFilial"},    {false, 7, "edtFilial"}, {false, 9, nullptr},
    {true, 0, "rbtTodasLoja"}, {true, 7, nullptr}, // its store group is closed for the summary
    {true, 9, nullptr},
};
INSTANTIATE_TEST_SUITE_P(Screen, ActivationFocus, ::testing::ValuesIn(kFocusCases));

// ---------------------------------------------------------------------------------------------
// Close and the application-server connection

TEST_F(ScreenTest, ClosingANeverConnectedScreenMakesNoDisconnect)
{
    TfrmEstaticVendHora *f = create(false);
    boIdCriado = true;
    TNetConnection *net = f->netEstaticVendHora;
    EXPECT_TRUE(f->close());
    EXPECT_FALSE(boIdCriado);
    EXPECT_EQ(net->disconnectCount(), 0);
}

TEST_F(ScreenTest, ConnectionTakesHostAndPortAtEveryConnectAndClosesWithTheScreen)
{
    QTcpServer first, second;
    ASSERT_TRUE(first.listen(QHostAddress::LocalHost));
    ASSERT_TRUE(second.listen(QHostAddress::LocalHost));
    TfrmEstaticVendHora *f = create(false);
    TNetConnection *net = f->netEstaticVendHora;

    const std::pair<QTcpServer *, const char *> servers[] = {{&first, "first"}, {&second, "second"}};
    for (const auto &[server, what] : servers) {
        HostContext c = Corvel::context();
        c.webUrl = u"127.0.0.1"_s;
        c.webPort = server->serverPort();
        Corvel::setContext(c);
        net->SetConnected(false);
        net->SetConnected(true);
        EXPECT_TRUE(net->Connected()) << what << ": " << net->lastError().toStdString();
        EXPECT_EQ(net->Host, u"127.0.0.1"_s) << what;
        EXPECT_EQ(net->Port, int(server->serverPort())) << what;
    }
    const int before = net->disconnectCount();
    boIdCriado = true;
    EXPECT_TRUE(f->close());
    EXPECT_FALSE(net->Connected());
    EXPECT_EQ(net->disconnectCount(), before + 1);
    EXPECT_FALSE(boIdCriado);
}

// ---------------------------------------------------------------------------------------------
// Drawing the report list re-applies the name rules without feeding itself

class CountingScreen : public TfrmEstaticVendHora
{
public:
    using TfrmEstaticVendHora::TfrmEstaticVendHora;
    void cbbReportNamesDrawItem(QWidget *control, int index, const QRect &rect, TOwnerDrawStates state) override
    {
        ++draws;
        TfrmEstaticVendHora::cbbReportNamesDrawItem(control, index, rect, state);
    }
    int draws = 0;
};

class PaintCounter : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    int paints = 0;
};

struct PaintCase
{
    const char *what;
    bool branchBound;
    int report;
    std::optional<QString> typedBefore; // text typed over the branch before the paints
    int expectedChanges;               // branch code changes from the typing on
    QString code;
};

void PrintTo(const PaintCase &c, std::ostream *os)
{
    *os << c.what;
}

class PaintLoop : public ScreenTest, public ::testing::WithParamInterface<PaintCase>
{
};

TEST_P(PaintLoop, ManyPaintsRunTheHandlerOncePerItemAndSettle)
{
    const PaintCase &c = GetParam();
    auto *f = create<CountingScreen>(c.branchBound);
    f->show();
    QCoreApplication::processEvents();
    choose(c.report);
    int changes = 0;
    QObject::connect(f->edtFilial, &QLineEdit::textChanged, f, [&changes] { ++changes; });
    if (c.typedBefore)
        f->edtFilial->setText(*c.typedBefore);
    QCoreApplication::processEvents();
    PaintCounter counter;
    TReportCombo *combo = f->cbbReportNames;
    combo->installEventFilter(&counter);

    constexpr int rounds = 200;
    const int drawsBefore = f->draws;
    QImage canvas(combo->width(), 24, QImage::Format_ARGB32_Premultiplied);
    for (int round = 0; round < rounds; ++round) {
        QPainter painter(&canvas);
        for (int row = 0; row < combo->count(); ++row) {
            QStyleOptionViewItem option;
            option.initFrom(combo->view());
            option.rect = QRect(0, 0, combo->width(), 24);
            combo->itemDelegate()->paint(&painter, option, combo->model()->index(row, 0));
        }
        painter.end();
        combo->repaint();
    }
    // One handler run per item drawn and per repaint of the closed list, no nested runs.
    EXPECT_EQ(f->draws - drawsBefore, rounds * combo->count() + counter.paints);
    EXPECT_LE(counter.paints, rounds + 1);
    EXPECT_EQ(changes, c.expectedChanges);
    EXPECT_EQ(f->edtFilial->text(), c.code);

    // Left alone, the screen stops drawing: nothing keeps scheduling repaints.
    auto idle = [] {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 150)
            QCoreApplication::processEvents();
    };
    idle();
    const int settled = f->draws;
    idle();
    EXPECT_EQ(f->draws, settled);
    combo->removeEventFilter(&counter);
}

const PaintCase kPaintCases[] = {
    {"consolidated, already TODAS", false, 7, {}, 0, u"TODAS"_s},
    {"consolidated, typed over", false, 7, u"0099"_s, 2, u"TODAS"_s}, // typed, then TODAS once
    {"plain report", false, 0, {}, 0, u"0042"_s},
    {"branch-bound consolidated", true, 7, {}, 0, u"0042"_s},
};
INSTANTIATE_TEST_SUITE_P(Screen, PaintLoop, ::testing::ValuesIn(kPaintCases));

// ---------------------------------------------------------------------------------------------
// Through the host: open from the menu entry, real activation, list painting by script

struct ScriptCase
{
    const char *what;
    bool branchBound;
    QJsonObject expected; // dump of the last step
};

void PrintTo(const ScriptCase &c, std::ostream *os)
{
    *os << c.what;
}

class HostScript : public ::testing::TestWithParam<ScriptCase>
{
};

TEST_P(HostScript, OpensActivatesAndPaints)
{
    const ScriptCase &c = GetParam();
    QJsonArray steps{QJsonObject{{u"open"_s, u"Vnd02500"_s}},
                     QJsonObject{{u"select"_s, u"Resumo de Vendas - Consolidado"_s}}};
    for (int i = 0; i < 50; ++i)
        steps.append(QJsonObject{{u"paint"_s, true}});
    steps.append(QJsonObject{{u"dump"_s, QJsonArray{u"stFilial"_s, u"stLoja"_s, u"stCaixa"_s, u"edtFilial"_s,
                                                    u"rbtListaFil"_s, u"sbtPrint"_s, u"grbLoja"_s}}});
    const QJsonObject config{{u"ModuFili"_s, c.branchBound},
                             {u"FiliProc"_s, u"0042"_s},
                             {u"database"_s, QJsonObject{{u"driver"_s, u"QSQLITE"_s}, {u"name"_s, u":memory:"_s}}}};
    const auto lines = testsupport::runScript(steps, config);
    const auto dumps = testsupport::linesOf(lines, u"dump"_s);
    ASSERT_EQ(dumps.size(), 1);
    const QJsonObject dump = dumps.first().value(u"dump"_s).toObject();
    for (auto it = c.expected.begin(); it != c.expected.end(); ++it) {
        const QJsonValue got = it.value().isObject()
                                   ? QJsonValue(QJsonObject{{it.value().toObject().begin().key(),
                                                             dump.value(it.key()).toObject().value(
                                                                 it.value().toObject().begin().key())}})
                                   : dump.value(it.key());
        EXPECT_EQ(got, it.value()) << it.key().toStdString();
    }
    EXPECT_TRUE(testsupport::linesOf(lines, u"error"_s).isEmpty());
}

const ScriptCase kScriptCases[] = {
    {"free",
     false,
     {{u"stFilial"_s, u"T"_s},
      {u"stLoja"_s, u"T"_s},
      {u"stCaixa"_s, u"T"_s},
      {u"edtFilial"_s, QJsonObject{{u"text"_s, u"TODAS"_s}}},
      {u"rbtListaFil"_s, QJsonObject{{u"checked"_s, false}}},
      {u"sbtPrint"_s, QJsonObject{{u"enabled"_s, true}}},
      {u"grbLoja"_s, QJsonObject{{u"enabled"_s, false}}}}},
    {"branch-bound",
     true,
     {{u"stFilial"_s, u"0042"_s},
      {u"edtFilial"_s, QJsonObject{{u"text"_s, u"0042"_s}}},
      {u"rbtListaFil"_s, QJsonObject{{u"checked"_s, true}}},
      {u"sbtPrint"_s, QJsonObject{{u"enabled"_s, false}}},
      {u"grbLoja"_s, QJsonObject{{u"enabled"_s, false}}}}},
};
INSTANTIATE_TEST_SUITE_P(Screen, HostScript, ::testing::ValuesIn(kScriptCases));

} // namespace
