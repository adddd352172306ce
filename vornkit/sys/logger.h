#pragma once

#include "sys/vornkit_global.h"

#include <QDateTime>
#include <QMutex>
#include <QStringList>

// Process-wide store of the most recent log lines, with a Qt message handler
// (install Logger::log with qInstallMessageHandler to fill it).
class VORNKIT_EXPORT Logger {
public:
    static constexpr int MaxLines = 1000;

    // arg <= 0: the existing instance, made when there is none; arg > 0: a fresh one replacing it.
    static Logger* CreateInstance(int arg = 0);
    static Logger* GetInstance();
    // Deletes the instance: 1, or 0 when there was none.
    static int ReleaseInstance();

    // Thread-safe; drops the oldest line beyond MaxLines.
    void addLog(const QString& line);
    QStringList getLogs() const;

    // "yyyy-MM-dd hh:mm:ss t message [file line function category]", kept when an instance exists.
    static void log(QtMsgType type, const QMessageLogContext& context, const QString& message);
    static QString formatLine(
        const QDateTime& time, QtMsgType type, const QMessageLogContext& context, const QString& message);

private:
    Logger() = default;
    Q_DISABLE_COPY(Logger)

    QStringList logs;
    mutable QMutex mutex;

    static Logger* ms_pInstance;
};
