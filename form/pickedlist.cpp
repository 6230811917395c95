#include "pickedlist.h"

#include "dataset.h"
#include "widgets.h"

using namespace Qt::StringLiterals;

void PickedList::pick(const QString &selection, const TDataSet &lookup, const QString &codeField,
                      const QString &nameField)
{
    clear();
    mCodes = selection.split(PickDelimiter, Qt::SkipEmptyParts);
    for (QString &code : mCodes)
        code = code.trimmed();
    mCodes.removeAll(QString());
    const int codeColumn = lookup.columnIndex(codeField);
    const int nameColumn = lookup.columnIndex(nameField);
    if (codeColumn < 0 || nameColumn < 0)
        return;
    for (int row = 0; row < lookup.RecordCount(); ++row) {
        const QString code = lookup.text(row, codeColumn).trimmed();
        // The first row of a code names it (a register code may repeat in another store).
        if (mCodes.contains(code) && !mNames.contains(code))
            mNames.insert(code, lookup.text(row, nameColumn).trimmed());
    }
}

void PickedList::clear()
{
    mCodes.clear();
    mNames.clear();
}

QString PickedList::summary(int shown) const
{
    if (mCodes.isEmpty())
        return {};
    QStringList names;
    for (const QString &code : mCodes.mid(0, shown)) {
        const QString name = mNames.value(code);
        names << (name.isEmpty() ? code : name);
    }
    if (mCodes.size() > shown)
        names << u"…"_s;
    return u"%1 %2: %3"_s.arg(mCodes.size()).arg(mCodes.size() == 1 ? mOne : mMany, names.join(u", "_s));
}

QString PickedList::detail() const
{
    QStringList lines;
    for (const QString &code : mCodes) {
        const QString name = mNames.value(code);
        lines << (name.isEmpty() ? code : code + u" - "_s + name);
    }
    return lines.join(u'\n');
}
