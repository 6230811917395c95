#pragma once

#include "host_global.h"

#include <QString>
#include <QVariant>
#include <functional>

// What a module's GetPackageInfoTable answers: its name, the units it contains and the host
// packages it requires, in order. Plain C data so that any module can describe itself.
extern "C" {
struct PackageInfo
{
    const char *name;
    const char *const *units;
    int unitCount;
    const char *const *requires_;
    int requiresCount;
};

typedef void (*PackageProc)();
typedef const PackageInfo *(*PackageInfoProc)();
}

// Host runtime side of a module's registration: modules announce themselves when loaded and
// publish their exported variables by name (screen scripts read them).
class HOST_EXPORT HostRuntime
{
public:
    using Reader = std::function<QVariant()>;

    static void registerModule(const QString &fileName);
    static void unregisterModule(const QString &fileName);
    static bool isRegistered(const QString &fileName);

    static void registerVariable(const QString &name, Reader reader);
    static void unregisterVariable(const QString &name);
    // Invalid when no module publishes that name.
    static QVariant variable(const QString &name);
    static bool hasVariable(const QString &name);

    // The host packages a module may require.
    static bool providesPackage(const QString &name);
};
