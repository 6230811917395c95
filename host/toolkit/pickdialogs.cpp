#include "pickdialogs.h"

#include "dataset.h"
#include "uiservices.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
// Separates the columns of a row's filter text; no one types it, so no match spans two columns.
constexpr QChar ColumnBreak = QChar(0x1f);

void setupView(QTableView *view, const DataSetTableModel *model)
{
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setAlternatingRowColors(true);
    view->setWordWrap(false);
    // Fixed row heights and widths from the field sizes: nothing measures a hundred thousand rows.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    const int digit = view->fontMetrics().horizontalAdvance(u'0');
    for (int column = 0; column < model->columnCount(); ++column) {
        const QString label = model->headerData(column, Qt::Horizontal).toString();
        const int chars = std::clamp(std::max(model->fieldSize(column), int(label.size())), 4, 50);
        view->setColumnWidth(column, chars * digit + 24);
    }
}
} // namespace

// ---------------------------------------------------------------------------------------------
// DataSetTableModel

DataSetTableModel::DataSetTableModel(TDataSet &data, const QString &keyField, bool checkable, QObject *parent)
    : QAbstractTableModel(parent), mData(data), mKeyField(keyField), mCheckable(checkable)
{
    rebuild();
    connect(&mData, &TDataSet::contentChanged, this, [this] {
        beginResetModel();
        rebuild();
        endResetModel();
    });
}

void DataSetTableModel::rebuild()
{
    mColumns.clear();
    mLabels.clear();
    mSizes.clear();
    for (const TFieldDef &def : mData.FieldDefs()) {
        const int column = mData.columnIndex(def.name);
        if (column < 0 || mColumns.contains(column))
            continue;
        if (!def.visible && def.name.compare(mKeyField, Qt::CaseInsensitive) != 0)
            continue;
        mColumns << column;
        mLabels << (def.label.isEmpty() ? def.name : def.label);
        mSizes << def.size;
    }
    if (mColumns.isEmpty()) {
        for (int column = 0; column < mData.columns().size(); ++column) {
            mColumns << column;
            mLabels << mData.columns().at(column);
            mSizes << 0;
        }
    }
    // The user must see the key being picked even when the screen declared it hidden or left it out.
    const int key = mData.columnIndex(mKeyField);
    if (key >= 0 && !mColumns.contains(key)) {
        mColumns.prepend(key);
        mLabels.prepend(mData.columns().at(key));
        mSizes.prepend(0);
    }
    mChecked = QList<bool>(mData.RecordCount(), false);
}

int DataSetTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : mData.RecordCount();
}

int DataSetTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(mColumns.size());
}

int DataSetTableModel::fieldSize(int column) const
{
    return mSizes.value(column, 0);
}

QString DataSetTableModel::cellText(int row, int column) const
{
    QString text;
    appendCellText(row, column, text);
    return text;
}

void DataSetTableModel::appendCellText(int row, int column, QString &out) const
{
    const int source = datasetColumn(column);
    if (source < 0)
        return;
    // Fixed-width columns come padded with blanks.
    auto appendTrimmed = [&out](QStringView text) {
        while (text.endsWith(u' '))
            text.chop(1);
        out += text;
    };
    if (mData.isText(row, source)) {
        appendTrimmed(mData.textView(row, source));
        return;
    }
    const QVariant value = mData.value(row, source);
    switch (value.typeId()) {
    case QMetaType::QDate:
        out += value.toDate().toString(u"dd/MM/yyyy"_s);
        break;
    case QMetaType::QDateTime:
        out += value.toDateTime().toString(u"dd/MM/yyyy hh:mm"_s);
        break;
    default:
        appendTrimmed(mData.text(row, source));
    }
}

QVariant DataSetTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return cellText(index.row(), index.column());
    if (role == Qt::CheckStateRole && mCheckable && index.column() == 0)
        return isChecked(index.row()) ? Qt::Checked : Qt::Unchecked;
    return {};
}

QVariant DataSetTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return mLabels.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags DataSetTableModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (mCheckable && index.column() == 0)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

bool DataSetTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || !mCheckable || role != Qt::CheckStateRole || index.column() != 0)
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

void DataSetTableModel::setChecked(int row, bool checked)
{
    if (row < 0 || row >= mChecked.size() || mChecked.at(row) == checked)
        return;
    mChecked[row] = checked;
    const QModelIndex cell = index(row, 0);
    Q_EMIT dataChanged(cell, cell, {Qt::CheckStateRole});
}

