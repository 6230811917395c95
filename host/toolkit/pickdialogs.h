#pragma once

#include "host_global.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QList>
#include <QSortFilterProxyModel>
#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class TDataSet;

// The visible fields of a dataset as a table (labels from the field definitions; the key field is
// always shown). Optionally with a check box per row, for the list picker.
class HOST_EXPORT DataSetTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    DataSetTableModel(TDataSet &data, const QString &keyField, bool checkable, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    int datasetColumn(int column) const { return mColumns.value(column, -1); }
    int fieldSize(int column) const;
    QString cellText(int row, int column) const;
    // The same text appended to `out`: texts go straight from the dataset, no copy in between.
    void appendCellText(int row, int column, QString &out) const;

    bool isChecked(int row) const { return mChecked.value(row, false); }
    void setChecked(int row, bool checked);
    void setAllChecked(bool checked);
    QList<int> checkedRows() const;

private:
    void rebuild();

    TDataSet &mData;
    QString mKeyField;
    bool mCheckable;
    QList<int> mColumns;   // dataset columns shown, in order
    QStringList mLabels;
    QList<int> mSizes;
    QList<bool> mChecked;
};

// Case-insensitive filter over every shown column. The row texts are folded once, so typing into
// the filter stays quick over a hundred thousand rows.
class HOST_EXPORT DataSetFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setFilterText(const QString &text);
    QString filterText() const { return mNeedle; }
    void setSourceModel(QAbstractItemModel *model) override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    void buildCache() const;

    QString mNeedle;
    mutable QStringList mFolded;
    mutable bool mCacheValid = false;
    QMetaObject::Connection mResetConnection;
};

// Multi-select list picker: a check box per row, mark/unmark all, OK and Cancelar.
class HOST_EXPORT ListPickerDialog : public QDialog
{
    Q_OBJECT
public:
    ListPickerDialog(TDataSet &data, const QString &keyField, const QString &title, const QString &emptyText,
                     QWidget *parent = nullptr);

    // Key values of the checked rows, in the order of the rows.
    QStringList pickedKeys() const;

    QTableView *view() const { return mView; }
    QLabel *emptyLabel() const { return mEmptyLabel; }
    QPushButton *checkAllButton() const { return mCheckAll; }
    QPushButton *uncheckAllButton() const { return mUncheckAll; }
    QPushButton *okButton() const { return mOk; }
    QPushButton *cancelButton() const { return mCancel; }
    DataSetTableModel *model() const { return mModel; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void toggleSelected();

    TDataSet &mData;
    QString mKeyField;
    DataSetTableModel *mModel;
    QTableView *mView;
    QLabel *mEmptyLabel;
    QPushButton *mCheckAll;
    QPushButton *mUncheckAll;
    QPushButton *mOk;
    QPushButton *mCancel;
};

// Single-row search: a filter line (filter as you type), the table; Enter or a double-click picks
// the current row, Esc cancels.
class HOST_EXPORT SearchDialog : public QDialog
{
    Q_OBJECT
public:
    SearchDialog(TDataSet &data, const QString &keyField, const QString &title, QWidget *parent = nullptr);

    // Dataset row picked (after the dialog was accepted), -1 when none.
    int pickedRow() const { return mPicked; }
    // Dataset row under the cursor, -1 when the filter left no row.
    int currentRow() const;
    int shownRowCount() const;

    QLineEdit *filterEdit() const { return mFilter; }
    QTableView *view() const { return mView; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyFilter(const QString &text);
    void pickCurrent();

    DataSetTableModel *mModel;
    DataSetFilterModel *mProxy;
    QLineEdit *mFilter;
    QTableView *mView;
    int mPicked = -1;
};
