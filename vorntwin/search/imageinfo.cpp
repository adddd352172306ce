#include "search/imageinfo.h"

#include "db/sqlitedb.h"
#include "search/filemd5reader.h"
#include "search/findfileinfo.h"
#include "search/findfiletb.h"
#include "search/imagehashholder.h"
#include "search/likefindcfg.h"
#include "sys/fileutil.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QSqlQuery>
#include <QVariant>
#include <QVector>
#include <QtConcurrent>

#include <opencv2/core.hpp>

#include <algorithm>
#include <memory>
#include <vector>

#include <sys/stat.h>

namespace {

using Identity = QPair<quint64, quint64>;

bool cancelled(const std::atomic_bool* cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

// Device and inode behind a path (links followed); false when it cannot be read.
bool identityOf(const QString& path, Identity& id, bool& regular, bool& folder)
{
    struct stat st { };
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || ::stat(name.constData(), &st) != 0)
        return false;
    id = Identity(quint64(st.st_dev), quint64(st.st_ino));
    regular = S_ISREG(st.st_mode);
    folder = S_ISDIR(st.st_mode);
    return true;
}

// Walks folder trees into [FindFile]; every folder and every file is taken once, by device and inode. Files are
// listed under the path found below the chosen folders, a link under its own name; what a link reaches is taken
// only after every real folder and file, so that a file met both ways is listed at its own path.
class TreeLister {
public:
    TreeLister(SqliteDb* db, const std::atomic_bool* cancel)
        : m_tb(db)
        , m_filters(supportedImages())
        , m_cancel(cancel)
    {
    }

    // viaLink: the folder is a link whose turn has come.
    void listTree(const QString& folder, bool viaLink = false)
    {
        if (cancelled(m_cancel) || folder.isEmpty())
            return;
        const QString dir = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
        if (!viaLink && QFileInfo(dir).isSymLink()) {
            m_linkedDirs << dir;
            return;
        }
        Identity id;
        bool regular = false, isDir = false;
        if (!identityOf(dir, id, regular, isDir) || !isDir || m_dirs.contains(id))
            return;
        m_dirs.insert(id);
        listFiles(dir);
        QStringList subfolders;
        QDirIterator it(dir, QDir::Dirs | QDir::NoDotAndDotDot);
        while (it.hasNext())
            subfolders << it.next();
        for (const QString& sub : subfolders)
            listTree(sub);
    }

    int finish()
    {
        // Links last: their folders (which may hold more links), then their files.
        for (int i = 0; i < m_linkedDirs.size() && !cancelled(m_cancel); ++i)
            listTree(m_linkedDirs.at(i), true);
        for (const QFileInfo& link : qAsConst(m_linkedFiles)) {
            if (cancelled(m_cancel))
                break;
            addFile(link);
        }
        flush();
        return m_count;
    }

private:
    void listFiles(const QString& dir)
    {
        QDirIterator it(dir, m_filters, QDir::Files | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            it.next();
            const QFileInfo info = it.fileInfo();
            if (!info.isFile())
                continue;
            if (info.isSymLink())
                m_linkedFiles << info;
            else
                addFile(info);
        }
    }

    void addFile(const QFileInfo& info)
    {
        Identity id;
        bool regular = false, isDir = false;
        if (!identityOf(info.filePath(), id, regular, isDir) || !regular || m_files.contains(id))
            return;
        m_files.insert(id);
        FindFileInfo row;
        row.loadFromFileInfo(info);
        m_pending << row;
        if (m_pending.size() >= 1000)
            flush();
    }

    void flush()
    {
        m_count += m_tb.addFindFiles(m_pending);
        m_pending.clear();
    }