void DataSetTableModel::setAllChecked(bool checked)
{
    if (mChecked.isEmpty())
        return;
    mChecked.fill(checked);
    Q_EMIT dataChanged(index(0, 0), index(int(mChecked.size()) - 1, 0), {Qt::CheckStateRole});
}

QList<int> DataSetTableModel::checkedRows() const
{
    QList<int> rows;
    for (int row = 0; row < mChecked.size(); ++row) {
        if (mChecked.at(row))
            rows << row;
    }
    return rows;
}

// ---------------------------------------------------------------------------------------------
// DataSetFilterModel

void DataSetFilterModel::setFilterText(const QString &text)
{
    const QString needle = text.trimmed().toCaseFolded();
    if (needle == mNeedle)
        return;
    mNeedle = needle;
    invalidateFilter();
}

void DataSetFilterModel::buildCache() const
{
    mFolded.clear();
    const auto *model = qobject_cast<const DataSetTableModel *>(sourceModel());
    if (!model)
        return;
    const int rows = model->rowCount();
    const int columns = model->columnCount();
    mFolded.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        QString text;
        for (int column = 0; column < columns; ++column) {
            model->appendCellText(row, column, text);
            text += ColumnBreak;
        }
        mFolded << text.toCaseFolded();
    }
    mCacheValid = true;
}

void DataSetFilterModel::setSourceModel(QAbstractItemModel *model)
{
    disconnect(mResetConnection);
    mCacheValid = false;
    // A new content (the dataset was reloaded) needs new texts before the proxy filters again.
    if (model)
        mResetConnection =
            connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { mCacheValid = false; });
    QSortFilterProxyModel::setSourceModel(model);
}

bool DataSetFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (mNeedle.isEmpty() || sourceParent.isValid())
        return true;
    if (!mCacheValid || sourceRow >= mFolded.size())
        buildCache();
    return mFolded.value(sourceRow).contains(mNeedle);
}

// ---------------------------------------------------------------------------------------------
// ListPickerDialog

ListPickerDialog::ListPickerDialog(TDataSet &data, const QString &keyField, const QString &title,
                                   const QString &emptyText, QWidget *parent)
    : QDialog(parent), mData(data), mKeyField(keyField)
{
    setWindowTitle(title);
    setModal(true);
    resize(640, 480);

    mModel = new DataSetTableModel(data, keyField, true, this);
    mView = new QTableView(this);
    mView->setModel(mModel);
    mView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    setupView(mView, mModel);
    mView->installEventFilter(this);
    // A click anywhere on a row toggles it, not only on the small box.
    connect(mView, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &index) { mModel->setChecked(index.row(), !mModel->isChecked(index.row())); });

    mEmptyLabel = new QLabel(emptyText.isEmpty() ? u"Nenhum registro encontrado."_s : emptyText, this);
    mEmptyLabel->setAlignment(Qt::AlignCenter);
    mEmptyLabel->setWordWrap(true);
    const bool empty = data.RecordCount() == 0;
    mEmptyLabel->setVisible(empty);
    mView->setVisible(!empty);

    mCheckAll = new QPushButton(u"Marcar todos"_s, this);
    mUncheckAll = new QPushButton(u"Desmarcar todos"_s, this);
    mCheckAll->setAutoDefault(false);
    mUncheckAll->setAutoDefault(false);
    mCheckAll->setEnabled(!empty);
    mUncheckAll->setEnabled(!empty);
    connect(mCheckAll, &QPushButton::clicked, this, [this] { mModel->setAllChecked(true); });
    connect(mUncheckAll, &QPushButton::clicked, this, [this] { mModel->setAllChecked(false); });

    auto *buttons = new QDialogButtonBox(this);
    mOk = buttons->addButton(u"OK"_s, QDialogButtonBox::AcceptRole);
    mCancel = buttons->addButton(u"Cancelar"_s, QDialogButtonBox::RejectRole);
    mOk->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *marks = new QHBoxLayout;
    marks->addWidget(mCheckAll);
    marks->addWidget(mUncheckAll);
    marks->addStretch();
    marks->addWidget(buttons);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(mView, 1);
    layout->addWidget(mEmptyLabel, 1);
    layout->addLayout(marks);

    if (!empty)
        mView->setCurrentIndex(mModel->index(0, 0));
    mView->setFocus();
}

