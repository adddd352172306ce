#pragma once

// Helpers shared by every test program.

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QSignalSpy>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

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

// A scratch home with its own XDG folders (configuration, data with an applications folder, cache, runtime) for
// the life of the object, so that settings, desktop entries and default applications never touch the user's.
// Qt's settings and GLib read these folders once per process: make it before the application
// (VORN_XDG_TEST_MAIN).
class XdgHome {
public:
    XdgHome();
    ~XdgHome();
    QString path() const { return m_dir.path(); }
    QString config() const { return m_dir.filePath("config"); }
    QString data() const { return m_dir.filePath("data"); }

private:
    QTemporaryDir m_dir;
    QList<QPair<QByteArray, QByteArray>> m_old; // the variables as they were; unset ones hold a null value
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

} // namespace testutil

// QTEST_MAIN for a widget test whose process runs in its own XdgHome.
#define VORN_XDG_TEST_MAIN(TestObject)                                                                                 \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        testutil::XdgHome xdgHome;                                                                                     \
        QApplication app(argc, argv);                                                                                  \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                       \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }
