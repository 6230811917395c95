#pragma once

#include "host_global.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

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

    // Replaces the content; column names are compared case-insensitively.
    void setContent(QStringList columns, QList<QVariantList> rows);
    void clear();

    const QStringList &columns() const { return mColumns; }
    int columnIndex(const QString &name) const; // -1 when absent
    int RecordCount() const { return int(mRows.size()); }
    bool IsEmpty() const { return mRows.isEmpty(); }
    QVariant value(int row, int column) const;
    QString text(int row, const QString &field) const;
    // The same for a column index: loops over many rows look the column up once.
    QString text(int row, int column) const;

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
    QList<TFieldDef> mFieldDefs;
    QStringList mColumns;
    QList<QVariantList> mRows;
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
