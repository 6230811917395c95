// What the screen shows beside its fields: the required yellow only where the user can type, what
// a list holds beside its radio, and the period menu by the dates.
#include "dataset.h"
#include "formtest.h"
#include "periodpresets.h"
#include "pickedlist.h"
#include "testsupport.h"

#include <QAction>
#include <QImage>
#include <QMenu>

using namespace Qt::StringLiterals;
using formtest::ScreenTest;

namespace {

const QColor kRequired(255, 255, 225);

// The colour the field is painted with inside its frame.
QColor painted(QWidget *field)
{
    const QImage image = field->grab().toImage();
    return image.pixelColor(4, 4);
}

TEST_F(ScreenTest, TheRequiredYellowOnlyOnFieldsThatTakeInput)
{
    create(false);
    form->Show();
    testsupport::activate(form);
    const struct
    {
        int position;
        bool products; // the product range is open
    } cases[] = {{0, false}, {5, true}, {7, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.position);
        choose(c.position);
        for (TMaskEdit *field : {form->medDe, form->medAte}) {
            ASSERT_EQ(field->isEnabled(), c.products) << field->objectName().toStdString();
            EXPECT_EQ(painted(field) == kRequired, c.products) << field->objectName().toStdString();
        }
        EXPECT_EQ(painted(form->depDtHrIni), kRequired);
    }
    // Branch-bound, the branch code is the user's own and cannot be changed: it is not yellow.
    destroyScreen();
    create(true);
    form->Show();
    testsupport::activate(form);
    choose(0);
    ASSERT_FALSE(form->edtFilial->isEnabled());
    EXPECT_NE(painted(form->edtFilial), kRequired);
}

TEST(PickedList, SaysHowManyAndNamesTheFirst)
{
    TDataSet lookup;
    lookup.setContent({u"CDLOJA"_s, u"NMLOJA"_s}, {{u"0000000001"_s, u"Centro "_s},
                                                   {u"0000000002"_s, u"Shopping"_s},
                                                   {u"0000000003"_s, u"Sul"_s}});
    const struct
    {
        QString selection;
        QString summary;
        QString detail;
    } cases[] = {
        {QString(), QString(), QString()},
        {u"0000000002"_s, u"1 loja: Shopping"_s, u"0000000002 - Shopping"_s},
        {u"0000000001,0000000002"_s, u"2 lojas: Centro, Shopping"_s,
         u"0000000001 - Centro\n0000000002 - Shopping"_s},
        {u"0000000001,0000000002,0000000003"_s, u"3 lojas: Centro, Shopping, …"_s,
         u"0000000001 - Centro\n0000000002 - Shopping\n0000000003 - Sul"_s},
        // a code the lookup did not show stands for itself
        {u"0000000009,0000000003"_s, u"2 lojas: 0000000009, Sul"_s, u"0000000009\n0000000003 - Sul"_s},
    };
    PickedList list(u"loja"_s, u"lojas"_s);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.selection.toStdString());
        list.pick(c.selection, lookup, u"CDLOJA"_s, u"NMLOJA"_s);
        EXPECT_EQ(list.summary(), c.summary);
        EXPECT_EQ(list.detail(), c.detail);
    }
}

TEST_F(ScreenTest, ThePeriodMenuFillsBothDatesAsTheUserWould)
{
    create(false);
    const QList<QAction *> actions = form->btnPeriodo->menu()->actions();
    QStringList captions;
    for (const QAction *action : actions)
        captions << action->text();
    EXPECT_EQ(captions, (QStringList{u"Hoje"_s, u"Ontem"_s, u"Esta semana"_s, u"Semana passada"_s, u"Este mês"_s,
                                     u"Mês passado"_s, u"Últimos 7 dias"_s, u"Últimos 30 dias"_s}));
    const QDate today = QDate::currentDate();
    const struct
    {
        int item;
        QDate first, last;
    } cases[] = {
        {0, today, today},
        {1, today.addDays(-1), today.addDays(-1)},
        {6, today.addDays(-6), today},
        {7, today.addDays(-29), today},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.item);
        form->depDtHrIni->SetText(u"31/02/2026"_s); // a date that does not exist is replaced
        ui.clear();
        actions.at(c.item)->trigger();
        EXPECT_EQ(form->depDtHrIni->date(), c.first);
        EXPECT_EQ(form->depDtHrFin->date(), c.last);
        EXPECT_TRUE(shown().isEmpty()) << shown().join(u'|').toStdString();
    }
}

} // namespace
