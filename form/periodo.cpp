// Period, hour and interval: the validators of the "Período de Venda" and "Intervalo" groups.
#include "cli_vnd02500.h"
#include "consiste.h"
#include "eventboundary.h"
#include "messages.h"
#include "periodpresets.h"

#include <QMenu>

using namespace Qt::StringLiterals;

namespace {
const QString kQuote = QStringLiteral("'");

// Cuts characters [from, from + 2) of an hour text into a two-character part.
QString hourPart(const QString &text, int from)
{
    QString part = text.mid(from, 2);
    if (part.size() < 2)
        part = EmptyString(part) ? QStringLiteral("00") : Ajusta(part, 2);
    return part;
}

// A date of the period: empty fails only when `required`; a date that does not exist fails with
// the text as the edit shows it. A failure sends the user back to the edit.
void validateDate(const TfrmEstaticVendHora &f, TDateEditPlus *edit, bool required, const QString &missingKey,
                  const QString &invalidKey)
{
    try {
        if (EmptyString(edit->Text())) {
            if (required)
                MensErro(f.msgPadrao->Msg(missingKey), true);
            return;
        }
        if (!edit->IsDateValid())
            MensErro(kQuote + edit->EditText() + kQuote + u' ' + f.msgPadrao->Msg(invalidKey), true);
    } catch (...) {
        FocusControl(edit);
        throw;
    }
}

// An hour field: empty passes, else four digits forming a time of day. A failure sends the user
// back to the field.
void checkHour(const TfrmEstaticVendHora &f, TMaskEdit *edit, const QString &text)
{
    try {
        if (!EmptyString(text) && !HorarioOk(text))
            MensErro(kQuote + text + kQuote + f.msgPadrao->Msg(QStringLiteral("Hora_Inv")), true);
    } catch (...) {
        FocusControl(edit);
        throw;
    }
}

// The start or end hour. The parts are cut before the check, so an invalid hour still leaves them
// written.
void validateHour(const TfrmEstaticVendHora &f, TMaskEdit *edit, QString &hour, QString &minute)
{
    const QString text = edit->Text();
    hour = hourPart(text, 0);
    minute = hourPart(text, 2);
    checkHour(f, edit, text);
}
} // namespace

void TfrmEstaticVendHora::Vd_DataIni(bool flag)
{
    validateDate(*this, depDtHrIni, flag, QStringLiteral("DataIni_Dv_Inf"), QStringLiteral("DataIni_Inv"));
}

void TfrmEstaticVendHora::Vd_DataFim(bool flag)
{
    validateDate(*this, depDtHrFin, flag, QStringLiteral("DataFim_Dv_Inf"), QStringLiteral("DataFim_Inv"));
}

void TfrmEstaticVendHora::Vd_Data()
{
    try {
        if (!EmptyString(depDtHrIni->Text()) && !EmptyString(depDtHrFin->Text())) {
            const double start = depDtHrIni->GetDate();
            const double end = depDtHrFin->GetDate();
            if (end < start)
                MensErro(msgPadrao->Msg(QStringLiteral("DTINI>DTFIM")), true);
        }
    } catch (...) {
        FocusControl(depDtHrIni);
        throw;
    }
}

void TfrmEstaticVendHora::Vd_HoraIni()
{
    validateHour(*this, medHoraIni, HoraIni, MinIni);
}

void TfrmEstaticVendHora::Vd_HoraFin()
{
    validateHour(*this, medHoraFin, HoraFin, MinFin);
}

void TfrmEstaticVendHora::Vd_Hora()
{
    const bool noStart = EmptyString(medHoraIni->Text());
    const bool noEnd = EmptyString(medHoraFin->Text());
    if (noStart && !noEnd) {
        FocusControl(medHoraIni);
        MensErro(msgPadrao->Msg(QStringLiteral("HrIni_deve")), true);
    }
    if (!noStart && noEnd) {
        FocusControl(medHoraFin);
        MensErro(msgPadrao->Msg(QStringLiteral("HrFin_deve")), true);
    }
    if (!noStart && !noEnd) {
        // Whole date and time: an earlier end hour passes when the end date is later.
        const QDateTime start = StrToDateTime(depDtHrIni->EditText() + u' ' + medHoraIni->EditText());
        const QDateTime end = StrToDateTime(depDtHrFin->EditText() + u' ' + medHoraFin->EditText());
        if (start > end) {
            FocusControl(medHoraIni);
            MensErro(msgPadrao->Msg(QStringLiteral("HrIni_Maior")), true);
        }
    }
}

void TfrmEstaticVendHora::Vd_Intervalo()
{
    checkHour(*this, medHoras, medHoras->Text());
}

void TfrmEstaticVendHora::buildPeriodMenu()
{
    auto *menu = new QMenu(btnPeriodo); // owned by the button
    menu->setObjectName(u"mnuPeriodo"_s);
    for (const PeriodPresets::Preset &preset : PeriodPresets::all()) {
        QAction *action = menu->addAction(preset.label);
        action->setObjectName(u"actPeriodo_"_s + preset.word);
        connectHandler(action, &QAction::triggered, this, [this, word = preset.word] { btnPeriodoPick(word); });
    }
    btnPeriodo->setMenu(menu);
    btnPeriodo->setShortcut(QKeySequence(Qt::ALT | Qt::Key_P));
}

void TfrmEstaticVendHora::btnPeriodoPick(const QString &word)
{
    const auto dates = PeriodPresets::dates(word, QDate::currentDate());
    if (!dates)
        return;
    // As the user would: type the start, leave it, type the end, leave it.
    depDtHrIni->SetText(dates->first.toString(u"dd/MM/yyyy"_s));
    depDtHrIniExit(depDtHrIni);
    depDtHrFin->SetText(dates->second.toString(u"dd/MM/yyyy"_s));
    depDtHrFinExit(depDtHrFin);
}
