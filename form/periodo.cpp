// Period, hour and interval: the validators of the "Período de Venda" and "Intervalo" groups.
#include "cli_vnd02500.h"
#include "consiste.h"
#include "messages.h"

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
} // namespace

void TfrmEstaticVendHora::Vd_DataIni(bool flag)
{
    try {
        const QString text = depDtHrIni->Text();
        if (EmptyString(text)) {
            if (flag)
                MensErro(msgPadrao->Msg(QStringLiteral("DataIni_Dv_Inf")), true);
            return;
        }
        if (!depDtHrIni->IsDateValid())
            MensErro(kQuote + depDtHrIni->EditText() + kQuote + u' ' + msgPadrao->Msg(QStringLiteral("DataIni_Inv")),
                     true);
    } catch (...) {
        FocusControl(depDtHrIni);
        throw;
    }
}

void TfrmEstaticVendHora::Vd_DataFim(bool flag)
{
    try {
        const QString text = depDtHrFin->Text();
        if (EmptyString(text)) {
            if (flag)
                MensErro(msgPadrao->Msg(QStringLiteral("DataFim_Dv_Inf")), true);
            return;
        }
        if (!depDtHrFin->IsDateValid())
            MensErro(kQuote + depDtHrFin->EditText() + kQuote + u' ' + msgPadrao->Msg(QStringLiteral("DataFim_Inv")),
                     true);
    } catch (...) {
        FocusControl(depDtHrFin);
        throw;
    }
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
    // The parts are cut before the check, so an invalid hour still leaves them written.
    const QString text = medHoraIni->Text();
    HoraIni = hourPart(text, 0);
    MinIni = hourPart(text, 2);
    try {
        if (!EmptyString(text) && !HorarioOk(text))
            MensErro(kQuote + text + kQuote + msgPadrao->Msg(QStringLiteral("Hora_Inv")), true);
    } catch (...) {
        FocusControl(medHoraIni);
        throw;
    }
}

void TfrmEstaticVendHora::Vd_HoraFin()
{
    const QString text = medHoraFin->Text();
    HoraFin = hourPart(text, 0);
    MinFin = hourPart(text, 2);
    try {
        if (!EmptyString(text) && !HorarioOk(text))
            MensErro(kQuote + text + kQuote + msgPadrao->Msg(QStringLiteral("Hora_Inv")), true);
    } catch (...) {
        FocusControl(medHoraFin);
        throw;
    }
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
    try {
        const QString text = medHoras->Text();
        if (!EmptyString(text) && !HorarioOk(text))
            MensErro(kQuote + text + kQuote + msgPadrao->Msg(QStringLiteral("Hora_Inv")), true);
    } catch (...) {
        FocusControl(medHoras);
        throw;
    }
}
