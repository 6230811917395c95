#pragma once

#include "host_global.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

// Field definition of a dataset: what lists show and what callers read by name.
struct HOST_EXPORT TFieldDef
{
    QString name;
    QString label;     // empty: the name is shown
    int size = 0;      // characters
    bool visible = true;
    QString origin;    // "TABLE.COLUMN", informational
    QString editMask;  // display mask of the field (product-tree codes)
};

class TDataSet;

// The values of a result, row after row. Texts are copied into one shared buffer rather than kept
// as a string each: a lookup of thousands of rows costs one growing buffer, not thousands of
// allocations made now and freed one by one when the lookup runs again.
class HOST_EXPORT TDataContent
{
public:
    // Empties the content; the memory is kept for the next one.
    void clear();
    // Room for this many values.
    void reserve(qsizetype cells) { mCells.reserve(size_t(cells)); }

    // A QString value is stored as a text; any other value as it is (a null keeps its type).
    void append(const QVariant &value);
    void appendText(QStringView text);

    qsizetype size() const { return qsizetype(mCells.size()); }
    // A copy of the value, a text made from the buffer; an invalid QVariant outside the content.
    QVariant value(qsizetype index) const;
    bool isText(qsizetype index) const { return index >= 0 && index < size() && mCells[size_t(index)].length >= 0; }
    QStringView textView(qsizetype index) const;

private:
    // A text: `length` characters of mText from `at`. Any other value: length -1, mValues[at].
    struct Cell
    {
        qint32 at;
        qint32 length;
    };
    std::vector<Cell> mCells;
    std::vector<char16_t> mText;
    std::vector<QVariant> mValues;
};

// A field of the current row, read as text like the host's string fields.
class HOST_EXPORT TField
{
public:
    TField(const TDataSet *set, int column) : mSet(set), mColumn(column) {}
    QString AsString() const;
    QVariant value() const;
    bool IsNull() const;
    QString FieldName() const;

private:
    const TDataSet *mSet;
    int mColumn;
};

// A materialised result: column names, rows of values and a current row. Queries fill it; in-memory
// datasets are filled by code. Field definitions are optional and only add labels and visibility.
class HOST_EXPORT TDataSet : public QObject
{
    Q_OBJECT
public:
    explicit TDataSet(QObject *parent = nullptr);

    // Declared fields, in their defined order.
    QList<TFieldDef> &FieldDefs() { return mFieldDefs; }
    const QList<TFieldDef> &FieldDefs() const { return mFieldDefs; }
    TFieldDef *findFieldDef(const QString &name);
    const TFieldDef *findFieldDef(const QString &name) const;

    // Replaces the content; column names are compared case-insensitively. Values past the last
    // column of a row are dropped; a short row reads as null in the columns it lacks.
    void setContent(QStringList columns, QList<QVariantList> rows);
    // The same from the values of every row one after the other, as a query fetches them; the
    // count of values must be a multiple of the column count (EHostError otherwise).
    void setValues(QStringList columns, TDataContent content);
    // Empties the content; the storage of its values is kept for the next content.
    void clear();
    // The memory an emptied dataset kept, for the next content to be built in: a lookup opened
    // again fills the same memory instead of growing new lists.
    TDataContent takeStorage();
    // Takes over the columns and values of `other`, which is left empty; this dataset keeps its
    // own field definitions (a query's result shown with the labels a screen gave its fields).
    void takeContent(TDataSet &other);

    const QStringList &columns() const { return mColumns; }
    int columnIndex(const QString &name) const; // -1 when absent
    int RecordCount() const { return mRowCount; }
    bool IsEmpty() const { return mRowCount == 0; }
    QVariant value(int row, int column) const;
    QString text(int row, const QString &field) const;
    // The same for a column index: loops over many rows look the column up once.
    QString text(int row, int column) const;
    // A text cell read in place, without a copy; isText is false for any other value (and for
    // NULL), whose textView is empty.
    bool isText(int row, int column) const { return mContent.isText(indexOf(row, column)); }
    QStringView textView(int row, int column) const { return mContent.textView(indexOf(row, column)); }

    // Current-row navigation.
    int RecNo() const { return mCurrent; } // 0-based; -1 when empty
    void setRecNo(int row);
    void First();
    void Next();
    bool Eof() const;

    // Field of the current row; throws EDatabaseError when the field does not exist.
    TField FieldByName(const QString &name) const;

Q_SIGNALS:
    void contentChanged();

private:
    void replace(QStringList columns, TDataContent content, int rowCount);
    qsizetype indexOf(int row, int column) const;

    QList<TFieldDef> mFieldDefs;
    QStringList mColumns;
    TDataContent mContent; // row after row, mColumns.size() values per row
    int mRowCount = 0;
    int mCurrent = -1;
    bool mEof = true;
};

// In-memory dataset filled by code (the host's product search fills one).
class HOST_EXPORT TClientDataSet : public TDataSet
{
    Q_OBJECT
public:
    using TDataSet::TDataSet;
};

// What list controls show: a data source over a dataset.
class HOST_EXPORT TDataSource : public QObject
{
    Q_OBJECT
public:
    explicit TDataSource(QObject *parent = nullptr) : QObject(parent) {}
    TDataSet *DataSet() const { return mDataSet; }
    void setDataSet(TDataSet *set) { mDataSet = set; }

private:
    TDataSet *mDataSet = nullptr;
};
