#pragma once

#include <QtCore/qglobal.h>

#if defined(VND02500_LIBRARY)
#define VND_EXPORT Q_DECL_EXPORT
#else
#define VND_EXPORT Q_DECL_IMPORT
#endif
