#include "reportparams.h"

#include "consiste.h"
#include "errors.h"
#include "reportclass.h"
#include "reportdesigner.h"

#include <QDate>
#include <QTime>

namespace {
const QString kAll = QStringLiteral("T");

qint64 decimal(const QString &text)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' não é um número inteiro válido.").arg(text));
    return value;
}

void setText(TParams &params, const QString &name, const QString &value)
{
    if (ExistParam(params, name))
        params.ParamByName(name).SetAsString(value);
}

// Both names of a take-all pair, or neither.
void setPair(TParams &params, const QString &takeAll, const QString &code, bool all, const QString &list)
{
    if (!ExistParam(params, takeAll) || !ExistParam(params, code))
        return;
    params.ParamByName(takeAll).SetAsString(all ? kAll : QString());
    params.ParamByName(code).SetAsString(all ? QString() : list);
}

qint64 intervalMinutes(const QString &text, qint64 whenEmpty)
{
    const QString minutes = text.mid(2, 2);
    if (EmptyString(minutes))
        return whenEmpty;
    return decimal(minutes) + 60 * decimal(text.left(2));
}
} // namespace

QDateTime dateValueToDateTime(double value)
{
    const qint64 days = qint64(value);
    const qint64 msecs = qint64((value - double(days)) * 86400000.0 + 0.5);
    // The date is the date: made in no time zone, so no day loses its midnight to summer time.
    return calendarDateTime(QDate(1899, 12, 30).addDays(days)).addMSecs(msecs);
}

void BindReportParams(TParams &params, const FilterSnapshot &f)
{
    const bool hourModality = ReportClass::isHoraModalidade(f.reportName);

    // Branch: the hour/modality report passes the selection string in both parameters.
    if (hourModality) {
        setText(params, QStringLiteral("P_CDFILIAL"), f.stFilial);
        setText(params, QStringLiteral("P_TCDFILIAL"), f.stFilial);
    } else {
        setText(params, QStringLiteral("P_CDFILIAL"), f.filialText);
    }

    setPair(params, QStringLiteral("P_TCDLOJA"), QStringLiteral("P_CDLOJA"), f.todasLoja, f.stLoja);
    setPair(params, QStringLiteral("P_TCDCAIXA"), QStringLiteral("P_CDCAIXA"), f.todosCaixa, f.stCaixa);

    if (ExistParam(params, QStringLiteral("P_DTVENDAINI")))
        params.ParamByName(QStringLiteral("P_DTVENDAINI")).SetAsDateTime(dateValueToDateTime(f.dataIni));
    if (ExistParam(params, QStringLiteral("P_DTVENDAFIN")))
        params.ParamByName(QStringLiteral("P_DTVENDAFIN")).SetAsDateTime(dateValueToDateTime(f.dataFin));

    const bool noHoraIni = EmptyString(f.horaIniText);
    const bool noHoraFin = EmptyString(f.horaFinText);
    setText(params, QStringLiteral("P_HRINI"), noHoraIni ? QStringLiteral("0000") : f.horaIniText);
    setText(params, QStringLiteral("P_HRFIN"), noHoraFin ? QStringLiteral("2359") : f.horaFinText);
    setText(params, QStringLiteral("P_IDIMPHR"), !noHoraIni && !noHoraFin ? QStringLiteral("S") : QStringLiteral("N"));
    setText(params, QStringLiteral("P_HRINI1"),
            f.dataIniShown + u' ' + (noHoraIni ? QStringLiteral("00:00") : f.horaIni + u':' + f.minIni));
    setText(params, QStringLiteral("P_HRFIN1"),
            f.dataFinShown + u' ' + (noHoraFin ? QStringLiteral("23:59") : f.horaFin + u':' + f.minFin));

    // Read whether or not the interval group is open: a report that wants one-hour lines does not
    // declare these.
    if (ExistParam(params, QStringLiteral("MINUTOS1")))
        params.ParamByName(QStringLiteral("MINUTOS1")).SetAsInteger(intervalMinutes(f.intervaloText, 0));
    if (ExistParam(params, QStringLiteral("MINUTOS")))
        params.ParamByName(QStringLiteral("MINUTOS")).SetAsInteger(intervalMinutes(f.intervaloText, 1));

    setText(params, QStringLiteral("P_PRODINI"), f.prodIni);
    setText(params, QStringLiteral("P_PRODFIN"), f.prodFin + Replicate(QStringLiteral("Z"), 10 - int(f.prodFin.size())));
    setText(params, QStringLiteral("P_IDCONSTXSERV"), iif(f.consideraServico, QStringLiteral("S"), QStringLiteral("N")));
}
