// Buttons, the search button and the list picker call.
#include "datamodule.h"
#include "dataset.h"
#include "eventboundary.h"
#include "recordingui.h"
#include "widgettest.h"
#include "widgets.h"

#include <QSqlQuery>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {
void fillBranches(TDataSet &data)
{
    data.setContent({u"CODIGO"_s, u"NOME"_s, u"ID"_s},
                    {{u"01  "_s, u"Matriz"_s, 10}, {u"02  "_s, u"Centro"_s, 20}, {u"03  "_s, u"Shopping"_s, 30}});
}
} // namespace

TEST(RadioButton, ClickRunsWhenItBecomesChecked)
{
    struct Row
    {
        const char *how;
        std::function<void(TRadioButton *, TRadioButton *)> act;
        int aClicks, bClicks;
    };
    const Row rows[] = {
        {"by code, twice", [](auto *a, auto *) { a->setChecked(true); a->setChecked(true); }, 1, 0},
        {"by the user", [](auto *a, auto *) { QTest::mouseClick(a, Qt::LeftButton); }, 1, 0},
        {"then the other one", [](auto *a, auto *b) { a->setChecked(true); b->setChecked(true); }, 1, 1},
        {"user click on the checked one",
         [](auto *a, auto *) { a->setChecked(true); QTest::mouseClick(a, Qt::LeftButton); }, 1, 0},
    };
    for (const Row &row : rows) {
        ShownScreen screen;
        auto *a = screen.add(new TRadioButton);
        auto *b = screen.add(new TRadioButton);
        a->setText(u"Dia"_s);
        screen.window->show();
        int aClicks = 0, bClicks = 0;
        QObject::connect(a, &TRadioButton::Click, a, [&](QObject *sender) { aClicks += sender == a; });
        QObject::connect(b, &TRadioButton::Click, b, [&] { ++bClicks; });
        row.act(a, b);
        EXPECT_EQ(aClicks, row.aClicks) << row.how;
        EXPECT_EQ(bClicks, row.bClicks) << row.how;
    }
}

TEST(SpeedButton, ClickRunsInsideTheBoundaryAndLeavesTheFocus)
{
    RecordingUi ui;
    ScopedUi scope(ui);
    ShownScreen screen;
    TEdit *edit = screen.add(new TEdit);
    auto *button = screen.add(new TSpeedButton);
    ASSERT_TRUE(screen.activate());
    edit->setFocus();
    int clicks = 0;
    connectHandler(button, &TSpeedButton::Click, button, [&] {
        ++clicks;
        throw std::runtime_error("handler failed");
    });
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(edit->hasFocus()) << "a bar button does not take the focus";
}

// --- TBtnPesquisa -----------------------------------------------------------------------------

namespace {
class BtnPesquisa : public ::testing::Test
{
protected:
    void SetUp() override
    {
        edit = screen.add(new TEdit);
        button = screen.add(new TBtnPesquisa);
        other = screen.add(new TEdit);
        ASSERT_TRUE(screen.activate());
        other->setFocus();
        source.setDataSet(&data);
        button->setDataSource(&source);
        button->setAssociate(edit);
        button->setTitle(u"Filiais"_s);
        button->setEmptyError(u"Nenhuma filial cadastrada."_s);
        QObject::connect(button, &TBtnPesquisa::AfterPesq, button, [this] { ++afterCount; });
    }
    RecordingUi ui;
    ScopedUi scope{ui};
    ShownScreen screen;
    TEdit *edit = nullptr;
    TEdit *other = nullptr;
    TBtnPesquisa *button = nullptr;
    TClientDataSet data;
    TDataSource source;
    int afterCount = 0;
};
} // namespace

TEST_F(BtnPesquisa, PickedRowBecomesCurrentAndTheFocusGoesToTheField)
{
    fillBranches(data);
    button->setFieldCodigo(u"NOME"_s);
    ui.answerSearch(u"Shopping"_s);
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(ui.opened.size(), 1);
    EXPECT_EQ(ui.opened.first().title, u"Filiais"_s);
    EXPECT_EQ(data.RecNo(), 2);
    EXPECT_EQ(afterCount, 1);
    EXPECT_TRUE(edit->hasFocus());

    button->Pesquisa(); // cancelled: the row stays
    EXPECT_EQ(data.RecNo(), 2);
    EXPECT_EQ(afterCount, 1);
}

TEST_F(BtnPesquisa, KeyFieldChoice)
{
    const TFieldDef hiddenId{u"ID"_s, {}, 0, false, {}, {}};
    const TFieldDef name{u"NOME"_s, u"Nome"_s, 30, true, {}, {}};
    const QStringList names{u"Matriz"_s, u"Centro"_s, u"Shopping"_s};
    struct Row
    {
        QString fieldCodigo;
        QList<TFieldDef> defs;
        QStringList keys; // what the search lists as keys
    };
    const Row rows[] = {
        {u"NOME"_s, {}, names},                                 // FieldCodigo
        {{}, {hiddenId, name}, names},                          // the first visible definition
        {{}, {}, {u"01  "_s, u"02  "_s, u"03  "_s}},            // the first column
    };
    for (const Row &row : rows) {
        ui.clear();
        data.FieldDefs() = row.defs;
        fillBranches(data);
        button->setFieldCodigo(row.fieldCodigo);
        button->Pesquisa();
        ASSERT_EQ(ui.opened.size(), 1);
        EXPECT_EQ(ui.opened.first().keys, row.keys) << str(row.fieldCodigo);
    }
}

