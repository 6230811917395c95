#include "savefolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace SaveFolder {

namespace {
const QString kKey = u"arquivos/ultimaPasta"_s;

// A file of the host's own, under the user's configuration (the tests' own in test mode).
QString settingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + u"/pastas.ini"_s;
}
} // namespace

QString folder()
{
    const QString kept = QSettings(settingsPath(), QSettings::IniFormat).value(kKey).toString();
    if (!kept.isEmpty() && QFileInfo(kept).isDir())
        return kept;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? QDir::homePath() : documents;
}

void remember(const QString &file)
{
    if (file.isEmpty())
        return;
    QSettings s(settingsPath(), QSettings::IniFormat);
    s.setValue(kKey, QFileInfo(file).absolutePath());
}

void forget()
{
    QSettings s(settingsPath(), QSettings::IniFormat);
    s.remove(kKey);
}

QString safeName(const QString &name)
{
    QString safe;
    safe.reserve(name.size());
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c == QChar(0x7f))
            continue;
        safe += u"/\\:*?\"<>|"_s.contains(c) ? u'-' : c;
    }
    while (!safe.isEmpty() && (safe.back() == u' ' || safe.back() == u'.'))
        safe.chop(1);
    while (!safe.isEmpty() && (safe.front() == u' ' || safe.front() == u'.'))
        safe.remove(0, 1);
    return safe.isEmpty() ? u"relatorio"_s : safe;
}

QString suggestion(const QString &name, const QString &suffix)
{
    const QString file = suffix.isEmpty() ? safeName(name) : safeName(name) + u'.' + suffix;
    return QDir(folder()).filePath(file);
}

} // namespace SaveFolder
