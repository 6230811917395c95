#pragma once

#include "host_global.h"
#include "package.h"

#include <QString>
#include <QStringList>
#include <map>

// Loads plug-in modules (shared libraries) from the modules folder, runs their package start and
// calls their plain entries by name.
class HOST_EXPORT ModuleLoader
{
public:
    explicit ModuleLoader(QString modulesDir);
    ~ModuleLoader(); // unloads every module, in reverse order of loading
    ModuleLoader(const ModuleLoader &) = delete;
    ModuleLoader &operator=(const ModuleLoader &) = delete;

    // Loads "lib<name>.so" (or a path), checks its package description and runs Initialize.
    // Throws EHostError with the loader's reason on failure. Loading twice is a no-op.
    void load(const QString &name);
    // Runs Finalize and unloads.
    void unload(const QString &name);
    bool isLoaded(const QString &name) const { return mModules.count(name) != 0; }
    QStringList loaded() const;

    // Calls an exported entry without arguments (e.g. "IniProc"); throws EHostError when absent.
    void call(const QString &name, const char *entry);
    // An exported symbol's address, or nullptr.
    void *symbol(const QString &name, const char *entry) const;
    const PackageInfo *packageInfo(const QString &name) const;

    QString pathOf(const QString &name) const;

private:
    struct Loaded
    {
        void *handle = nullptr;
        const PackageInfo *info = nullptr;
        int order = 0;
    };
    QString mDir;
    std::map<QString, Loaded> mModules;
    int mNextOrder = 0;
};
