#pragma once

#include <QtCore/qglobal.h>

#if defined(VORNKIT_LIBRARY)
#define VORNKIT_EXPORT Q_DECL_EXPORT
#else
#define VORNKIT_EXPORT Q_DECL_IMPORT
#endif
