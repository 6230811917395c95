#pragma once

#include "vnd02500_global.h"

#include <QHash>
#include <utility>
#include <QString>
#include <QStringList>

class TDataSet;

// What a list choice holds, readable: the codes the picker wrote into a selection string with
// the names its lookup showed beside them.
class VND_EXPORT PickedList
{
public:
    // `one` and `many`: the noun for one row and for several ("loja", "lojas").
    PickedList(QString one, QString many) : mOne(std::move(one)), mMany(std::move(many)) {}

    // The codes of `selection` (the picker's "0001,0003"), named from the rows of `lookup`; a code
    // the rows lack keeps no name.
    void pick(const QString &selection, const TDataSet &lookup, const QString &codeField, const QString &nameField);
    void clear();
    // Names a code the lookup of the list did not show (the user's own branch).
    void setName(const QString &code, const QString &name) { mNames.insert(code, name); }

    const QStringList &codes() const { return mCodes; }
    QString nameOf(const QString &code) const { return mNames.value(code); }
    const QHash<QString, QString> &names() const { return mNames; }

    // Beside the list radio: "3 lojas: Centro, Shopping, …" (at most `shown` names; a code stands
    // for a row the lookup did not name); empty when nothing is picked.
    QString summary(int shown = 2) const;
    // Every row, "0001 - Centro" a line (the tool tip of the summary).
    QString detail() const;

private:
    QString mOne;
    QString mMany;
    QStringList mCodes;
    QHash<QString, QString> mNames;
};
