#include "package.h"

#include <QHash>
#include <QSet>

namespace {
QSet<QString> &modules()
{
    static QSet<QString> set;
    return set;
}

QHash<QString, HostRuntime::Reader> &variables()
{
    static QHash<QString, HostRuntime::Reader> map;
    return map;
}
} // namespace

void HostRuntime::registerModule(const QString &fileName)
{
    modules().insert(fileName);
}

void HostRuntime::unregisterModule(const QString &fileName)
{
    modules().remove(fileName);
}

bool HostRuntime::isRegistered(const QString &fileName)
{
    return modules().contains(fileName);
}

void HostRuntime::registerVariable(const QString &name, Reader reader)
{
    variables().insert(name, std::move(reader));
}

void HostRuntime::unregisterVariable(const QString &name)
{
    variables().remove(name);
}

QVariant HostRuntime::variable(const QString &name)
{
    const auto it = variables().constFind(name);
    return it == variables().constEnd() ? QVariant() : it.value()();
}

bool HostRuntime::hasVariable(const QString &name)
{
    return variables().contains(name);
}

bool HostRuntime::providesPackage(const QString &name)
{
    // The host library provides every runtime package a screen module may name.
    static const QSet<QString> packages{QStringLiteral("_rtl"), QStringLiteral("_vcl"), QStringLiteral("_db"),
                                        QStringLiteral("_qr"),  QStringLiteral("_frm"), QStringLiteral("_ger"),
                                        QStringLiteral("_lib"), QStringLiteral("_cvl")};
    return packages.contains(name);
}
