// The screen as built by its constructor, before creation and activation adjust it: controls,
// their initial states, lookup components and the message catalogue.
#include "formtest.h"
#include "messages.h"
#include "widgets.h"

#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct ControlCase
{
    const char *name;
    const char *parent;
    QString caption; // text of a label/button, title of a group; empty: not checked
    bool enabled;
    std::optional<bool> checked;
};

void PrintTo(const ControlCase &c, std::ostream *os)
{
    *os << c.name;
}

QString captionOf(QWidget *w)
{
    if (auto *g = qobject_cast<QGroupBox *>(w))
        return g->title();
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->text();
    return {};
}

class InitialControl : public ::testing::TestWithParam<ControlCase>
{
};

TEST_P(InitialControl, HasItsParentCaptionAndStates)
{
    const ControlCase &c = GetParam();
    TfrmEstaticVendHora screen;
    auto *w = screen.findChild<QWidget *>(QString::fromLatin1(c.name));
    ASSERT_NE(w, nullptr);
    ASSERT_NE(w->parentWidget(), nullptr);
    EXPECT_EQ(w->parentWidget()->objectName(), QString::fromLatin1(c.parent));
    if (!c.caption.isEmpty()) {
        EXPECT_EQ(captionOf(w), c.caption);
    }
    EXPECT_EQ(w->isEnabledTo(&screen), c.enabled);
    if (c.checked) {
        EXPECT_EQ(qobject_cast<QAbstractButton *>(w)->isChecked(), *c.checked);
    }
}

const ControlCase kControls[] = {
    {"grbLoja", "grbDadosRel", u"Loja"_s, true, {}},
    {"rbtTodasLoja", "grbLoja", u"Todas"_s, true, true},
    {"rbtListaLoja", "grbLoja", u"Lista"_s, true, false},
    {"btnLoja", "grbLoja", {}, false, {}},
    {"grbCaixa", "grbDadosRel", u"Caixa"_s, true, {}},
    {"rbtTodosCaixa", "grbCaixa", u"Todos"_s, true, true},
    {"rbtListaCaixa", "grbCaixa", u"Lista"_s, true, false},
    {"btnCaixa", "grbCaixa", {}, false, {}},
    {"grbHoraVenda", "grbDadosRel", u"Período de Venda"_s, true, {}},
    {"depDtHrIni", "grbHoraVenda", {}, true, {}},
    {"depDtHrFin", "grbHoraVenda", {}, true, {}},
    {"medHoraIni", "grbHoraVenda", {}, true, {}},
    {"medHoraFin", "grbHoraVenda", {}, true, {}},
    {"grbIntervalo", "grbDadosRel", u"Intervalo"_s, true, {}},
    {"lblHoras", "grbIntervalo", u"Hs."_s, true, {}},
    {"medHoras", "grbIntervalo", {}, true, {}},
    {"nbkFilial", "grbDadosRel", {}, true, {}},
    {"lblFilial", "pagFilialSimples", u"Filial"_s, true, {}},
    {"edtFilial", "pagFilialSimples", {}, true, {}},
    {"btnPesqFilial", "pagFilialSimples", {}, true, {}},
    {"edtNmFilial", "pagFilialSimples", {}, false, {}},
    {"Label1", "pagFilialLista", u"Filial"_s, true, {}},
    {"rbtTodosFil", "pagFilialLista", u"Todas"_s, true, true},
    {"rbtListaFil", "pagFilialLista", u"Lista"_s, true, false},
    {"btnListaFil", "pagFilialLista", {}, false, {}},
    {"grbProduto", "frmEstaticVendHora", u"Produto"_s, true, {}},
    {"lblDe", "grbProduto", u"de"_s, false, {}},
    {"lblAte", "grbProduto", u"até"_s, false, {}},
    {"medDe", "grbProduto", {}, false, {}},
    {"medAte", "grbProduto", {}, false, {}},
    {"btpDe", "grbProduto", {}, false, {}},
    {"btpAte", "grbProduto", {}, false, {}},
    {"edtDe", "grbProduto", {}, false, {}},
    {"edtAte", "grbProduto", {}, false, {}},
    {"chbConsideraServico", "grbProduto", u"Considera Taxas de Serviço / Entrega"_s, true, true},
};
INSTANTIATE_TEST_SUITE_P(Screen, InitialControl, ::testing::ValuesIn(kControls));

