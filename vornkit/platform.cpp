#include "platform.h"

#include <QCoreApplication>
#include <QFile>

namespace platform {

QString programDir()
{
    const QByteArray dir = qgetenv("VORN_PROGRAM_DIR");
    if (!dir.isEmpty())
        return QFile::decodeName(dir);
    return QCoreApplication::applicationDirPath();
}

} // namespace platform
