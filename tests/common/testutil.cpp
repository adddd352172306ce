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

ModalAnswerer::ModalAnswerer(const QString& button)
    : m_timer(new QTimer())
{
    m_timer->setInterval(20);
    QObject::connect(m_timer, &QTimer::timeout, [this, button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == button) {
                texts << box->text();
                b->click();
                return;
            }
        }
    });
    m_timer->start();
}

ModalAnswerer::~ModalAnswerer()
{
    delete m_timer;
}

} // namespace testutil