QStringList ListPickerDialog::pickedKeys() const
{
    QStringList keys;
    const QList<int> rows = mModel->checkedRows();
    const int keyColumn = mData.columnIndex(mKeyField);
    for (int row : rows)
        keys << mData.text(row, keyColumn);
    return keys;
}

void ListPickerDialog::toggleSelected()
{
    const QModelIndexList rows = mView->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        const QModelIndex current = mView->currentIndex();
        if (current.isValid())
            mModel->setChecked(current.row(), !mModel->isChecked(current.row()));
        return;
    }
    // Space over a selection marks it all, unless it is all marked already.
    bool allChecked = true;
    for (const QModelIndex &index : rows)
        allChecked = allChecked && mModel->isChecked(index.row());
    for (const QModelIndex &index : rows)
        mModel->setChecked(index.row(), !allChecked);
}

bool ListPickerDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == mView && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            toggleSelected();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// SearchDialog

SearchDialog::SearchDialog(TDataSet &data, const QString &keyField, const QString &title, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(title);
    setModal(true);
    resize(640, 480);

    mModel = new DataSetTableModel(data, keyField, false, this);
    mProxy = new DataSetFilterModel(this);
    mProxy->setSourceModel(mModel);

    mFilter = new QLineEdit(this);
    mFilter->setPlaceholderText(u"Filtrar"_s);
    mFilter->installEventFilter(this);
    connect(mFilter, &QLineEdit::textChanged, this, &SearchDialog::applyFilter);

    mView = new QTableView(this);
    mView->setModel(mProxy);
    mView->setSelectionMode(QAbstractItemView::SingleSelection);
    setupView(mView, mModel);
    connect(mView, &QAbstractItemView::activated, this, &SearchDialog::pickCurrent);
    connect(mView, &QAbstractItemView::doubleClicked, this, &SearchDialog::pickCurrent);

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(u"OK"_s, QDialogButtonBox::AcceptRole);
    buttons->addButton(u"Cancelar"_s, QDialogButtonBox::RejectRole);
    // Enter is handled by the filter line and the table; the buttons are for the mouse.
    for (QAbstractButton *button : buttons->buttons()) {
        if (auto *push = qobject_cast<QPushButton *>(button))
            push->setAutoDefault(false);
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &SearchDialog::pickCurrent);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(mFilter);
    layout->addWidget(mView, 1);
    layout->addWidget(buttons);

    const int start = data.RecNo() >= 0 ? data.RecNo() : 0;
    if (mModel->rowCount() > 0) {
        const QModelIndex index = mProxy->mapFromSource(mModel->index(start, 0));
        mView->setCurrentIndex(index);
        mView->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
    mFilter->setFocus();
}

int SearchDialog::currentRow() const
{
    const QModelIndex current = mView->currentIndex();
    return current.isValid() ? mProxy->mapToSource(current).row() : -1;
}

int SearchDialog::shownRowCount() const
{
    return mProxy->rowCount();
}

void SearchDialog::applyFilter(const QString &text)
{
    mProxy->setFilterText(text);
    if (!mView->currentIndex().isValid() && mProxy->rowCount() > 0)
        mView->setCurrentIndex(mProxy->index(0, 0));
}

void SearchDialog::pickCurrent()
{
    const int row = currentRow();
    if (row < 0)
        return;
    mPicked = row;
    accept();
}

bool SearchDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == mFilter && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            pickCurrent();
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            // The cursor moves in the table while the typing stays in the filter.
            QCoreApplication::sendEvent(mView, event);
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// The real dialogs behind the host's list services.

std::optional<QStringList> WidgetUi::pickList(QWidget *parent, const QString &title, const QString &emptyText,
                                              TDataSet &data, const QString &keyField)
{
    ListPickerDialog dialog(data, keyField, title, emptyText, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.pickedKeys();
}

std::optional<int> WidgetUi::search(QWidget *parent, const QString &title, TDataSet &data, const QString &keyField)
{
    SearchDialog dialog(data, keyField, title, parent);
    if (dialog.exec() != QDialog::Accepted || dialog.pickedRow() < 0)
        return std::nullopt;
    return dialog.pickedRow();
}