    FindFileTb m_tb;
    QStringList m_filters;
    const std::atomic_bool* m_cancel;
    QSet<Identity> m_dirs;
    QSet<Identity> m_files;
    QStringList m_linkedDirs;
    QList<QFileInfo> m_linkedFiles;
    QList<FindFileInfo> m_pending;
    int m_count = 0;
};

ImageInfo* fileNode(const QSqlQuery& q)
{
    auto* node = new ImageInfo();
    node->row = new FindFileInfo();
    node->row->loadFromQuery(q);
    return node;
}

QString groupLabel(const FindFileInfo& row, const QStringList& keys)
{
    QString label;
    for (const QString& key : keys) {
        const QString text = row.fieldText(key);
        if (!text.isEmpty())
            label += LikeFindCfg::fieldTitle(key) + QStringLiteral(" : ") + text + QStringLiteral("    ");
    }
    return label;
}

// Every file group at or below the node, with its parent (null for the node itself).
void collectGroups(ImageInfo* node, ImageInfo* parent, QList<QPair<ImageInfo*, ImageInfo*>>& groups)
{
    if (node->isFileGroup()) {
        groups << qMakePair(parent, node);
        return;
    }
    for (ImageInfo* child : node->children)
        collectGroups(child, node, groups);
}

// Splits each bucket of files by a key; buckets keep their files' order, and buckets of one file go.
template <class KeyFn> QList<QList<ImageInfo*>> refine(const QList<QList<ImageInfo*>>& buckets, KeyFn key)
{
    QList<QList<ImageInfo*>> out;
    for (const QList<ImageInfo*>& bucket : buckets) {
        QHash<QString, int> index;
        const int first = out.size();
        for (ImageInfo* file : bucket) {
            const QString k = key(file);
            if (k.isNull())
                continue;
            auto it = index.find(k);
            if (it == index.end()) {
                it = index.insert(k, out.size());
                out.append(QList<ImageInfo*>());
            }
            out[it.value()].append(file);
        }
        // Buckets of one file leave.
        for (int i = out.size() - 1; i >= first; --i) {
            if (out[i].size() < 2)
                out.removeAt(i);
        }
    }
    return out;
}

QList<ImageInfo*> flatten(const QList<QList<ImageInfo*>>& buckets)
{
    QList<ImageInfo*> all;
    for (const QList<ImageInfo*>& b : buckets)
        all << b;
    return all;
}

} // namespace

ImageInfo::ImageInfo() = default;

ImageInfo::~ImageInfo()
{
    qDeleteAll(children);
    delete row;
    delete reader;
    delete hasher;
}

bool ImageInfo::isFileGroup() const
{
    return !children.isEmpty() && children.first()->isFile();
}

bool ImageInfo::hasFile() const
{
    if (isFile())
        return true;
    for (const ImageInfo* child : children) {
        if (child->hasFile())
            return true;
    }
    return false;
}

void ImageInfo::collectFiles(QList<ImageInfo*>& files) const
{
    for (ImageInfo* child : children) {
        if (child->isFile())
            files << child;
        else
            child->collectFiles(files);
    }
}

void ImageInfo::collectFileGroups(QList<ImageInfo*>& groups)
{
    if (isFileGroup()) {
        groups << this;
        return;
    }
    for (ImageInfo* child : children)
        child->collectFileGroups(groups);
}

QList<QStringList> ImageInfo::fileGroupPaths()
{
    QList<ImageInfo*> groups;
    collectFileGroups(groups);
    QList<QStringList> paths;
    for (ImageInfo* g : groups) {
        QStringList files;
        for (ImageInfo* f : g->children) {
            if (f->isFile())
                files << f->row->fullPath();
        }
        paths << files;
    }
    return paths;
}

int ImageInfo::scanPaths(SqliteDb* db, const QStringList& folders, const std::atomic_bool* cancel)
{
    TreeLister lister(db, cancel);
    for (const QString& folder : folders)
        lister.listTree(QDir::fromNativeSeparators(folder));
    return lister.finish();
}

int ImageInfo::groupByAttributes(SqliteDb* db, const FindSettings& find)
{
    if (!db)
        return -1;
    const QStringList keys = find.selectedFields();
    QString sql = QString::fromLatin1(FindFileTb::selectSql);
    if (!keys.isEmpty()) {
        const QString order = find.orderByText();
        if (order.isEmpty())
            return -1;
        sql += QStringLiteral(" ORDER BY ") + order;
    }
    QSqlQuery q(db->db());
    q.setForwardOnly(true);
    if (!q.prepare(sql) || !q.exec())
        return -1;
    if (keys.isEmpty()) {
        while (q.next())
            children << fileNode(q);
        return 0;
    }

    QStringList previous;
    QList<ImageInfo*> group;
    auto closeGroup = [&] {
        if (group.size() < 2) {
            qDeleteAll(group);
        } else {
            auto* node = new ImageInfo();
            node->label = groupLabel(*group.first()->row, keys);
            node->children = group;
            children << node;
        }
        group.clear();
    };
    while (q.next()) {
        QStringList values;
        for (const QString& key : keys)
            values << q.value(key).toString();
        if (values != previous)
            closeGroup();
        group << fileNode(q);
        previous = values;
    }
    closeGroup();
    return 0;
}