TEST(ScreenDefinition, ScreenPropertiesAndNotebook)
{
    TfrmEstaticVendHora screen;
    EXPECT_EQ(screen.windowTitle(), u" Vendas por Dia/Hora"_s);
    EXPECT_EQ(screen.HelpFile, u"PdvHELP.hlp"_s);
    EXPECT_EQ(screen.HelpContext, 13002500);
    EXPECT_EQ(screen.lblCodTela->text(), u"Vnd02500"_s);
    EXPECT_EQ(screen.lblCodRel->text(), u"Vnd025"_s);
    EXPECT_EQ(screen.minimumSize(), screen.maximumSize()); // not resizable
    EXPECT_EQ(screen.nbkFilial->PageIndex(), 0);
    EXPECT_EQ(screen.nbkFilial->widget(0)->objectName(), u"pagFilialSimples"_s);
    EXPECT_EQ(screen.nbkFilial->widget(1)->objectName(), u"pagFilialLista"_s);
    EXPECT_TRUE(screen.edtNmFilial->isReadOnly());
    EXPECT_TRUE(QFile::exists(Application()->helpPagePath(screen.HelpFile, screen.HelpContext)));
}

// Every control of a group lies inside it and no two controls of the same parent overlap, so
// nothing hides a caption.
TEST(ScreenDefinition, ControlsDoNotOverlap)
{
    TfrmEstaticVendHora screen;
    const QList<QWidget *> parents{screen.grbDadosRel, screen.grbLoja,   screen.grbCaixa,
                                   screen.grbHoraVenda, screen.grbIntervalo, screen.grbProduto,
                                   screen.pagFilialSimples, screen.pagFilialLista, &screen};
    for (QWidget *parent : parents) {
        const auto children = parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        for (QWidget *a : children) {
            if (a->geometry().isEmpty() || a->objectName().startsWith(u"Bevel"_s) || a->objectName().isEmpty())
                continue;
            if (parent != &screen) {
                EXPECT_TRUE(parent->rect().contains(a->geometry())) << a->objectName().toStdString();
            }
            for (QWidget *b : children) {
                if (a == b || b->geometry().isEmpty() || b->objectName().startsWith(u"Bevel"_s)
                    || b->objectName().isEmpty())
                    continue;
                EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                    << a->objectName().toStdString() << " / " << b->objectName().toStdString();
            }
        }
    }
}

struct HourFieldCase
{
    const char *typed;
    const char *text;
};

TEST(ScreenDefinition, HourFieldsTakeFourDigitsShownAsHHMM)
{
    TfrmEstaticVendHora screen;
    const HourFieldCase cases[] = {{"0930", "0930"}, {"093015", "0930"}, {"", ""}};
    for (TMaskEdit *edit : {screen.medHoraIni, screen.medHoraFin, screen.medHoras}) {
        EXPECT_EQ(edit->editMask(), u"99:99;0; "_s);
        for (const HourFieldCase &c : cases) {
            edit->SetText(QString::fromLatin1(c.typed));
            EXPECT_EQ(edit->Text(), QString::fromLatin1(c.text)) << edit->objectName().toStdString();
            EXPECT_EQ(edit->EditText().size(), 5);
        }
    }
}

TEST(ScreenDefinition, BranchEditAcceptsFourCharactersFromTheKeyboardButHoldsTODAS)
{
    TfrmEstaticVendHora screen;
    EXPECT_EQ(screen.edtFilial->MaxLength(), 4);
    screen.edtFilial->setText(QString());
    QTest::keyClicks(screen.edtFilial, u"123456"_s);
    EXPECT_EQ(screen.edtFilial->text(), u"1234"_s);
    screen.edtFilial->setText(u"TODAS"_s);
    EXPECT_EQ(screen.edtFilial->text(), u"TODAS"_s);
}

