#pragma once

#include "host_global.h"

#include <QString>

// The host context: who the user works for and where the application server is.
struct HOST_EXPORT HostContext
{
    bool moduFili = false;            // branch-bound mode
    QString filiProc = QStringLiteral("0001");
    QString nomeFiliProc;
    QString webUrl = QStringLiteral("127.0.0.1");
    int webPort = 211;
    QString dbPictArvProd = QStringLiteral("99.99.999;0;_"); // mask of product-tree codes
};

namespace Corvel {
HOST_EXPORT void setContext(const HostContext &context);
HOST_EXPORT const HostContext &context();

HOST_EXPORT bool ModuFili();
HOST_EXPORT QString FiliProc();
HOST_EXPORT QString NomeFiliProc();
HOST_EXPORT QString WebURL();
HOST_EXPORT int WebPort();
// Edit mask for codes of a kind; the first kind (0) is the product tree.
HOST_EXPORT QString DBPict(int kind);
} // namespace Corvel
