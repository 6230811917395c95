#include "dataset.h"
#include "errors.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <cmath>
#include <limits>
#include <utility>

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

void TDataContent::clear()
{
    // Capacities stay.
    mCells.clear();
    mText.clear();
    mValues.clear();
}

void TDataContent::append(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString && !value.isNull()) {
        const QString &text = *static_cast<const QString *>(value.constData());
        // A null string stays a value: it reads back null, not empty.
        if (!text.isNull()) {
            appendText(text);
            return;
        }
    }
    mCells.push_back({qint32(mValues.size()), -1});
    mValues.push_back(value);
}

void TDataContent::appendText(QStringView text)
{
    // Past 2^31 characters the offsets no longer fit: the text is kept as a value of its own.
    if (qsizetype(mText.size()) + text.size() > std::numeric_limits<qint32>::max()) {
        mCells.push_back({qint32(mValues.size()), -1});
        mValues.emplace_back(text.toString());
        return;
    }
    mCells.push_back({qint32(mText.size()), qint32(text.size())});
    mText.insert(mText.end(), text.utf16(), text.utf16() + text.size());
}

QStringView TDataContent::textView(qsizetype index) const
{
    if (!isText(index))
        return {};
    const Cell cell = mCells[size_t(index)];
    return QStringView(mText.data() + cell.at, cell.length);
}

QVariant TDataContent::value(qsizetype index) const
{
    if (index < 0 || index >= size())
        return QVariant();
    const Cell cell = mCells[size_t(index)];
    if (cell.length < 0)
        return mValues[size_t(cell.at)];
    return QVariant(QStringView(mText.data() + cell.at, cell.length).toString());
}

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
    const qsizetype width = columns.size();
    TDataContent content;
    content.reserve(width * rows.size());
    for (const QVariantList &row : std::as_const(rows)) {
        for (qsizetype c = 0; c < width; ++c)
            content.append(row.value(c));
    }
    // Rows without columns still count, as the rows of an empty select list would.
    replace(std::move(columns), std::move(content), int(rows.size()));
}

void TDataSet::setValues(QStringList columns, TDataContent content)
{
    const qsizetype width = columns.size();
    const qsizetype cells = content.size();
    if (width == 0 ? cells != 0 : cells % width != 0)
        throw EHostError(u"%1 valores não formam linhas de %2 colunas."_s.arg(cells).arg(width));
    replace(std::move(columns), std::move(content), width == 0 ? 0 : int(cells / width));
}

void TDataSet::replace(QStringList columns, TDataContent content, int rowCount)
{
    mColumns = std::move(columns);
    mContent = std::move(content);
    mRowCount = rowCount;
    mCurrent = mRowCount == 0 ? -1 : 0;
    mEof = mRowCount == 0;
    Q_EMIT contentChanged();
}

void TDataSet::clear()
{
    // Field definitions are declared by code and outlive the content.
    mColumns.clear();
    mContent.clear();
    mRowCount = 0;
    mCurrent = -1;
    mEof = true;
    Q_EMIT contentChanged();
}

TDataContent TDataSet::takeStorage()
{
    if (mRowCount != 0 || mContent.size() != 0)
        return {};
    return std::exchange(mContent, {});
}

void TDataSet::takeContent(TDataSet &other)
{
    const int rows = std::exchange(other.mRowCount, 0);
    QStringList columns = std::exchange(other.mColumns, {});
    TDataContent content = std::exchange(other.mContent, {});
    other.clear();
    replace(std::move(columns), std::move(content), rows);
}

int TDataSet::columnIndex(const QString &name) const
{
    for (int i = 0; i < mColumns.size(); ++i)
        if (mColumns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

qsizetype TDataSet::indexOf(int row, int column) const
{
    const qsizetype width = mColumns.size();
    if (row < 0 || row >= mRowCount || column < 0 || column >= width)
        return -1;
    return row * width + column;
}

QVariant TDataSet::value(int row, int column) const
{
    return mContent.value(indexOf(row, column));
}

QString TDataSet::text(int row, const QString &field) const
{
    return text(row, columnIndex(field));
}

QString TDataSet::text(int row, int column) const
{
    const qsizetype index = indexOf(row, column);
    // Texts straight from the buffer: no QVariant in between.
    if (mContent.isText(index))
        return mContent.textView(index).toString();
    return valueText(mContent.value(index));
}

void TDataSet::setRecNo(int row)
{
    if (mRowCount == 0)
        return;
    mCurrent = qBound(0, row, mRowCount - 1);
    mEof = false;
}

void TDataSet::First()
{
    mCurrent = mRowCount == 0 ? -1 : 0;
    mEof = mRowCount == 0;
}

void TDataSet::Next()
{
    if (mEof)
        return;
    // Past the last row the cursor stays on it and only Eof turns true, as the host's datasets do.
    if (mCurrent + 1 < mRowCount)
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