int ImageInfo::confirmContent(const std::atomic_bool* cancel)
{
    QList<QPair<ImageInfo*, ImageInfo*>> groups;
    collectGroups(this, nullptr, groups);

    // Within each group: files by size first.
    QList<QList<QList<ImageInfo*>>> bySize;
    for (const auto& pg : groups) {
        ImageInfo* group = pg.second;
        QList<ImageInfo*> files;
        for (ImageInfo* child : group->children) {
            if (child->isFile())
                files << child;
            else
                delete child;
        }
        group->children = files;
        bySize << refine({ files }, [](ImageInfo* f) { return QString::number(f->row->FileSize); });
    }

    // Then by the first block, read in parallel; only what is left is read whole, in parallel too.
    auto readFirst = [cancel](ImageInfo* f) {
        if (cancelled(cancel))
            return;
        if (!f->reader)
            f->reader = new FileMd5Reader();
        if (f->reader->open(f->row->fullPath()))
            f->reader->readNext();
        f->reader->close();
    };
    auto readWhole = [cancel](ImageInfo* f) {
        if (cancelled(cancel) || f->reader->failed() || !f->reader->open(f->row->fullPath()))
            return;
        f->reader->readRest(cancel);
        f->reader->close();
    };
    auto digestKey = [](ImageInfo* f) {
        const FileMd5Reader* r = f->reader;
        if (!r || r->failed() || r->digest().isEmpty())
            return QString();
        f->row->FullMD5 = r->digest();
        return r->digest();
    };

    QList<ImageInfo*> first;
    for (const auto& buckets : bySize)
        first << flatten(buckets);
    QtConcurrent::blockingMap(first, readFirst);
    QList<QList<QList<ImageInfo*>>> byHead;
    for (const auto& buckets : bySize)
        byHead << refine(buckets, digestKey);

    QList<ImageInfo*> whole;
    for (const auto& buckets : byHead)
        whole << flatten(buckets);
    QtConcurrent::blockingMap(whole, readWhole);
    if (cancelled(cancel))
        return 0;

    for (int g = 0; g < groups.size(); ++g) {
        ImageInfo* parent = groups[g].first;
        ImageInfo* group = groups[g].second;
        QList<QList<ImageInfo*>> sets = refine(byHead[g],
            [&digestKey](ImageInfo* f) { return f->reader && f->reader->atEnd() ? digestKey(f) : QString(); });
        const QList<ImageInfo*> keptList = flatten(sets);
        const QSet<ImageInfo*> kept(keptList.begin(), keptList.end());
        QList<ImageInfo*> gone;
        for (ImageInfo* f : group->children) {
            if (!kept.contains(f))
                gone << f;
        }
        qDeleteAll(gone);
        // One group per content, in the order of their first files, each under the group's label.
        QHash<ImageInfo*, int> position;
        for (int i = 0; i < group->children.size(); ++i)
            position.insert(group->children[i], i);
        std::sort(sets.begin(), sets.end(), [&position](const QList<ImageInfo*>& a, const QList<ImageInfo*>& b) {
            return position.value(a.first()) < position.value(b.first());
        });
        group->children.clear();
        if (sets.isEmpty())
            continue;
        if (!parent) {
            // The node itself held the files: its groups go below it.
            for (const QList<ImageInfo*>& set : sets) {
                auto* node = new ImageInfo();
                node->children = set;
                group->children << node;
            }
            continue;
        }
        group->children = sets.takeFirst();
        int at = parent->children.indexOf(group);
        for (const QList<ImageInfo*>& set : sets) {
            auto* node = new ImageInfo();
            node->label = group->label;
            node->children = set;
            parent->children.insert(++at, node);
        }
    }
    for (const auto& pg : groups) {
        for (ImageInfo* f : pg.second->children) {
            delete f->reader;
            f->reader = nullptr;
        }
    }
    return 0;
}

