#include "moduleloader.h"

#include "errors.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <dlfcn.h>
#include <vector>

ModuleLoader::ModuleLoader(QString modulesDir) : mDir(std::move(modulesDir)) {}

ModuleLoader::~ModuleLoader()
{
    std::vector<std::pair<int, QString>> byOrder;
    for (const auto &[name, module] : mModules)
        byOrder.emplace_back(module.order, name);
    std::sort(byOrder.rbegin(), byOrder.rend());
    for (const auto &entry : byOrder) {
        try {
            unload(entry.second);
        } catch (const std::exception &) {
            // Shutting down: a module that fails to finalise must not stop the others.
        }
    }
}

QString ModuleLoader::pathOf(const QString &name) const
{
    if (name.contains(u'/'))
        return name;
    return QDir(mDir).filePath(QStringLiteral("lib") + name + QStringLiteral(".so"));
}

QStringList ModuleLoader::loaded() const
{
    QStringList names;
    for (const auto &entry : mModules)
        names << entry.first;
    return names;
}

void ModuleLoader::load(const QString &name)
{
    if (isLoaded(name))
        return;
    const QString path = pathOf(name);
    if (!QFileInfo::exists(path))
        throw EHostError(QStringLiteral("Módulo '%1' não encontrado em '%2'.").arg(name, path));
    void *handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        throw EHostError(QStringLiteral("Não foi possível carregar o módulo '%1': %2")
                             .arg(name, QString::fromLocal8Bit(dlerror())));
    auto infoProc = reinterpret_cast<PackageInfoProc>(dlsym(handle, "GetPackageInfoTable"));
    auto initialize = reinterpret_cast<PackageProc>(dlsym(handle, "Initialize"));
    if (!infoProc || !initialize || !dlsym(handle, "Finalize")) {
        dlclose(handle);
        throw EHostError(QStringLiteral("'%1' não é um módulo do sistema (faltam as entradas do pacote).").arg(name));
    }
    const PackageInfo *info = infoProc();
    for (int i = 0; info && i < info->requiresCount; ++i) {
        const QString required = QString::fromLatin1(info->requires_[i]);
        if (!HostRuntime::providesPackage(required)) {
            dlclose(handle);
            throw EHostError(QStringLiteral("O módulo '%1' requer o pacote '%2', que o sistema não tem.")
                                 .arg(name, required));
        }
    }
    initialize();
    mModules[name] = Loaded{handle, info, mNextOrder++};
}

void ModuleLoader::unload(const QString &name)
{
    const auto it = mModules.find(name);
    if (it == mModules.end())
        return;
    void *handle = it->second.handle;
    mModules.erase(it);
    if (auto finalize = reinterpret_cast<PackageProc>(dlsym(handle, "Finalize")))
        finalize();
    dlclose(handle);
}

void *ModuleLoader::symbol(const QString &name, const char *entry) const
{
    const auto it = mModules.find(name);
    return it == mModules.end() ? nullptr : dlsym(it->second.handle, entry);
}

const PackageInfo *ModuleLoader::packageInfo(const QString &name) const
{
    const auto it = mModules.find(name);
    return it == mModules.end() ? nullptr : it->second.info;
}

void ModuleLoader::call(const QString &name, const char *entry)
{
    auto proc = reinterpret_cast<PackageProc>(symbol(name, entry));
    if (!proc)
        throw EHostError(QStringLiteral("O módulo '%1' não exporta '%2'.").arg(name, QString::fromLatin1(entry)));
    proc();
}
