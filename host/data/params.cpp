#include "params.h"
#include "errors.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

// Qt 6 binds a null QString as SQL NULL; a parameter set to "" must reach the server as ''.
QString nonNull(const QString &s)
{
    return s.isNull() ? QString(u""_s) : s;
}

QVariant typedNull()
{
    return QVariant(QMetaType(QMetaType::QString));
}

} // namespace

QDateTime calendarDateTime(const QDate &date, const QTime &time)
{
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

QDateTime calendarDateTime(const QDateTime &value)
{
    return value.isValid() ? calendarDateTime(value.date(), value.time()) : QDateTime();
}

QString calendarText(const QDateTime &value)
{
    if (!value.isValid())
        return QString();
    return value.toString(value.time().msec() ? u"yyyy-MM-ddTHH:mm:ss.zzz"_s : u"yyyy-MM-ddTHH:mm:ss"_s);
}

QVariant driverBindValue(const QVariant &value, bool sqlite)
{
    if (!sqlite || value.typeId() != QMetaType::QDateTime || value.isNull())
        return value;
    // The form Qt itself gives a local date-time, so stored texts compare as before.
    return value.toDateTime().toString(u"yyyy-MM-ddTHH:mm:ss.zzz"_s);
}

void TParam::SetAsString(const QString &value)
{
    mKind = Kind::Text;
    mValue = nonNull(value);
}

void TParam::SetAsDateTime(const QDateTime &value)
{
    mKind = Kind::DateTime;
    mValue = calendarDateTime(value);
}

void TParam::SetAsInteger(qint64 value)
{
    mKind = Kind::Integer;
    mValue = qlonglong(value);
}

void TParam::Clear()
{
    mKind = Kind::Null;
    mValue = QVariant();
}

QString TParam::AsString() const
{
    switch (mKind) {
    case Kind::Text:
        return mValue.toString();
    case Kind::DateTime:
        return calendarText(mValue.toDateTime());
    case Kind::Integer:
        return QString::number(mValue.toLongLong());
    case Kind::Null:
    case Kind::Unassigned:
        break;
    }
    return QString(u""_s);
}

QDateTime TParam::AsDateTime() const
{
    switch (mKind) {
    case Kind::DateTime:
        return mValue.toDateTime();
    case Kind::Text: {
        const QString text = mValue.toString().trimmed();
        if (text.isEmpty())
            return QDateTime();
        // Read as a calendar value, also at an hour the local zone skips; a text with a zone
        // ("Z", "+03:00") keeps the date and hour written in it.
        const qsizetype split = text.indexOf(QRegularExpression(u"[T ]"_s));
        const QDate date = QDate::fromString(split < 0 ? text : text.left(split), Qt::ISODate);
        const QTime time = split < 0 ? QTime(0, 0) : QTime::fromString(text.mid(split + 1), Qt::ISODateWithMs);
        QDateTime dt = calendarDateTime(date, time);
        if (!dt.isValid())
            dt = calendarDateTime(QDateTime::fromString(text, Qt::ISODateWithMs));
        if (!dt.isValid())
            throw EConvertError(u"'%1' não é uma data válida."_s.arg(text));
        return dt;
    }
    case Kind::Integer:
        throw EConvertError(u"O parâmetro '%1' não contém uma data."_s.arg(mName));
    case Kind::Null:
    case Kind::Unassigned:
        break;
    }
    return QDateTime();
}

qint64 TParam::AsInteger() const
{
    switch (mKind) {
    case Kind::Integer:
        return mValue.toLongLong();
    case Kind::Text: {
        bool ok = false;
        const qint64 v = mValue.toString().trimmed().toLongLong(&ok);
        if (!ok)
            throw EConvertError(u"'%1' não é um valor inteiro válido."_s.arg(mValue.toString()));
        return v;
    }
    case Kind::DateTime:
        throw EConvertError(u"O parâmetro '%1' não contém um inteiro."_s.arg(mName));
    case Kind::Null:
    case Kind::Unassigned:
        break;
    }
    return 0;
}

QVariant TParam::bindValue() const
{
    switch (mKind) {
    case Kind::Text:
        return nonNull(mValue.toString());
    case Kind::DateTime: {
        const QDateTime dt = mValue.toDateTime();
        return dt.isValid() ? QVariant(dt) : QVariant(QMetaType(QMetaType::QDateTime));
    }
    case Kind::Integer:
        return mValue;
    case Kind::Null:
    case Kind::Unassigned:
        break;
    }
    return typedNull();
}

TParam &TParams::CreateParam(const QString &name)
{
    // Names are unique: declaring one that exists hands back the existing parameter and its value.
    if (TParam *existing = FindParam(name))
        return *existing;
    return mItems.emplace_back(name);
}

TParam *TParams::FindParam(const QString &name)
{
    for (TParam &p : mItems)
        if (p.Name().compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

const TParam *TParams::FindParam(const QString &name) const
{
    return const_cast<TParams *>(this)->FindParam(name);
}

TParam &TParams::ParamByName(const QString &name)
{
    if (TParam *p = FindParam(name))
        return *p;
    throw EDatabaseError(u"Parâmetro '%1' não encontrado."_s.arg(name));
}
