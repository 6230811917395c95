#pragma once

#include "host_global.h"

#include <QDate>
#include <QList>
#include <QString>
#include <optional>
#include <utility>

// Named periods on the local calendar, shared by the screens' period menu and the export
// command's --period: one table, one arithmetic.
namespace PeriodPresets {

struct Preset
{
    QString word;  // the export command's name ("last-week")
    QString label; // the menu's caption ("Semana passada")
};

// In the menu's order: hoje, ontem, esta semana, semana passada, este mês, mês passado, últimos
// 7 dias, últimos 30 dias. Weeks run from Monday to Sunday; "this" periods end today.
HOST_EXPORT const QList<Preset> &all();

// The first and last day of the period named `word` on the calendar of `today`; nothing for a
// word the table lacks.
HOST_EXPORT std::optional<std::pair<QDate, QDate>> dates(const QString &word, const QDate &today);

// The words joined for a message ("today, yesterday, … ou last-30-days").
HOST_EXPORT QString wordList();

} // namespace PeriodPresets
