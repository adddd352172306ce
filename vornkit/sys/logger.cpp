#include "sys/logger.h"

#include <QDateTime>
#include <QMutexLocker>

Logger* Logger::ms_pInstance = nullptr;

Logger* Logger::CreateInstance(int arg)
{
    if (arg > 0) {
        delete ms_pInstance;
        ms_pInstance = nullptr;
    }
    if (!ms_pInstance)
        ms_pInstance = new Logger;
    return ms_pInstance;
}

Logger* Logger::GetInstance()
{
    return ms_pInstance;
}

int Logger::ReleaseInstance()
{
    if (!ms_pInstance)
        return 0;
    delete ms_pInstance;
    ms_pInstance = nullptr;
    return 1;
}

void Logger::addLog(const QString& line)
{
    QMutexLocker lock(&mutex);
    logs.append(line);
    while (logs.size() > MaxLines)
        logs.removeFirst();
}

QStringList Logger::getLogs() const
{
    QMutexLocker lock(&mutex);
    return logs;
}

QString Logger::formatLine(
    const QDateTime& time, QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    QString line = time.toString("yyyy-MM-dd hh:mm:ss ");
    switch (type) {
    case QtDebugMsg:
        line += "d ";
        break;
    case QtWarningMsg:
        line += "w ";
        break;
    case QtCriticalMsg:
        line += "c ";
        break;
    case QtFatalMsg:
        line += "f ";
        break;
    case QtInfoMsg:
        line += "i ";
        break;
    default:
        line += "u ";
        break;
    }
    line += message;
    line += " [";
    line += QString::fromUtf8(context.file);
    line += ' ';
    line += QString::number(context.line);
    line += ' ';
    line += QString::fromUtf8(context.function);
    line += ' ';
    line += QString::fromUtf8(context.category);
    line += ']';
    return line;
}

void Logger::log(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (Logger* logger = ms_pInstance)
        logger->addLog(formatLine(QDateTime::currentDateTime(), type, context, message));
}
