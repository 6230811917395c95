#pragma once

#include "host_global.h"

#include <QHash>
#include <QObject>
#include <QString>

// Message catalogue: one "key|text" entry a line; the text runs from after the first bar to the end
// of the line, leading blanks included.
class HOST_EXPORT TMessages : public QObject
{
    Q_OBJECT
public:
    explicit TMessages(QObject *parent = nullptr);

    void Load(const QString &catalogue);
    // Loads a catalogue file (a Qt resource path works too); throws EHostError when unreadable.
    void LoadFromFile(const QString &path);

    // A key the catalogue lacks answers with the key itself, so a missing entry is visible, never blank.
    QString Msg(const QString &key) const;
    bool contains(const QString &key) const { return mTexts.contains(key); }
    int count() const { return int(mTexts.size()); }

private:
    QHash<QString, QString> mTexts;
};
