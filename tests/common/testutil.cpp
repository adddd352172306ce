#include "common/testutil.h"

#include "db/sqlitedb.h"
#include "task/pooljob.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

namespace testutil {

ProgramDir::ProgramDir()
{
    m_hadOld = qEnvironmentVariableIsSet("VORN_PROGRAM_DIR");
    m_old = qgetenv("VORN_PROGRAM_DIR");
    qputenv("VORN_PROGRAM_DIR", QFile::encodeName(m_dir.path()));
}

ProgramDir::~ProgramDir()
{
    if (m_hadOld)
        qputenv("VORN_PROGRAM_DIR", m_old);
    else
        qunsetenv("VORN_PROGRAM_DIR");
}

QString ProgramDir::file(const QString& name) const
{
    return m_dir.filePath(name);
}

PoolGate::PoolGate(QThreadPool* pool, int threads)
{
    const int n = threads > 0 ? threads : pool->maxThreadCount();
    for (int i = 0; i < n; ++i) {
        m_jobs << runJob(pool, [this] {
            m_started.release();
            m_gate.acquire();
        });
    }
}

PoolGate::~PoolGate()
{
    open();
}

bool PoolGate::holding(int timeoutMs)
{
    if (!m_started.tryAcquire(m_jobs.size(), timeoutMs))
        return false;
    m_started.release(m_jobs.size());
    return true;
}

void PoolGate::open()
{
    m_gate.release(m_jobs.size());
    for (QFuture<void>& job : m_jobs)
        job.waitForFinished();
    m_jobs.clear();
}

TempDir::TempDir() = default;

QString TempDir::file(const QString& name) const
{
    return m_dir.filePath(name);
}

QImage solidImage(int w, int h, const QColor& color)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(color);
    return img;
}

QString makeImage(const QString& dir, const QString& name, int w, int h, const QColor& color, const char* format)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(color);
    QPainter p(&img);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, color);
    g.setColorAt(1, color.darker(200));
    p.fillRect(0, h / 2, w, h - h / 2, g);
    p.end();
    const QString path = QDir(dir).filePath(name);
    if (!img.save(path, format))
        return QString();
    return path;
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

QStringList queryRows(SqliteDb& db, const QString& sql)
{
    QStringList rows;
    QSqlQuery q(db.db());
    if (!q.exec(sql))
        return { "!error" };
    while (q.next()) {
        QStringList cols;
        for (int i = 0; i < q.record().count(); ++i)
            cols << q.value(i).toString();
        rows << cols.join('|');
    }
    return rows;
}

QStringList schemaNames(SqliteDb& db, const char* type)
{
    return queryRows(db,
        QString("SELECT name FROM sqlite_master WHERE type='%1' AND name NOT LIKE 'sqlite_%' ORDER BY name").arg(type));
}

bool waitForSignal(QSignalSpy& spy, int count, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (spy.count() < count) {
        if (t.elapsed() > timeoutMs)
            return false;
        spy.wait(50);
    }
    return true;
}

} // namespace testutil
