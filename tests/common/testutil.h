#pragma once

// Helpers shared by every test program.

#include <QColor>
#include <QImage>
#include <QSignalSpy>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class QSemaphore;
class QThreadPool;
class QWidget;
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

// Waits until the spy holds at least count signals; false after timeoutMs so a hung test fails.
bool waitForSignal(QSignalSpy& spy, int count = 1, int timeoutMs = 10000);

// What a watch for the next modal window saw. The watch ends when the last holder drops this.
struct ModalCatch {
    bool ran = false;
    QString text; // a message box's text
};
// Runs fn once on the next modal window that opens within timeoutMs (a dialog or message box that the code under
// test runs with exec()), as long as the returned catch is held.
std::shared_ptr<ModalCatch> onNextModal(std::function<void(QWidget*, ModalCatch&)> fn, int timeoutMs = 10000);
// Presses the first button of the next message box and keeps its text.
std::shared_ptr<ModalCatch> answerMessageBox(int timeoutMs = 10000);

// Holds a pool down to one thread, kept busy for the life of the object (at most timeoutMs, so that a test that
// waits on the pool fails instead of hanging).
class PoolBlocker {
public:
    explicit PoolBlocker(QThreadPool* pool = nullptr, int timeoutMs = 8000);
    ~PoolBlocker();

private:
    QThreadPool* m_pool;
    int m_oldMax;
    std::shared_ptr<QSemaphore> m_gate;
};

} // namespace testutil
