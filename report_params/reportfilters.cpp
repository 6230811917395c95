#include "reportfilters.h"

#include "errors.h"
#include "reportformat.h"
#include "widgets.h"

#include <QRegularExpression>
#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace ReportFilters {

namespace {

// A selection string of the list picker, readable: "0001,0003" -> "0001 - Centro, 0003 - Sul".
QString selectionText(const QString &selection, const QString &none, const QHash<QString, QString> &names)
{
    const QString trimmed = selection.trimmed();
    if (trimmed.isEmpty())
        return none;
    QStringList items = trimmed.split(QRegularExpression(u"[,;\\s]+"_s), Qt::SkipEmptyParts);
    for (QString &item : items) {
        const QString name = names.value(item).trimmed();
        if (!name.isEmpty())
            item += u" - "_s + name;
    }
    if (items.size() > 12) {
        const qsizetype count = items.size();
        items = items.mid(0, 12);
        return items.join(u", "_s) + u" e mais %1 (%2 no total)"_s.arg(count - 12).arg(count);
    }
    return items.join(u", "_s);
}

// "1 h", "30 minutos", "1 h 30 min": the interval as the page header shows it.
QString intervalText(qint64 minutes)
{
    return minutes < 60 ? u"%1 minutos"_s.arg(minutes)
                        : (minutes % 60 == 0 ? u"%1 h"_s.arg(minutes / 60)
                                             : u"%1 h %2 min"_s.arg(minutes / 60).arg(minutes % 60));
}

QDate paramDate(const TParams &params, const QString &name)
{
    const TParam *p = params.FindParam(name);
    if (!p || p->kind() == TParam::Kind::Unassigned || p->IsNull())
        return {};
    try {
        return p->AsDateTime().date();
    } catch (const EHostError &) {
        return ReportFormat::toDate(p->AsString());
    }
}

} // namespace

PreviousPeriod previousPeriod(const QDate &first, const QDate &last)
{
    // The same rule as the comparison's SQL: whole calendar months go back by as many months,
    // anything else by its own length (whole Monday-to-Sunday weeks thus by as many weeks).
    PreviousPeriod before;
    before.last = first.addDays(-1);
    if (first.day() == 1 && last.addDays(1).day() == 1) {
        const int months = (last.year() * 12 + last.month()) - (first.year() * 12 + first.month()) + 1;
        before.first = first.addMonths(-months);
        before.rule = months == 1 ? u"mês anterior"_s : u"os %1 meses anteriores"_s.arg(months);
        return before;
    }
    const qint64 length = first.daysTo(last) + 1;
    before.first = first.addDays(-length);
    if (first.dayOfWeek() == Qt::Monday && last.dayOfWeek() == Qt::Sunday)
        before.rule = length == 7 ? u"semana anterior"_s : u"as %1 semanas anteriores"_s.arg(length / 7);
    else
        before.rule = length == 1 ? u"dia anterior"_s : u"os %1 dias anteriores"_s.arg(length);
    return before;
}

QList<QPair<QString, QString>> derivedPeriods(const ReportLayout &layout, const TParams &params)
{
    QList<QPair<QString, QString>> shown;
    const QDate first = paramDate(params, u"P_DTVENDAINI"_s);
    const QDate last = paramDate(params, u"P_DTVENDAFIN"_s);
    if (!first.isValid() || !last.isValid())
        return shown;
    auto span = [](const QDate &from, const QDate &to) {
        return from.toString(u"dd/MM/yyyy"_s) + u" a "_s + to.toString(u"dd/MM/yyyy"_s);
    };
    for (const ReportLayout::Period &period : layout.periods) {
        if (period.previous) {
            const PreviousPeriod before = previousPeriod(first, last);
            shown.append({period.label, before.rule + u", "_s + span(before.first, before.last)});
        } else {
            // the same days moved by whole weeks, so that each date falls on the same weekday
            shown.append({period.label, span(first.addDays(period.days), last.addDays(period.days))});
        }
    }
    return shown;
}