TEST(ScreenDefinition, SearchButtonsCarryTheirAssociatesAndSources)
{
    TfrmEstaticVendHora s;
    struct Case
    {
        TBtnPesquisa *button;
        QWidget *associate;
        TDataSource *source;
        QString title;
        QString emptyError;
    };
    const Case cases[] = {
        {s.btnLoja, s.rbtListaLoja, s.dtsLoja, u"Loja"_s, {}},
        {s.btnCaixa, s.rbtListaCaixa, s.dtsCaixa, u"Caixa"_s, {}},
        {s.btnPesqFilial, s.edtFilial, s.dtsFilial, u"Filial"_s, u"Não há filial cadastrada."_s},
        {s.btnListaFil, s.rbtListaFil, s.dtsLoja, u"Loja"_s, {}},
        {s.btpDe, s.medDe, s.dtsPesqProduto, u"Produto"_s, u"Não há produto cadastrado."_s},
        {s.btpAte, s.medAte, s.dtsPesqProduto, u"Produto"_s, u"Não há produto cadastrado."_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.button->objectName().toStdString());
        EXPECT_EQ(c.button->Associate(), c.associate);
        EXPECT_EQ(c.button->DataSource(), c.source);
        EXPECT_EQ(c.button->Title(), c.title);
        EXPECT_EQ(c.button->EmptyError(), c.emptyError);
    }
    EXPECT_EQ(s.btnListaFil->FieldCodigo(), u"CDFILIAL"_s);
    for (TBtnPesquisa *b : {s.btnLoja, s.btnCaixa, s.btnPesqFilial})
        EXPECT_EQ(b->toolTip(), u"Pesquisar"_s);
}

TEST(ScreenDefinition, DataSourcesReadTheirQueries)
{
    TfrmEstaticVendHora s;
    EXPECT_EQ(s.dtsFilial->DataSet(), s.qryFilial->Query());
    EXPECT_EQ(s.dtsLoja->DataSet(), s.qryLoja->Query());
    EXPECT_EQ(s.dtsCaixa->DataSet(), s.qryCaixa->Query());
    EXPECT_EQ(s.dtsProduto->DataSet(), s.qryProduto->Query());
    EXPECT_EQ(s.dtsPesqProduto->DataSet(), s.cdsPesqProduto);
    EXPECT_EQ(s.netEstaticVendHora->ServerName, u"Vnd02500.rdmEstaticVendHora"_s);
    EXPECT_FALSE(s.netEstaticVendHora->Connected());
}

