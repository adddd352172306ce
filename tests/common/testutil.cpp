#include "common/testutil.h"

#include "db/sqlitedb.h"
#include "task/pooljob.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <ctime>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

XdgHome::XdgHome()
{
    const QList<QPair<const char*, const char*>> vars = { { "HOME", "home" }, { "XDG_CONFIG_HOME", "config" },
        { "XDG_DATA_HOME", "data" }, { "XDG_CACHE_HOME", "cache" }, { "XDG_RUNTIME_DIR", "runtime" } };
    for (const auto& var : vars) {
        const QString dir = m_dir.filePath(var.second);
        QDir().mkpath(dir);
        m_old.append({ var.first, qEnvironmentVariableIsSet(var.first) ? qgetenv(var.first) : QByteArray() });
        qputenv(var.first, QFile::encodeName(dir));
    }
    QFile::setPermissions(m_dir.filePath("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Present from the start: a folder made later is noticed late by the desktop libraries' watches.
    QDir().mkpath(m_dir.filePath("data/applications"));
}

XdgHome::~XdgHome()
{
    for (const auto& var : qAsConst(m_old)) {
        if (var.second.isNull())
            qunsetenv(var.first.constData());
        else
            qputenv(var.first.constData(), var.second);
    }
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

TempDir::TempDir(const QString& parent)
    : m_dir(QDir(parent).filePath(QStringLiteral("vorntest-XXXXXX")))
{
}

bool sameFileSystem(const QString& a, const QString& b)
{
    struct stat sa {
    }, sb {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0
        && sa.st_dev == sb.st_dev;
}

SmallFileSystem::SmallFileSystem(qint64 bytes)
{
    const QByteArray options = "size=" + QByteArray::number(bytes);
    m_mounted = m_dir.isValid()
        && ::mount(
               "tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData())
            == 0;
}

SmallFileSystem::~SmallFileSystem()
{
    if (m_mounted && ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH) != 0)
        qWarning("could not unmount %s", qUtf8Printable(m_dir.path()));
}

bool SmallFileSystem::unmount()
{
    if (m_mounted && ::umount(QFile::encodeName(m_dir.path()).constData()) == 0)
        m_mounted = false;
    return !m_mounted;
}

ListedMountPoints::ListedMountPoints(const QStringList& folders)
{
    QByteArray table;
    for (const QString& folder : folders) {
        QByteArray point = QFile::encodeName(folder);
        point.replace('\\', "\\134").replace(' ', "\\040").replace('\t', "\\011");
        table += "/dev/vorn-test " + point + " auto noauto 0 0\n";
    }
    const QString file = m_dir.filePath(QStringLiteral("fstab"));
    if (!writeBytes(file, table))
        qWarning("could not write %s", qUtf8Printable(file));
    m_hadOld = qEnvironmentVariableIsSet("VORN_FSTAB");
    m_old = qgetenv("VORN_FSTAB");
    qputenv("VORN_FSTAB", QFile::encodeName(file));
}

ListedMountPoints::~ListedMountPoints()
{
    if (m_hadOld)
        qputenv("VORN_FSTAB", m_old);
    else
        qunsetenv("VORN_FSTAB");
}

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

QImage photoLikeImage(int w, int h, int seed)
{
    QRandomGenerator rng(quint32(seed) * 2654435761u + 99u);
    QImage field(16, 12, QImage::Format_RGB32);
    for (int y = 0; y < field.height(); ++y) {
        for (int x = 0; x < field.width(); ++x)
            field.setPixel(x, y, qRgb(rng.bounded(256), rng.bounded(256), rng.bounded(256)));
    }
    QImage img = field.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 20; ++i) {
        p.setBrush(QColor(rng.bounded(256), rng.bounded(256), rng.bounded(256), 200));
        QPolygon poly;
        for (int k = 0; k < 5; ++k)
            poly << QPoint(rng.bounded(w), rng.bounded(h));
        p.drawPolygon(poly);
    }
    p.end();
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int n = int(rng.bounded(17)) - 8;
            const QRgb c = line[x];
            line[x] = qRgb(qBound(0, qRed(c) + n, 255), qBound(0, qGreen(c) + n, 255), qBound(0, qBlue(c) + n, 255));
        }
    }
    return img;
}

QString makeLargeGreyJpeg(const QString& dir, const QString& name, int w, int h)
{
    QImage grey(w, h, QImage::Format_Grayscale8);
    if (grey.isNull())
        return QString();
    for (int y = 0; y < h; ++y) {
        uchar* line = grey.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const int band = (x * 7 / w + y * 5 / h) % 4;
            const bool block = (x / (w / 9 + 1) + y / (h / 6 + 1)) % 3 == 0;
            line[x] = uchar(40 + band * 40 + (block ? 50 : 0) + (x * 31 / w));
        }
    }
    const QString path = QDir(dir).filePath(name);
    return grey.save(path, "JPG", 85) ? path : QString();
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

QImage lineImage(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = x % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
    }
    return img;
}

