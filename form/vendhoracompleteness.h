#pragma once

#include "vnd02500_global.h"

#include <QDate>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// Before a report of the sales screen is mailed: a store of the filters that sold in the same
// hours on each of the four same weekdays before the period's last day, and sold nothing on that
// day in the last two of those hours (its usual last hours), is named "Loja sem movimento": its
// sales of the day have not all arrived, or it did not open. A store with no hour it sold in on all
// four weekdays is not judged. Only the hours of the hour window count when one is given.
class VND_EXPORT VendHoraCompleteness
{
public:
    struct Filter
    {
        // The selection texts as the screen holds them: "T" (or empty) for every one, else the
        // picked list, in which each code occurs (the reports test membership with INSTR).
        QString branches;
        QString stores;
        QDate lastDay;         // the period's last day
        QString hourFrom, hourTo; // HHMM; both empty: the whole day (from > to: a night shift)
    };
    struct Sale
    {
        QString branch, store, name;
        QDate day;
        int hour = 0;
    };

    // The rule on the sales of the five days (the last day and the four weekdays before it).
    static QStringList idle(const Filter &filter, const QList<Sale> &sales);
    // The five days' sales read through `connection` (the shared one when empty); throws
    // EDatabaseError when they cannot be read.
    static QList<Sale> read(const Filter &filter, const QString &connection = {});
};
