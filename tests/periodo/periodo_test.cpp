#include "application.h"
#include "cli_vnd02500.h"
#include "consiste.h"
#include "datamodule.h"
#include "errors.h"
#include "recordingui.h"
#include "reportdesigner.h"
#include "screentest.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {
using testsupport::focusName;

class PeriodScreen : public testsupport::ScreenTest<>
{
protected:
    void SetUp() override
    {
        openDatabase(DatabaseConfig::sqlite(QStringLiteral(":memory:")));
        createScreen();
    }

    // Runs a validator as the event boundary would: answers whether it failed.
    template <typename Fn>
    bool fails(Fn &&validator)
    {
        try {
            validator();
        } catch (const EAbort &) {
            return true;
        }
        return false;
    }
};

TEST_F(PeriodScreen, HourPartsAreCutAlsoWhenTheCheckFails)
{
    struct Case
    {
        const char *text, *hora, *min, *message;
    };
    const Case cases[] = {
        {"1430", "14", "30", nullptr},
        {"14", "14", "00", "'14' não é uma hora válida."},
        {"", "00", "00", nullptr},
        {"143", "14", "03", "'143' não é uma hora válida."},
        {"1", "01", "00", "'1' não é uma hora válida."},
        {"2575", "25", "75", "'2575' não é uma hora válida."},
    };
    for (const Case &c : cases) {
        for (bool start : {true, false}) {
            ui.clear();
            TMaskEdit *field = start ? f->medHoraIni : f->medHoraFin;
            field->SetText(QString::fromLatin1(c.text));
            FocusControl(f->depDtHrIni);
            const bool failed = fails([&] { start ? f->Vd_HoraIni() : f->Vd_HoraFin(); });
            EXPECT_EQ(failed, c.message != nullptr) << c.text;
            EXPECT_EQ(start ? HoraIni : HoraFin, QString::fromLatin1(c.hora)) << c.text;
            EXPECT_EQ(start ? MinIni : MinFin, QString::fromLatin1(c.min)) << c.text;
            if (c.message) {
                EXPECT_EQ(ui.messages, QStringList{QString::fromUtf8(c.message)});
                EXPECT_EQ(focusName(), field->objectName());
            } else {
                EXPECT_TRUE(ui.messages.isEmpty());
            }
        }
    }
}

TEST_F(PeriodScreen, DateMessagesAndFocus)
{
    struct Case
    {
        bool start;
        const char *shown;
        bool flag;
        const char *message; // nullptr: passes
    };
    const Case cases[] = {
        {true, "", false, nullptr},
        {true, "", true, "Data inicial do período deve ser informada."},
        {false, "", true, "Data final do período deve ser informada."},
        {true, "31/02/2026", false, "'31/02/2026'  não é uma data válida."},
        {false, "00/00/0000", true, "'00/00/0000'  não é uma data válida."},
        {true, "01/12/2026", true, nullptr},
        {false, "29/02/2028", false, nullptr},
    };
    for (const Case &c : cases) {
        ui.clear();
        TDateEditPlus *field = c.start ? f->depDtHrIni : f->depDtHrFin;
        field->SetText(QString::fromLatin1(c.shown));
        FocusControl(f->edtFilial);
        const bool failed = fails([&] { c.start ? f->Vd_DataIni(c.flag) : f->Vd_DataFim(c.flag); });
        EXPECT_EQ(failed, c.message != nullptr) << c.shown;
        if (c.message) {
            EXPECT_EQ(ui.messages, QStringList{QString::fromUtf8(c.message)});
            EXPECT_EQ(focusName(), field->objectName());
        } else {
            EXPECT_TRUE(ui.messages.isEmpty()) << c.shown;
            EXPECT_EQ(focusName(), QStringLiteral("edtFilial"));
        }
    }
}

TEST_F(PeriodScreen, PeriodOrder)
{
    struct Case
    {
        const char *ini, *fin, *horaIni, *horaFin, *message, *focus;
    };
    const Case cases[] = {
        {"01/12/2026", "01/12/2026", "", "", nullptr, nullptr},
        {"02/12/2026", "01/12/2026", "", "", "Data inicial deve ser menor que a data final.", "depDtHrIni"},
        {"01/12/2026", "01/12/2026", "1000", "0959", "Período de hora inicial deve ser menor que o final.", "medHoraIni"},
        {"01/12/2026", "01/12/2026", "1000", "1000", nullptr, nullptr},
        {"01/12/2026", "02/12/2026", "2200", "0600", nullptr, nullptr},
        {"01/12/2026", "01/12/2026", "0800", "", "Período final de hora deve ser informado.", "medHoraFin"},
        {"01/12/2026", "01/12/2026", "", "0800", "Período inicial de hora deve ser informado.", "medHoraIni"},
    };
    for (const Case &c : cases) {
        ui.clear();
        f->depDtHrIni->SetText(QString::fromLatin1(c.ini));
        f->depDtHrFin->SetText(QString::fromLatin1(c.fin));
        f->medHoraIni->SetText(QString::fromLatin1(c.horaIni));
        f->medHoraFin->SetText(QString::fromLatin1(c.horaFin));
        FocusControl(f->medHoras);
        const bool failed = fails([&] {
            f->Vd_Data();
            f->Vd_Hora();
        });
        EXPECT_EQ(failed, c.message != nullptr) << c.ini << " " << c.horaIni << "-" << c.horaFin;
        if (c.message) {
            EXPECT_EQ(ui.messages, QStringList{QString::fromUtf8(c.message)});
            EXPECT_EQ(focusName(), QString::fromLatin1(c.focus));
        }
    }
}