// Blanks at either end of a statement line are part of the statement.
TEST(ScreenDefinition, StatementLinesKeepTheirBlanks)
{
    TfrmEstaticVendHora s;
    struct Case
    {
        QString what;
        QStringList lines;
        qsizetype count;
        int line;
        QString text;
    };
    const Case cases[] = {
        {u"qryFilial SQL"_s, s.qryFilial->SQL(), 8, 5, u"  ((CDFILIAL = :P_CDFILIAL) OR (:P_TCDFILIAL = 'T'))"_s},
        {u"qryLoja SQL"_s, s.qryLoja->SQL(), 6, 5, u"  ((INSTR(:P_CDFILIAL, CDFILIAL) <> 0) OR (:P_TCDFILIAL = 'T')) "_s},
        {u"qryLoja MSSQL"_s, s.qryLoja->SQL_MSSQL(), 6, 5,
         u"  ((CHARINDEX(CDFILIAL, :P_CDFILIAL) <> 0) OR (:P_TCDFILIAL = 'T')) "_s},
        {u"qryLoja IB"_s, s.qryLoja->SQL_IB(), 6, 5, u"  ((INSTR(P_CDFILIAL.PARAM, CDFILIAL) <> 0) OR (:P_TCDFILIAL = 'T'))"_s},
        {u"qryCaixa SQL"_s, s.qryCaixa->SQL(), 11, 0, u" SELECT"_s},
        {u"qryCaixa ORACLE"_s, s.qryCaixa->SQL_ORACLE(), 11, 1, u"  C.CDFILIAL, C.CDCAIXA,  L.CDLOJA, L.NMLOJA, C.NMCAIXA"_s},
        {u"qryCaixa IB"_s, s.qryCaixa->SQL_IB(), 12, 11, u" "_s},
        {u"qryProduto SQL"_s, s.qryProduto->SQL(), 7, 4, u"WHERE ((CDARVPROD = :P_CDARVPROD) OR (:P_TCDARVPROD = 'T'))"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what.toStdString());
        ASSERT_EQ(c.lines.size(), c.count);
        EXPECT_EQ(c.lines.at(c.line), c.text);
    }
    EXPECT_EQ(s.qryLoja->SQL(), s.qryLoja->SQL_ORACLE());
    EXPECT_EQ(s.qryCaixa->SQL(), s.qryCaixa->SQL_ORACLE());
    EXPECT_TRUE(s.qryFilial->SQL_IB().isEmpty());
    // Parameters come from the statements.
    for (const char *name : {"P_CDFILIAL", "P_TCDFILIAL", "P_CDLOJA", "P_TCDLOJA"})
        EXPECT_NE(s.qryCaixa->Params().FindParam(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_NE(s.qryProduto->Params().FindParam(u"P_TCDARVPROD"_s), nullptr);
}

TEST(ScreenDefinition, FieldDefinitionsInOrder)
{
    TfrmEstaticVendHora s;
    auto names = [](const TDataSet *set) {
        QStringList out;
        for (const TFieldDef &d : set->FieldDefs())
            out << d.name + u':' + QString::number(d.size) + (d.visible ? QString() : u"-"_s)
                       + (d.label.isEmpty() ? QString() : u'=' + d.label);
        return out.join(u' ');
    };
    EXPECT_EQ(names(s.qryFilial->Query()), u"CDFILIAL:4=Código NMFILIAL:30=Nome"_s);
    EXPECT_EQ(names(s.qryLoja->Query()), u"CDFILIAL:4-=Filial CDLOJA:10=Código NMLOJA:35=Nome"_s);
    EXPECT_EQ(names(s.qryCaixa->Query()),
              u"CDFILIAL:4-=Filial CDCAIXA:3=Código NMCAIXA:30=Nome CDLOJA:10- NMLOJA:50-"_s);
    EXPECT_EQ(names(s.qryProduto->Query()),
              u"CDARVPROD:20=Código CDPRODUTO:10- NMPRODUTO:50=Nome SGUNIDADE:10- CDNVPRODUTO:1-"_s);
    EXPECT_EQ(names(s.cdsPesqProduto), u"CDPRODUTO:10-=Código CDARVPROD:20=Código NMPRODUTO:50=Nome"_s);
    EXPECT_EQ(names(s.cdsProdValid), u"CDPRODUTO:10 CDPRODINTE:20 NMPRODUTO:50 SGUNIDADE:10 CDARVPROD:20"_s);
    EXPECT_EQ(s.qryCaixa->Query()->findFieldDef(u"CDCAIXA"_s)->origin, u"CAIXA.CDCAIXA"_s);
}

TEST(MessageCatalogue, LoadedFromTheModuleWithBlanksAndAccents)
{
    TfrmEstaticVendHora s;
    const TMessages &m = *s.msgPadrao;
    EXPECT_EQ(m.count(), 27);
    const std::pair<const char *, QString> cases[] = {
        {"Hora_Inv", u" não é uma hora válida."_s},
        {"DataIni_Inv", u" não é uma data válida."_s},
        {"DataFim_Inv", u" não é uma data válida."_s},
        {"DTINI>DTFIM", u"Data inicial deve ser menor que a data final."_s},
        {"CAIXA_NULL", u"Não há caixa com movimentação para a filial e o período informado."_s},
        {"NovoCaption", u"Título do relatório"_s},
        {"Arq_Rel_Err",
         u"O arquivo contendo a definição do relatório de código '%s' não foi encontrado no diretório '%s'."_s},
        {"PRODNCAD", u"Produto não cadastrado."_s},
        {"FILIAL", u"FILIAL"_s}, // not in the catalogue: the key comes back
    };
    for (const auto &[key, text] : cases)
        EXPECT_EQ(m.Msg(QString::fromLatin1(key)), text) << key;
}

} // namespace
