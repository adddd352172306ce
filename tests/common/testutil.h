#pragma once

// Helpers shared by every test program.

#include <QColor>
#include <QImage>
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
// A picture of four coloured quarters (red, green / blue, yellow), to tell how it was turned.
QImage quarterImage(int w, int h);
// A tiny PNG whose header declares w x h (bit depth and colour type as given); its pixel data do not follow.
QByteArray pngDeclaring(quint32 w, quint32 h, int bitDepth = 8, int colorType = 2);
// A GIF of a w x h canvas with the given number of one-pixel frames, looping.
QByteArray gifCanvas(int w, int h, int frames);
bool writeBytes(const QString& path, const QByteArray& bytes);
QByteArray readBytes(const QString& path);

// Each row of the query's result as its columns joined by '|'.
QStringList queryRows(SqliteDb& db, const QString& sql);
// The names of the database's tables or indexes ("table", "index"), sorted, those of SQLite left out.
QStringList schemaNames(SqliteDb& db, const char* type);

// Keeps every thread of a pool busy until released (at the latest when destroyed), so that jobs queued meanwhile
// wait in the queue.
class PoolGate {
public:
    explicit PoolGate(QThreadPool* pool);
    ~PoolGate();
    PoolGate(const PoolGate&) = delete;
    PoolGate& operator=(const PoolGate&) = delete;
    void release();

private:
    QSemaphore m_gate;
    int m_threads = 0;
};

// Waits until the spy holds at least count signals; false after timeoutMs so a hung test fails.
bool waitForSignal(QSignalSpy& spy, int count = 1, int timeoutMs = 10000);

} // namespace testutil
