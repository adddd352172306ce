#include "common/testutil.h"

#include "db/sqlitedb.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QTimer>

#include <unistd.h>

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

void onNextModal(std::function<void(QWidget*)> fn, int timeoutMs)
{
    auto* timer = new QTimer(qApp);
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, fn, timeoutMs] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && clock->elapsed() < timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        delete clock;
        if (modal)
            fn(modal);
    });
    timer->start(10);
}

void answerNextBox(const QString& button, QString* text)
{
    onNextModal([button, text](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            if (text)
                *text = box->text();
        }
        for (QAbstractButton* b : modal->findChildren<QAbstractButton*>()) {
            if (b->text() == button) {
                b->click();
                return;
            }
        }
        modal->close();
    });
}

Unprivileged::Unprivileged()
{
    // nobody; seteuid (not setuid) so that root comes back at the end.
    if (geteuid() == 0)
        m_switched = seteuid(65534) == 0;
}

Unprivileged::~Unprivileged()
{
    if (m_switched && seteuid(0) != 0)
        qFatal("could not return to root");
}

} // namespace testutil
