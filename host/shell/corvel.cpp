#include "corvel.h"

namespace {
HostContext &state()
{
    static HostContext context;
    return context;
}
} // namespace

namespace Corvel {
void setContext(const HostContext &context)
{
    state() = context;
}

const HostContext &context()
{
    return state();
}

bool ModuFili()
{
    return state().moduFili;
}

QString FiliProc()
{
    return state().filiProc;
}

QString NomeFiliProc()
{
    return state().nomeFiliProc;
}

QString WebURL()
{
    return state().webUrl;
}

int WebPort()
{
    return state().webPort;
}

QString DBPict(int kind)
{
    // Only the product tree has a mask in this host; other kinds edit plain text.
    return kind == 0 ? state().dbPictArvProd : QString();
}
} // namespace Corvel