TEST_F(BtnPesquisa, StopsBeforeTheList)
{
    bool proceed = false;
    int before = 0;
    QObject::connect(button, &TBtnPesquisa::BeforePesq, button, [&](QObject *, bool &go) {
        before += go; // starts true
        go = proceed;
    });
    fillBranches(data);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(ui.messages.isEmpty());

    proceed = true;
    data.clear();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(ui.messages, QStringList{u"Nenhuma filial cadastrada."_s});

    EXPECT_EQ(before, 2);
    EXPECT_TRUE(ui.opened.isEmpty());
    EXPECT_TRUE(other->hasFocus());
}

TEST_F(BtnPesquisa, ConnectedClickReplacesTheSearch)
{
    fillBranches(data);
    int clicks = 0, before = 0;
    QObject::connect(button, &TBtnPesquisa::Click, button, [&] { ++clicks; });
    QObject::connect(button, &TBtnPesquisa::BeforePesq, button, [&] { ++before; });
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(before, 0);
    EXPECT_TRUE(ui.opened.isEmpty());
}

TEST_F(BtnPesquisa, StatementFillsTheClientDataSet)
{
    DatabaseConfig config;
    config.name = u":memory:"_s;
    TdtmDBGeral::open(config);
    QSqlQuery(TdtmDBGeral::adcGeral()).exec(u"CREATE TABLE FILIAL (CODIGO CHAR(4), NOME VARCHAR(30))"_s);
    QSqlQuery(TdtmDBGeral::adcGeral()).exec(u"INSERT INTO FILIAL VALUES ('07', 'Norte'), ('08', 'Sul')"_s);
    data.FieldDefs() = {TFieldDef{u"NOME"_s, u"Nome"_s, 30, true, {}, {}}};
    button->setSQL(u"SELECT CODIGO, NOME FROM FILIAL ORDER BY CODIGO"_s);
    ui.answerSearch(u"Sul"_s);

    button->Pesquisa();
    EXPECT_EQ(data.RecordCount(), 2);
    ASSERT_EQ(data.FieldDefs().size(), 1) << "the screen's definitions stay";
    EXPECT_EQ(data.FieldByName(u"CODIGO"_s).AsString(), u"08"_s);
    EXPECT_EQ(afterCount, 1);

    button->setSQL(u"SELECT * FROM NO_SUCH_TABLE"_s);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(ui.errors.size(), 1) << "a failing statement ends at the click";
    TdtmDBGeral::close();
}

// --- PesquisaLista ----------------------------------------------------------------------------

TEST(PesquisaLista, PickedKeysInRowOrder)
{
    // Remembers the empty text the picker was given.
    struct PickerUi : RecordingUi
    {
        std::optional<QStringList> pickList(QWidget *parent, const QString &title, const QString &emptyText,
                                            TDataSet &data, const QString &keyField) override
        {
            lastEmptyText = emptyText;
            return RecordingUi::pickList(parent, title, emptyText, data, keyField);
        }
        QString lastEmptyText;
    };
    struct Row
    {
        QString title;
        std::optional<QStringList> answer; // nullopt: cancelled
        QString result, emptyText;
    };
    const Row rows[] = {
        {u"Filiais|Nenhuma filial"_s, QStringList{u"03  "_s, u"01  "_s}, u"01,03"_s, u"Nenhuma filial"_s},
        {u"Filiais"_s, QStringList{u"02  "_s, u"01  "_s, u"03  "_s}, u"01,02,03"_s, {}},
        {u"Filiais|"_s, QStringList{}, u""_s, {}},
        {u"Filiais|Nada"_s, std::nullopt, u"antes"_s, u"Nada"_s},
    };
    for (const Row &row : rows) {
        PickerUi ui;
        ScopedUi scope(ui);
        TClientDataSet data;
        fillBranches(data);
        TDataSource source;
        source.setDataSet(&data);
        if (row.answer)
            ui.answerPicker(*row.answer);
        QString result = u"antes"_s;
        PesquisaLista(&source, u"CODIGO"_s, row.title, true, result);
        EXPECT_EQ(str(result), str(row.result)) << str(row.title);
        ASSERT_EQ(ui.opened.size(), 1);
        EXPECT_EQ(ui.opened.first().title, u"Filiais"_s);
        EXPECT_EQ(str(ui.lastEmptyText), str(row.emptyText)) << str(row.title);
    }
}
