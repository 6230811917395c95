#pragma once

#include <QtCore/qglobal.h>

// Everything the host runtime exports to modules goes through this macro; the rest stays hidden.
#if defined(BOHOST_LIBRARY)
#define HOST_EXPORT Q_DECL_EXPORT
#else
#define HOST_EXPORT Q_DECL_IMPORT
#endif