QList<QPair<QString, QString>> fromParams(const TParams &params, const QString &productMask, const Names &names)
{
    QList<QPair<QString, QString>> filters;
    auto text = [&params](const char *name) -> std::optional<QString> {
        const TParam *p = params.FindParam(QLatin1String(name));
        if (!p || p->kind() == TParam::Kind::Unassigned)
            return std::nullopt;
        return p->IsNull() ? QString() : p->AsString().trimmed();
    };
    auto dateText = [&params](const char *name) -> QString {
        const TParam *p = params.FindParam(QLatin1String(name));
        if (!p || p->IsNull())
            return {};
        try {
            return p->AsDateTime().date().toString(u"dd/MM/yyyy"_s);
        } catch (const EHostError &) {
            return p->AsString();
        }
    };
    auto hhmm = [](const QString &s) { return s.size() == 4 ? s.left(2) + u':' + s.mid(2) : s; };

    if (const auto branch = text("P_CDFILIAL")) {
        const QString all = text("P_TCDFILIAL").value_or(QString());
        if (branch->compare(u"T"_s) == 0 || branch->compare(u"TODAS"_s, Qt::CaseInsensitive) == 0 || all == u"T")
            filters.append({u"Filial"_s, u"Todas"_s});
        else
            filters.append({u"Filial"_s, selectionText(*branch, u"Nenhuma selecionada"_s, names.filiais)});
    }
    const std::pair<const char *, const char *> lists[] = {{"P_TCDLOJA", "P_CDLOJA"}, {"P_TCDCAIXA", "P_CDCAIXA"}};
    const QString listLabels[] = {u"Lojas"_s, u"Caixas"_s};
    const QHash<QString, QString> *listNames[] = {&names.lojas, &names.caixas};
    for (int i = 0; i < 2; ++i) {
        const auto all = text(lists[i].first);
        const auto list = text(lists[i].second);
        if (!all && !list)
            continue;
        filters.append({listLabels[i], all.value_or(QString()) == u"T" ? (i == 0 ? u"Todas"_s : u"Todos"_s)
                                                                      : selectionText(list.value_or(QString()),
                                                                                      u"Nenhum selecionado"_s,
                                                                                      *listNames[i])});
    }
    const auto from = text("P_HRINI1");
    const auto to = text("P_HRFIN1");
    if (from && to) {
        filters.append({u"Período"_s, *from + u" a "_s + *to});
    } else {
        const QString first = dateText("P_DTVENDAINI");
        const QString last = dateText("P_DTVENDAFIN");
        if (!first.isEmpty() || !last.isEmpty())
            filters.append({u"Período"_s, first + u" a "_s + last});
    }
    if (const auto byHour = text("P_IDIMPHR")) {
        if (*byHour == u"S")
            filters.append({u"Horário"_s, hhmm(text("P_HRINI").value_or(QString())) + u" às "_s +
                                              hhmm(text("P_HRFIN").value_or(QString()))});
        else
            filters.append({u"Horário"_s, u"Dia inteiro"_s});
    }
    const TParam *interval = params.FindParam(u"MINUTOS"_s);
    if (!interval || interval->kind() != TParam::Kind::Integer)
        interval = params.FindParam(u"MINUTOS1"_s);
    if (interval && interval->kind() == TParam::Kind::Integer) {
        // Same rule as the hour reports' SQL: no interval (or one minute) groups by hour.
        filters.append({u"Intervalo"_s, intervalText(interval->AsInteger() > 1 ? interval->AsInteger() : 60)});
    }
    const auto firstProduct = text("P_PRODINI");
    auto lastProduct = text("P_PRODFIN");
    if (firstProduct || lastProduct) {
        QString last = lastProduct.value_or(QString());
        while (last.endsWith(u'Z'))
            last.chop(1); // the screen pads the end of the range with Z
        last = TMaskEdit::maskedText(productMask, last);
        const QString first = TMaskEdit::maskedText(productMask, firstProduct.value_or(QString()));
        QString shown;
        if (first.isEmpty() && last.isEmpty())
            shown = u"Todos"_s;
        else if (first.isEmpty())
            shown = u"até "_s + last;
        else if (last.isEmpty())
            shown = u"a partir de "_s + first;
        else
            shown = first + u" a "_s + last;
        filters.append({u"Produtos"_s, shown});
    }
    if (const auto fees = text("P_IDCONSTXSERV"))
        filters.append({u"Taxas de serviço e entrega"_s, *fees == u"S" ? u"Incluídas"_s : u"Não incluídas"_s});
    return filters;
}

QList<QPair<QString, QString>> of(const ReportLayout &layout, const TParams &params, const QString &productMask,
                                  const Names &names)
{
    QList<QPair<QString, QString>> filters = fromParams(params, productMask, names);
    {
        // The derived periods go right after the chosen one.
        qsizetype at = 0;
        while (at < filters.size() && filters.at(at).first != u"Período")
            ++at;
        at = at < filters.size() ? at + 1 : filters.size();
        const auto periods = derivedPeriods(layout, params);
        for (qsizetype i = 0; i < periods.size(); ++i)
            filters.insert(at + i, periods.at(i));
    }
    if (layout.fixedInterval > 0) {
        // The screen's interval does not reach this report: the header says which one it uses.
        const QPair<QString, QString> fixed{u"Intervalo"_s, intervalText(layout.fixedInterval) +
                                                                u" (fixo neste relatório)"_s};
        auto it = std::find_if(filters.begin(), filters.end(), [](const auto &f) { return f.first == u"Intervalo"; });
        if (it != filters.end()) {
            *it = fixed;
        } else {
            auto after = std::find_if(filters.begin(), filters.end(), [](const auto &f) { return f.first == u"Horário"; });
            filters.insert(after == filters.end() ? filters.end() : after + 1, fixed);
        }
    }
    return filters;
}

} // namespace ReportFilters
