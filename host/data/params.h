#pragma once

#include "host_global.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>
#include <deque>

// Dates and date-times are calendar values: the date and the wall-clock time as written, in no
// time zone. They are held in UTC, which skips and repeats no hour, so a day whose local midnight
// does not exist (summer time beginning at 00:00) still has its 00:00.
HOST_EXPORT QDateTime calendarDateTime(const QDate &date, const QTime &time = QTime(0, 0));
// The calendar value of a date-time: its own date and time, whatever zone it was made in.
HOST_EXPORT QDateTime calendarDateTime(const QDateTime &value);
// "yyyy-MM-ddTHH:mm:ss" (".zzz" added when there are milliseconds), with no zone suffix.
HOST_EXPORT QString calendarText(const QDateTime &value);
// A bind value as the driver should get it so that the engine compares it as written. SQLite
// keeps date-times as text: a date-time goes as its calendar text (Qt would add a "Z").
HOST_EXPORT QVariant driverBindValue(const QVariant &value, bool sqlite);

// A named query parameter, set as text, date-time (a calendar value) or integer, or cleared to null.
class HOST_EXPORT TParam
{
public:
    enum class Kind { Unassigned, Null, Text, DateTime, Integer };

    explicit TParam(QString name = {}) : mName(std::move(name)) {}

    const QString &Name() const { return mName; }
    Kind kind() const { return mKind; }
    bool IsNull() const { return mKind == Kind::Null || mKind == Kind::Unassigned; }

    void SetAsString(const QString &value); // a null QString sets the empty text, never null
    void SetAsDateTime(const QDateTime &value);
    void SetAsInteger(qint64 value);
    void Clear();

    QString AsString() const;
    QDateTime AsDateTime() const;
    qint64 AsInteger() const;

    // The value to bind: a typed null when cleared.
    QVariant bindValue() const;

private:
    QString mName;
    Kind mKind = Kind::Unassigned;
    QVariant mValue;
};

// Ordered list of named parameters; names compare case-insensitively.
class HOST_EXPORT TParams
{
public:
    TParam &CreateParam(const QString &name);
    TParam *FindParam(const QString &name);
    const TParam *FindParam(const QString &name) const;
    // Throws EDatabaseError when no parameter has that name.
    TParam &ParamByName(const QString &name);
    int Count() const { return int(mItems.size()); }
    TParam &operator[](int i) { return mItems[i]; }
    const TParam &operator[](int i) const { return mItems[i]; }
    auto begin() const { return mItems.begin(); }
    auto end() const { return mItems.end(); }
    void clear() { mItems.clear(); }

private:
    std::deque<TParam> mItems; // references handed out stay valid while parameters are added

};
