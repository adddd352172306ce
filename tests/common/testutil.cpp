#include "common/testutil.h"

#include "db/sqlitedb.h"
#include "task/pooljob.h"

#include <QBuffer>
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

QImage quarterImage(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(0, 0, w / 2, h / 2, Qt::red);
    p.fillRect(w / 2, 0, w - w / 2, h / 2, Qt::green);
    p.fillRect(0, h / 2, w / 2, h - h / 2, Qt::blue);
    p.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, Qt::yellow);
    return img;
}

namespace {

quint32 crc32Of(const char* data, int len)
{
    quint32 c = 0xFFFFFFFFu;
    for (int i = 0; i < len; ++i) {
        c ^= quint8(data[i]);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

} // namespace

QByteArray pngDeclaring(quint32 w, quint32 h, int bitDepth, int colorType)
{
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    solidImage(4, 4, Qt::blue).save(&buf, "PNG");
    auto put32 = [&](int at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            png[at + i] = char((v >> (24 - 8 * i)) & 0xFF);
    };
    put32(16, w);
    put32(20, h);
    png[24] = char(bitDepth);
    png[25] = char(colorType);
    put32(29, crc32Of(png.constData() + 12, 17));
    return png;
}

QByteArray gifCanvas(int w, int h, int frames)
{
    auto le16 = [](int v) { return QByteArray(1, char(v & 0xFF)) + char((v >> 8) & 0xFF); };
    QByteArray gif = "GIF89a" + le16(w) + le16(h) + QByteArray("\x80\x00\x00", 3);
    gif += QByteArray("\xff\x00\x00\x00\x00\xff", 6); // two colours
    gif += QByteArray("\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (int i = 0; i < frames; ++i) {
        gif += QByteArray("\x21\xf9\x04\x00\x02\x00\x00\x00", 8); // 20 ms
        gif += '\x2c' + le16((i * 7) % w) + le16((i * 13) % h) + le16(1) + le16(1) + '\x00';
        gif += QByteArray("\x02\x02\x44\x01\x00", 5); // one pixel
    }
    return gif + '\x3b';
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

PoolGate::PoolGate(QThreadPool* pool)
    : m_threads(pool->maxThreadCount())
{
    QSemaphore started;
    for (int i = 0; i < m_threads; ++i) {
        runJob(pool, [this, &started] {
            started.release();
            m_gate.acquire();
        });
    }
    started.acquire(m_threads);
}

PoolGate::~PoolGate()
{
    release();
}

void PoolGate::release()
{
    m_gate.release(m_threads);
    m_threads = 0;
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
