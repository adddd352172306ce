#pragma once

// Helpers shared by every test program.

#include <QColor>
#include <QImage>
#include <QSignalSpy>
#include <QString>
#include <QTemporaryDir>

#include <functional>

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

// Runs fn on the next modal window (message box or dialog) as soon as it shows, within timeoutMs; the caller then
// starts what opens it. fn must close the window (a click, accept or reject).
void onNextModal(std::function<void(QWidget*)> fn, int timeoutMs = 5000);
// Clicks the button of that text on the next modal box; its text goes to *text when given.
void answerNextBox(const QString& button, QString* text = nullptr);

// For its life, file access runs as an unprivileged user when the test runs as root, so that permission
// bits count; otherwise it does nothing.
class Unprivileged {
public:
    Unprivileged();
    ~Unprivileged();
    Unprivileged(const Unprivileged&) = delete;
    Unprivileged& operator=(const Unprivileged&) = delete;

private:
    bool m_switched = false;
};

} // namespace testutil