TEST_F(PeriodScreen, DateAndHourThatCannotBeConvertedEndsTheAction)
{
    // An invalid date with valid hours: the conversion's own error, no catalogue message.
    f->depDtHrIni->SetText(QStringLiteral("31/02/2026"));
    f->depDtHrFin->SetText(QStringLiteral("01/03/2026"));
    f->medHoraIni->SetText(QStringLiteral("1000"));
    f->medHoraFin->SetText(QStringLiteral("1100"));
    EXPECT_THROW(f->Vd_Hora(), EConvertError);
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(PeriodScreen, IntervalIsOptionalButMustBeAnHour)
{
    f->cbbReportNames->setCurrentIndex(2); // "Vendas por Hora" opens the interval
    ASSERT_TRUE(f->medHoras->isEnabled());
    const std::pair<const char *, const char *> cases[] = {
        {"", nullptr}, {"0130", nullptr}, {"2359", nullptr}, {"2575", "'2575' não é uma hora válida."},
        {"99", "'99' não é uma hora válida."}};
    for (const auto &[text, message] : cases) {
        ui.clear();
        f->medHoras->SetText(QString::fromLatin1(text));
        FocusControl(f->depDtHrIni);
        EXPECT_EQ(fails([&] { f->Vd_Intervalo(); }), message != nullptr) << text;
        if (message) {
            EXPECT_EQ(ui.messages, QStringList{QString::fromUtf8(message)});
            EXPECT_EQ(focusName(), QStringLiteral("medHoras"));
        }
    }
    // With the interval closed by the chosen report the check still stops the action; the focus
    // cannot go to a disabled field and stays where it was.
    f->cbbReportNames->setCurrentIndex(0);
    ASSERT_FALSE(f->medHoras->isEnabled());
    f->medHoras->SetText(QStringLiteral("2575"));
    FocusControl(f->depDtHrIni);
    EXPECT_TRUE(fails([&] { f->Vd_Intervalo(); }));
    EXPECT_EQ(focusName(), QStringLiteral("depDtHrIni"));
}

TEST_F(PeriodScreen, LeavingAnEmptyHourFieldKeepsTheOldParts)
{
    f->medHoraIni->SetText(QStringLiteral("0915"));
    f->Vd_HoraIni();
    f->medHoraIni->SetText(QString());
    FocusControl(f->medHoraIni);
    f->medHoraFin->setFocus(Qt::TabFocusReason); // a real exit from the empty field
    EXPECT_EQ(HoraIni, QStringLiteral("09"));
    EXPECT_EQ(MinIni, QStringLiteral("15"));
    // A filled one is checked on the way out, and the focus comes back to it.
    f->medHoraIni->SetText(QStringLiteral("2500"));
    FocusControl(f->medHoraIni);
    f->medHoraFin->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(ui.messages, QStringList{QStringLiteral("'2500' não é uma hora válida.")});
    EXPECT_EQ(focusName(), QStringLiteral("medHoraIni"));
    EXPECT_EQ(HoraIni, QStringLiteral("25"));
}

TEST_F(PeriodScreen, ParametersReadTheScreen)
{
    TParams params;
    for (const char *name : {"P_DTVENDAINI", "P_HRINI1", "P_HRFIN1", "P_IDIMPHR", "MINUTOS", "P_IDCONSTXSERV"})
        params.CreateParam(QString::fromLatin1(name));
    f->depDtHrIni->SetText(QStringLiteral("01/12/2026"));
    f->depDtHrFin->SetText(QStringLiteral("02/12/2026"));
    f->medHoraIni->SetText(QStringLiteral("2200"));
    f->medHoraFin->SetText(QStringLiteral("0600"));
    f->medHoras->SetText(QStringLiteral("0030"));
    f->Vd_HoraIni();
    f->Vd_HoraFin();
    f->chbConsideraServico->setChecked(false);
    f->chbConsideraServico->setEnabled(false); // read whether or not the box is enabled
    bool flag = true;
    f->rpddPadraoBeforeGetQueryParams(params, flag);
    EXPECT_EQ(params.ParamByName(QStringLiteral("P_DTVENDAINI")).AsDateTime(), calendarDateTime(QDate(2026, 12, 1)));
    EXPECT_EQ(params.ParamByName(QStringLiteral("P_HRINI1")).AsString(), QStringLiteral("01/12/2026 22:00"));
    EXPECT_EQ(params.ParamByName(QStringLiteral("P_HRFIN1")).AsString(), QStringLiteral("02/12/2026 06:00"));
    EXPECT_EQ(params.ParamByName(QStringLiteral("P_IDIMPHR")).AsString(), QStringLiteral("S"));
    EXPECT_EQ(params.ParamByName(QStringLiteral("MINUTOS")).AsInteger(), 30);
    EXPECT_EQ(params.ParamByName(QStringLiteral("P_IDCONSTXSERV")).AsString(), QStringLiteral("N"));
    EXPECT_TRUE(flag);
}
} // namespace

namespace {
TEST_F(PeriodScreen, LeavingTheIntervalChecksTheInterval)
{
    f->cbbReportNames->setCurrentIndex(2);
    f->medHoraIni->SetText(QStringLiteral("2575")); // the start hour is not what is left
    f->medHoras->SetText(QStringLiteral("0199"));
    FocusControl(f->medHoras);
    f->depDtHrIni->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(ui.messages, QStringList{QStringLiteral("'0199' não é uma hora válida.")});
    EXPECT_EQ(focusName(), QStringLiteral("medHoras"));
    ui.clear();
    f->medHoras->SetText(QStringLiteral("0045"));
    f->depDtHrIni->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_EQ(focusName(), QStringLiteral("depDtHrIni"));
}
} // namespace
