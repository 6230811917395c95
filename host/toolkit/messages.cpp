#include "messages.h"

#include "errors.h"

#include <QFile>

TMessages::TMessages(QObject *parent) : QObject(parent) {}

void TMessages::Load(const QString &catalogue)
{
    mTexts.clear();
    const auto lines = QStringView(catalogue).split(u'\n');
    for (QStringView line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        const qsizetype bar = line.indexOf(u'|');
        if (bar <= 0)
            continue; // blank or comment-free junk lines carry no entry
        mTexts.insert(line.left(bar).toString(), line.mid(bar + 1).toString());
    }
}

void TMessages::LoadFromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EHostError(QStringLiteral("Não foi possível ler o catálogo de mensagens '%1': %2")
                             .arg(path, file.errorString()));
    Load(QString::fromUtf8(file.readAll()));
}

QString TMessages::Msg(const QString &key) const
{
    return mTexts.value(key, key);
}