int ImageInfo::groupSimilar(const FindSettings& find, const std::atomic_bool* cancel, int* unhashed)
{
    if (unhashed)
        *unhashed = 0;
    QList<QPair<ImageInfo*, ImageInfo*>> groups;
    collectGroups(this, nullptr, groups);

    QList<QList<ImageInfo*>> work;
    QList<ImageInfo*> all;
    for (const auto& pg : groups) {
        ImageInfo* group = pg.second;
        QList<ImageInfo*> files;
        for (ImageInfo* f : group->children) {
            if (!f->row) {
                delete f;
                continue;
            }
            if (!f->hasher)
                f->hasher = new ImageHashHolder();
            if (!f->hasher->setFile(f->row->fullPath())) {
                delete f;
                continue;
            }
            files << f;
        }
        group->children.clear();
        work << files;
        all << files;
    }

    // Largest files first: the longest decodes start at once instead of finishing last, alone.
    std::stable_sort(
        all.begin(), all.end(), [](ImageInfo* a, ImageInfo* b) { return a->row->FileSize > b->row->FileSize; });
    // On every core; the pool runs the pictures side by side, so OpenCV's own threads would only compete with it.
    cv::setNumThreads(1);
    // Each running job takes a scratch from the shelf and puts it back: photos of one camera reuse its memory.
    QMutex shelfLock;
    std::vector<std::unique_ptr<ImageHashHolder::Scratch>> shelf;
    QtConcurrent::blockingMap(all, [&](ImageInfo* f) {
        if (cancelled(cancel))
            return;
        std::unique_ptr<ImageHashHolder::Scratch> scratch;
        {
            QMutexLocker lock(&shelfLock);
            if (!shelf.empty()) {
                scratch = std::move(shelf.back());
                shelf.pop_back();
            }
        }
        if (!scratch)
            scratch = std::make_unique<ImageHashHolder::Scratch>();
        f->hasher->compute(scratch.get());
        QMutexLocker lock(&shelfLock);
        shelf.push_back(std::move(scratch));
    });
    if (cancelled(cancel)) {
        qDeleteAll(all);
        return 0;
    }

    static const char* const bandNames[] = { "无明显差异", "有细小差异", "有稍大差异" };
    const int limits[] = { find.NoDiff, find.LittleDiff, find.MediumDiff };
    const bool keep[] = { find.FindNoDiff, find.FindLittleDiff, find.FindMediumDiff };
    for (int g = 0; g < groups.size(); ++g) {
        ImageInfo* parent = groups[g].first;
        ImageInfo* group = groups[g].second;
        QList<ImageInfo*> files, failed;
        for (ImageInfo* f : work[g])
            (f->hasher->hasHash() ? files : failed) << f;
        while (!files.isEmpty()) {
            ImageInfo* ref = files.takeFirst();
            auto* refGroup = new ImageInfo();
            refGroup->label = QStringLiteral("基准文件:") + ref->row->fullPath();
            group->children << refGroup;
            ImageInfo* bands[3];
            for (int b = 0; b < 3; ++b) {
                bands[b] = new ImageInfo();
                bands[b]->label = QString::fromUtf8(bandNames[b]);
            }
            for (int i = 0; i < files.size();) {
                const int d = files[i]->hasher->compare(*ref->hasher);
                int band = -1;
                for (int b = 0; b < 3 && band < 0; ++b) {
                    if (d <= limits[b])
                        band = b;
                }
                if (band < 0) {
                    ++i;
                    continue;
                }
                bands[band]->children << files.takeAt(i);
            }
            // A band is shown when it holds a file besides the reference and is asked for; the reference goes
            // into the first band shown, so that a photo with a single resized copy is found too.
            bool refPlaced = false;
            for (int b = 0; b < 3; ++b) {
                if (bands[b]->children.isEmpty() || !keep[b]) {
                    delete bands[b];
                    continue;
                }
                if (!refPlaced) {
                    bands[b]->children.prepend(ref);
                    refPlaced = true;
                }
                refGroup->children << bands[b];
            }
            if (!refPlaced)
                delete ref;
        }

        // Pictures that give no hash stay together where their content was compared: equal attributes alone (or
        // nothing chosen at all) make no duplicates of two files that cannot be told apart by their pictures.
        if (unhashed)
            *unhashed += failed.size();
        if (failed.size() < 2 || !(find.FullContentIsSame || find.PartContentIsSame)) {
            qDeleteAll(failed);
            continue;
        }
        auto* node = new ImageInfo();
        node->label = group->label;
        node->children = failed;
        if (parent)
            parent->children.insert(parent->children.indexOf(group) + 1, node);
        else
            group->children << node;
    }
    return 0;
}

void ImageInfo::releaseReaders()
{
    delete reader;
    reader = nullptr;
    delete hasher;
    hasher = nullptr;
    for (ImageInfo* child : children)
        child->releaseReaders();
}
