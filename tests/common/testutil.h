#pragma once

// Helpers shared by every test program.

#include <QColor>
#include <QFuture>
#include <QImage>
#include <QList>
#include <QSemaphore>
#include <QSignalSpy>
#include <QString>
#include <QTemporaryDir>

class QThreadPool;
class SqliteDb;

namespace testutil {

// A temporary program folder (data/, profile/ go there) for the life of the object.
class ProgramDir {
public:
    ProgramDir();
    ~ProgramDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_old;
    bool m_hadOld = false;
};

// A temporary folder for sample files.
class TempDir {
public:
    TempDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

// Writes a picture of w x h with a colour gradient (format from the suffix, or given); returns the path or an empty
// text on failure.
QString makeImage(const QString& dir, const QString& name, int w = 64, int h = 48, const QColor& color = Qt::red,
    const char* format = nullptr);
// A plain image of one colour.
QImage solidImage(int w, int h, const QColor& color);
bool writeBytes(const QString& path, const QByteArray& bytes);
QByteArray readBytes(const QString& path);

// Each row of the query's result as its columns joined by '|'.
QStringList queryRows(SqliteDb& db, const QString& sql);
// The names of the database's tables or indexes ("table", "index"), sorted, those of SQLite left out.
QStringList schemaNames(SqliteDb& db, const char* type);

// Keeps threads of a pool busy (all of them unless told) until open() or the end of the object, so that the jobs
// queued meanwhile wait; opening waits until the holding jobs are done with the gate.
class PoolGate {
public:
    explicit PoolGate(QThreadPool* pool, int threads = 0);
    ~PoolGate();
    PoolGate(const PoolGate&) = delete;
    PoolGate& operator=(const PoolGate&) = delete;
    // Whether every holding job has started.
    bool holding(int timeoutMs = 10000);
    void open();

private:
    QSemaphore m_gate;
    QSemaphore m_started;
    QList<QFuture<void>> m_jobs;
};

// Waits until the spy holds at least count signals; false after timeoutMs so a hung test fails.
bool waitForSignal(QSignalSpy& spy, int count = 1, int timeoutMs = 10000);

} // namespace testutil
