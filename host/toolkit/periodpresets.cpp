#include "periodpresets.h"

using namespace Qt::StringLiterals;

namespace PeriodPresets {

const QList<Preset> &all()
{
    static const QList<Preset> presets{
        {u"today"_s, u"Hoje"_s},
        {u"yesterday"_s, u"Ontem"_s},
        {u"this-week"_s, u"Esta semana"_s},
        {u"last-week"_s, u"Semana passada"_s},
        {u"month-to-date"_s, u"Este mês"_s},
        {u"last-month"_s, u"Mês passado"_s},
        {u"last-7-days"_s, u"Últimos 7 dias"_s},
        {u"last-30-days"_s, u"Últimos 30 dias"_s},
    };
    return presets;
}

std::optional<std::pair<QDate, QDate>> dates(const QString &word, const QDate &today)
{
    const QDate firstOfMonth(today.year(), today.month(), 1);
    const QDate monday = today.addDays(1 - today.dayOfWeek());
    if (word == u"today")
        return std::pair{today, today};
    if (word == u"yesterday")
        return std::pair{today.addDays(-1), today.addDays(-1)};
    if (word == u"this-week")
        return std::pair{monday, today};
    if (word == u"last-week")
        return std::pair{monday.addDays(-7), monday.addDays(-1)};
    if (word == u"month-to-date")
        return std::pair{firstOfMonth, today};
    if (word == u"last-month")
        return std::pair{firstOfMonth.addMonths(-1), firstOfMonth.addDays(-1)};
    // Today included: the last seven days are today and the six before.
    if (word == u"last-7-days")
        return std::pair{today.addDays(-6), today};
    if (word == u"last-30-days")
        return std::pair{today.addDays(-29), today};
    return std::nullopt;
}

QString wordList()
{
    QStringList words;
    for (const Preset &preset : all())
        words << preset.word;
    const QString last = words.takeLast();
    return words.join(u", "_s) + u" ou "_s + last;
}

} // namespace PeriodPresets
