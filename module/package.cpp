// Package entries of Pkg_Vnd02500: what the host's loader reads and calls.
#include "modulestate.h"
#include "package.h"

#include <QFileInfo>
#include <QResource>
#include <dlfcn.h>

namespace {
const char *const kUnits[] = {"Pkg_Vnd02500", "Cli_Vnd02500"};
const char *const kRequires[] = {"_cvl", "_rtl", "_qr", "_lib", "_ger", "_frm", "_db", "_vcl"};
const PackageInfo kPackage{"Pkg_Vnd02500", kUnits, 2, kRequires, 8};

QString gModuleFile;
QString gResourceModule;

QString ownFileName()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&ownFileName), &info) && info.dli_fname)
        return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
    return {};
}

// Process attach: register with the host and take a separate resource module for this file when
// one stands beside it (a translated catalogue, say); otherwise the built-in resources serve.
__attribute__((constructor)) void processAttach()
{
    gModuleFile = ownFileName();
    HostRuntime::registerModule(gModuleFile);
    const QString candidate = gModuleFile + QStringLiteral(".rcc");
    if (QFileInfo::exists(candidate) && QResource::registerResource(candidate))
        gResourceModule = candidate;
}

__attribute__((destructor)) void processDetach()
{
    if (!gResourceModule.isEmpty())
        QResource::unregisterResource(gResourceModule);
    HostRuntime::unregisterModule(gModuleFile);
}
} // namespace

extern "C" {
VND_EXPORT const PackageInfo *GetPackageInfoTable()
{
    return &kPackage;
}

// The host packages' units are started by the host itself before any module loads; this
// package's own units start in order and stop in reverse.
VND_EXPORT void Initialize()
{
    Cli_Vnd02500::Initialization();
}

VND_EXPORT void Finalize()
{
    Cli_Vnd02500::Finalization();
}
}
