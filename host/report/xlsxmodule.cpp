#include "xlsxmodule.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <dlfcn.h>
#include <mutex>

using namespace Qt::StringLiterals;

namespace XlsxModule {

namespace {

// The folder of the libbohost.so this code was loaded from: the build tree's lib/ or the installed
// library folder, wherever the program itself lies.
QString hostFolder()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&hostFolder), &info) && info.dli_fname)
        return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
    return {};
}

} // namespace

QString filePath()
{
    const QString chosen = qEnvironmentVariable(kFolderVariable);
    const QString folder = chosen.isEmpty() ? hostFolder() : chosen;
    const QString name = QString::fromLatin1(kFileName);
    return folder.isEmpty() ? name : QDir(folder).absoluteFilePath(name);
}

WriteFunction writer(QString *reason)
{
    // One load per process, from any thread (exports run on a pool thread); a QLibrary going out of
    // scope leaves its library loaded, so only the entry point is kept.
    static std::mutex mutex;
    static WriteFunction write = nullptr;
    const std::lock_guard lock(mutex);
    if (write)
        return write;
    const QString path = filePath();
    const QString cannotLoad = u"O módulo de planilhas XLSX '%1' não pôde ser carregado: %2"_s;
    // Checked first: for a file not there, QLibrary names the last of the variants it tried.
    if (!QFileInfo(path).isFile()) {
        *reason = cannotLoad.arg(QDir::toNativeSeparators(path), u"o arquivo não existe."_s);
        return nullptr;
    }
    QLibrary library(path);
    if (!library.load()) {
        *reason = cannotLoad.arg(QDir::toNativeSeparators(path), library.errorString());
        return nullptr;
    }
    write = reinterpret_cast<WriteFunction>(library.resolve(kEntry));
    if (!write) {
        *reason = u"O módulo de planilhas XLSX '%1' não é desta versão do programa (não tem a função %2)."_s.arg(
            QDir::toNativeSeparators(path), QString::fromLatin1(kEntry));
        library.unload();
    }
    return write;
}

} // namespace XlsxModule
