#pragma once

#include "sys/vornkit_global.h"

// The windows name the font families "微软雅黑" and "宋体", which Linux desktops lack:
// maps them, once per process, to the Chinese fonts found here. Call it in main right
// after the QApplication is made.
VORNKIT_EXPORT void installFontFallbacks();
