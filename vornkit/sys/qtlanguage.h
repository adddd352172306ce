#pragma once

#include "sys/vornkit_global.h"

// Qt's own dialogs and buttons (file dialogs, standard buttons) speak Chinese like the rest of the
// program: loads Qt's Chinese translations when they are installed. Call it in main right after the
// QApplication is made; returns false when none was found.
VORNKIT_EXPORT bool installQtTranslations();
