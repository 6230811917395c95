#include "dataset.h"
#include "errors.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// Up to 15 significant digits in fixed notation, trailing zeros dropped: what the host's string
// fields show for a floating value ("12.5", never "1.25e+01" or "12.50000").
QString plainNumber(double d)
{
    if (!std::isfinite(d))
        return QString::number(d);
    const double magnitude = std::fabs(d);
    const int intDigits = magnitude >= 1.0 ? int(std::floor(std::log10(magnitude))) + 1 : 1;
    QString s = QString::number(d, 'f', qMax(0, 15 - intDigits));
    if (s.contains(u'.')) {
        while (s.endsWith(u'0'))
            s.chop(1);
        if (s.endsWith(u'.'))
            s.chop(1);
    }
    if (s == u"-0"_s)
        s = u"0"_s;
    return s;
}

QString valueText(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::QString:
        return v.toString();
    case QMetaType::Double:
    case QMetaType::Float:
        return plainNumber(v.toDouble());
    case QMetaType::QDate:
        return v.toDate().toString(Qt::ISODate);
    case QMetaType::QTime: {
        const QTime t = v.toTime();
        return t.toString(t.msec() ? Qt::ISODateWithMs : Qt::ISODate);
    }
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.toString(dt.time().msec() ? Qt::ISODateWithMs : Qt::ISODate);
    }
    case QMetaType::QByteArray:
        return QString::fromUtf8(v.toByteArray());
    case QMetaType::Bool:
        return v.toBool() ? u"1"_s : u"0"_s;
    default:
        return v.toString();
    }
}

} // namespace

QString TField::AsString() const
{
    return valueText(value());
}

QVariant TField::value() const
{
    return mSet->value(mSet->RecNo(), mColumn);
}

bool TField::IsNull() const
{
    const QVariant v = value();
    return !v.isValid() || v.isNull();
}

QString TField::FieldName() const
{
    return mSet->columns().value(mColumn);
}

TDataSet::TDataSet(QObject *parent) : QObject(parent) {}

TFieldDef *TDataSet::findFieldDef(const QString &name)
{
    for (TFieldDef &def : mFieldDefs)
        if (def.name.compare(name, Qt::CaseInsensitive) == 0)
            return &def;
    return nullptr;
}

const TFieldDef *TDataSet::findFieldDef(const QString &name) const
{
    return const_cast<TDataSet *>(this)->findFieldDef(name);
}

void TDataSet::setContent(QStringList columns, QList<QVariantList> rows)
{
    mColumns = std::move(columns);
    mRows = std::move(rows);
    mCurrent = mRows.isEmpty() ? -1 : 0;
    mEof = mRows.isEmpty();
    Q_EMIT contentChanged();
}

void TDataSet::clear()
{
    // Field definitions are declared by code and outlive the content.
    setContent({}, {});
}

int TDataSet::columnIndex(const QString &name) const
{
    for (int i = 0; i < mColumns.size(); ++i)
        if (mColumns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant TDataSet::value(int row, int column) const
{
    if (row < 0 || row >= mRows.size())
        return QVariant();
    return mRows.at(row).value(column);
}

QString TDataSet::text(int row, const QString &field) const
{
    return text(row, columnIndex(field));
}

QString TDataSet::text(int row, int column) const
{
    return column < 0 ? QString() : valueText(value(row, column));
}

void TDataSet::setRecNo(int row)
{
    if (mRows.isEmpty())
        return;
    mCurrent = qBound(0, row, int(mRows.size()) - 1);
    mEof = false;
}

void TDataSet::First()
{
    mCurrent = mRows.isEmpty() ? -1 : 0;
    mEof = mRows.isEmpty();
}

void TDataSet::Next()
{
    if (mEof)
        return;
    // Past the last row the cursor stays on it and only Eof turns true, as the host's datasets do.
    if (mCurrent + 1 < mRows.size())
        ++mCurrent;
    else
        mEof = true;
}

bool TDataSet::Eof() const
{
    return mEof;
}

TField TDataSet::FieldByName(const QString &name) const
{
    const int column = columnIndex(name);
    if (column < 0)
        throw EDatabaseError(u"Campo '%1' não encontrado."_s.arg(name));
    return TField(this, column);
}