QPair<double, double> greyMeanAndSpread(const QImage& image, const QRect& rect)
{
    const QRect r = rect.intersected(image.rect());
    if (r.isEmpty())
        return { 0, 0 };
    double sum = 0, squares = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const double g = qGray(image.pixel(x, y));
            sum += g;
            squares += g * g;
        }
    }
    const double n = double(r.width()) * r.height();
    const double mean = sum / n;
    return { mean, std::sqrt(std::max(0.0, squares / n - mean * mean)) };
}

void useTimeZone(const char* zone)
{
    qputenv("TZ", zone);
    tzset();
}

QString programPath(const QString& name)
{
    const QString dir = qEnvironmentVariable("VORN_BIN_DIR", QStringLiteral(VORN_TEST_BUILT_BIN_DIR));
    return dir + QLatin1Char('/') + name;
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

std::shared_ptr<ModalCatch> onNextModal(std::function<void(QWidget*, ModalCatch&)> fn, int timeoutMs)
{
    auto caught = std::make_shared<ModalCatch>();
    std::weak_ptr<ModalCatch> weak = caught;
    QPointer<QWidget> before = QApplication::activeModalWidget();
    auto* timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [=] {
        const std::shared_ptr<ModalCatch> held = weak.lock();
        QWidget* modal = QApplication::activeModalWidget();
        const bool found = held && modal && modal != before && modal->isVisible();
        if (found || !held || clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
        if (found) {
            held->ran = true;
            fn(modal, *held);
        }
    });
    timer->start(10);
    return caught;
}

std::shared_ptr<ModalCatch> answerMessageBox(int timeoutMs)
{
    return onNextModal(
        [](QWidget* w, ModalCatch& caught) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box)
                return;
            caught.text = box->text();
            if (!box->buttons().isEmpty())
                box->buttons().first()->click();
        },
        timeoutMs);
}

void onNextModal(std::function<void(QWidget*)> fn, int timeoutMs)
{
    // The watch lives until it fires or times out: the timer's handler holds it.
    auto keep = std::make_shared<std::shared_ptr<ModalCatch>>();
    *keep = onNextModal(
        [fn, keep](QWidget* w, ModalCatch&) {
            fn(w);
            keep->reset();
        },
        timeoutMs);
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

qint64 procStatusKb(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

void resetPeakMemory()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
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

namespace {

const QFileDevice::Permissions kOpenFolder = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
    | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;

} // namespace

LockedFolder::LockedFolder(const QString& folder)
    : m_folder(folder)
{
    const QString parent = QFileInfo(folder).absolutePath();
    m_ok = QFile::setPermissions(parent, kOpenFolder)
        && QFile::setPermissions(folder, kOpenFolder & ~QFileDevice::Permissions(QFileDevice::WriteOwner));
}

LockedFolder::~LockedFolder()
{
    QFile::setPermissions(m_folder, kOpenFolder);
}

FileSizeLimit::FileSizeLimit(qint64 limit)
{
    struct rlimit old { };
    if (::getrlimit(RLIMIT_FSIZE, &old) != 0)
        qFatal("no file size limit");
    m_old = qint64(old.rlim_cur);
    m_handler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = rlim_t(limit);
    m_set = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    struct rlimit old { };
    ::getrlimit(RLIMIT_FSIZE, &old);
    old.rlim_cur = rlim_t(m_old);
    if (m_set && ::setrlimit(RLIMIT_FSIZE, &old) != 0)
        qFatal("could not lift the file size limit");
    std::signal(SIGXFSZ, m_handler);
}

bool startUnderFileSizeLimit(QProcess& process, const QString& program, const QStringList& args, qint64 limit)
{
    struct rlimit old { };
    if (::getrlimit(RLIMIT_FSIZE, &old) != 0)
        return false;
    // A child takes over an ignored signal: it must find the default.
    const auto handler = std::signal(SIGXFSZ, SIG_DFL);
    struct rlimit small = old;
    small.rlim_cur = rlim_t(limit);
    const bool set = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
    if (set)
        process.start(program, args);
    const bool started = set && process.waitForStarted(10000);
    if (set && ::setrlimit(RLIMIT_FSIZE, &old) != 0)
        qFatal("could not lift the file size limit");
    std::signal(SIGXFSZ, handler);
    return started;
}

bool ignoresSignal(qint64 pid, int signal, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    do {
        QFile status(QString("/proc/%1/status").arg(pid));
        if (!status.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("SigIgn:") && (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1)
                return true;
        }
        QThread::msleep(20);
    } while (timer.elapsed() < timeoutMs);
    return false;
}

} // namespace testutil
