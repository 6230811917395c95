#include "vendhoracompleteness.h"

#include "adoibquery.h"
#include "reportformat.h"

#include <algorithm>
#include <map>
#include <set>

using namespace Qt::StringLiterals;

namespace {

// Whether `hour` (0 to 23) meets the window's hours (the hour of the start and of the end count).
bool inWindow(const VendHoraCompleteness::Filter &f, int hour)
{
    if (f.hourFrom.size() < 2 || f.hourTo.size() < 2)
        return true;
    const int from = f.hourFrom.left(2).toInt(), to = f.hourTo.left(2).toInt();
    return from <= to ? hour >= from && hour <= to : hour >= from || hour <= to;
}

bool picked(const QString &selection, const QString &code)
{
    return selection.isEmpty() || selection == u"T" || (!code.isEmpty() && selection.contains(code));
}

} // namespace

QStringList VendHoraCompleteness::idle(const Filter &filter, const QList<Sale> &sales)
{
    struct Store
    {
        QString name;
        std::map<int, std::set<int>> hoursByWeek; // weeks back (1 to 4) -> hours sold in
        std::set<int> lastDayHours;
    };
    std::map<std::pair<QString, QString>, Store> stores;
    for (const Sale &sale : sales) {
        if (!picked(filter.branches, sale.branch) || !picked(filter.stores, sale.store))
            continue;
        if (!inWindow(filter, sale.hour))
            continue;
        Store &store = stores[{sale.branch, sale.store}];
        if (!sale.name.isEmpty())
            store.name = sale.name;
        const qint64 back = sale.day.daysTo(filter.lastDay);
        if (back == 0)
            store.lastDayHours.insert(sale.hour);
        else if (back % 7 == 0 && back / 7 >= 1 && back / 7 <= 4)
            store.hoursByWeek[int(back / 7)].insert(sale.hour);
    }
    QStringList lines;
    for (const auto &[key, store] : stores) {
        if (store.hoursByWeek.size() < 4)
            continue; // not a store that sold on each of the four weekdays
        std::set<int> usual = store.hoursByWeek.begin()->second;
        for (const auto &[week, hours] : store.hoursByWeek) {
            std::set<int> both;
            std::set_intersection(usual.begin(), usual.end(), hours.begin(), hours.end(), std::inserter(both, both.end()));
            usual = std::move(both);
        }
        if (usual.empty())
            continue;
        // its last two usual hours, by the clock of the window (a night shift ends after midnight)
        std::vector<int> order(usual.begin(), usual.end());
        if (filter.hourFrom.size() >= 2 && filter.hourTo.size() >= 2 &&
            filter.hourFrom.left(2).toInt() > filter.hourTo.left(2).toInt()) {
            const int from = filter.hourFrom.left(2).toInt();
            std::stable_sort(order.begin(), order.end(), [from](int a, int b) { return (a < from) < (b < from); });
        }
        const std::vector<int> last(order.end() - std::min<qsizetype>(2, qsizetype(order.size())), order.end());
        const std::set<int> &lastDay = store.lastDayHours; // a structured binding is not captured by clang 14
        const bool soldThen = std::any_of(last.begin(), last.end(), [&lastDay](int h) { return lastDay.count(h) > 0; });
        if (soldThen)
            continue;
        QStringList hours;
        for (const int h : last)
            hours << u"%1:00"_s.arg(h, 2, 10, QChar(u'0'));
        QString who = key.second;
        if (!store.name.isEmpty())
            who += u" - "_s + store.name;
        if (filter.branches.isEmpty() || filter.branches == u"T" || filter.branches.contains(u','))
            who = u"filial "_s + key.first + u", "_s + who;
        lines << u"Loja sem movimento: %1 (nenhuma venda em %2 nas horas %3, em que vendeu no mesmo dia da "
                 u"semana nas quatro semanas anteriores)"_s.arg(who, filter.lastDay.toString(u"dd/MM/yyyy"_s),
                                                                   hours.join(u" e "_s));
    }
    return lines;
}

QList<VendHoraCompleteness::Sale> VendHoraCompleteness::read(const Filter &filter, const QString &connection)
{
    // Plain columns on every server: the hour is cut here, the stores are matched here.
    TADOIBQuery query;
    if (!connection.isEmpty())
        query.setConnection(connection);
    query.setSQL({u"SELECT V.CDFILIAL, V.CDLOJA, L.NMLOJA, V.DTVENDA, V.HRVENDA"_s,
                  u"FROM VENDA V"_s,
                  u"LEFT JOIN LOJA L ON L.CDFILIAL = V.CDFILIAL AND L.CDLOJA = V.CDLOJA"_s,
                  u"WHERE V.IDCANCELADA = 'N'"_s,
                  u"AND V.DTVENDA BETWEEN :P_DTVENDAINI AND :P_DTVENDAFIN"_s});
    // From the day before the fourth weekday back: a date-time bound of midnight meets a DATE column
    // and SQLite's ISO text alike (the text of the first day sorts before it); the rule takes its days.
    query.ParamByName(u"P_DTVENDAINI"_s).SetAsDateTime(QDateTime(filter.lastDay.addDays(-29), QTime(0, 0)));
    query.ParamByName(u"P_DTVENDAFIN"_s).SetAsDateTime(QDateTime(filter.lastDay, QTime(0, 0)));
    query.Open();
    QList<Sale> sales;
    TDataSet *rows = query.Query();
    for (rows->First(); !rows->Eof(); rows->Next()) {
        Sale sale;
        sale.branch = rows->FieldByName(u"CDFILIAL"_s).AsString().trimmed();
        sale.store = rows->FieldByName(u"CDLOJA"_s).AsString().trimmed();
        sale.name = rows->FieldByName(u"NMLOJA"_s).AsString().trimmed();
        sale.day = ReportFormat::toDate(rows->FieldByName(u"DTVENDA"_s).value());
        sale.hour = rows->FieldByName(u"HRVENDA"_s).AsString().left(2).toInt();
        sales << sale;
    }
    return sales;
}
