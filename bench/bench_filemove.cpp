// links: vornkit
// Moves generated photos onto another file system (a folder in /dev/shm) and back onto the disk with the kit's
// checked move (copy, compare every byte, sync, name, then remove the source) and prints files and MB per second
// beside "mv" of the same number of photos of the same sizes, measured in this run, sources in the page cache.
// Usage: bench_filemove [count] [MB per photo]   (defaults 100 and 5)

#include "sys/filecopier.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool makePhotos(const QString& dir, int count, int bytes)
{
    QByteArray data(bytes, '\0');
    for (int i = 0; i < count; ++i) {
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(data.data()), bytes / 4);
        QFile f(QStringLiteral("%1/p%2.jpg").arg(dir).arg(i));
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != bytes)
            return false;
    }
    // Every tool reads its sources from the page cache, after the writes reached the disk.
    ::sync();
    return true;
}

void report(const char* who, int count, double mb, qint64 ms)
{
    const double s = ms / 1000.0;
    std::printf("%-28s %6.2f s  %8.1f files/s  %8.1f MB/s\n", who, s, count / s, mb / s);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 100;
    const int bytes = (argc > 2 ? QByteArray(argv[2]).toInt() : 5) << 20;
    QTemporaryDir src, srcPeer;
    QTemporaryDir dst(QStringLiteral("/dev/shm/bench-filemove-XXXXXX")),
        dstPeer(QStringLiteral("/dev/shm/bench-peer-XXXXXX"));
    struct stat a {
    }, b {};
    if (!dst.isValid() || ::stat(QFile::encodeName(src.path()), &a) != 0
        || ::stat(QFile::encodeName(dst.path()), &b) != 0 || a.st_dev == b.st_dev) {
        std::printf("no second file system at /dev/shm\n");
        return 1;
    }
    if (!makePhotos(src.path(), count, bytes) || !makePhotos(srcPeer.path(), count, bytes)) {
        std::printf("could not write the photos\n");
        return 1;
    }
    const double mb = double(count) * bytes / (1 << 20);
    std::printf("%d photos of %d MB, %s -> %s\n", count, bytes >> 20, qPrintable(src.path()), qPrintable(dst.path()));

    int failed = 0, mv = 0;
    auto run = [&](const QString& from, const QString& to, const QString& peerFrom, const QString& peerTo) {
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("/p%1.jpg").arg(i);
            failed += FileCopier::moveFile(from + name, to + name) == FileCopier::Published ? 0 : 1;
        }
        report("  checked move (kit)", count, mb, clock.elapsed());
        QStringList args = QDir(peerFrom).entryList(QDir::Files);
        for (QString& f : args)
            f = peerFrom + "/" + f;
        args << peerTo;
        clock.restart();
        mv += QProcess::execute(QStringLiteral("mv"), args);
        report("  mv (peer)", count, mb, clock.elapsed());
        ::sync();
    };
    std::printf("onto tmpfs:\n");
    run(src.path(), dst.path(), srcPeer.path(), dstPeer.path());
    std::printf("back onto the disk:\n");
    run(dst.path(), src.path(), dstPeer.path(), srcPeer.path());
    if (failed || mv != 0)
        std::printf("failed: %d moves, mv exit %d\n", failed, mv);
    return failed || mv != 0 ? 1 : 0;
}
