#pragma once

#include "sys/vornkit_global.h"

#include <QByteArray>
#include <QImage>
#include <QString>

class QFileInfo;

// One cached thumbnail: the [imagecache] row in memory.
class VORNKIT_EXPORT ImageCacheInfo {
public:
    ImageCacheInfo();

    // Scales the image into w x h (never enlarged) and records the box it was made for.
    int loadFromFile(const QFileInfo& fi, const QImage& image, int w, int h);
    // Takes a thumbnail already fitted into w x h and records that box, also when the picture is smaller than it:
    // a later resize to the same box then leaves the row alone.
    void setThumbFor(const QImage& fittedThumb, int w, int h);

    qint64 getRowId() const { return rowId; }
    void setRowId(qint64 v) { rowId = v; }
    const QString& getPath() const { return path; }
    void setPath(const QString& v) { path = v; }
    const QString& getFile() const { return file; }
    void setFile(const QString& v) { file = v; }
    int getThumbWidth() const { return thumbWidth; }
    void setThumbWidth(int v) { thumbWidth = v; }
    int getThumbHeight() const { return thumbHeight; }
    void setThumbHeight(int v) { thumbHeight = v; }
    int getFormat() const { return format; }
    void setFormat(int v) { format = v; }
    const QImage& getThumb() const { return thumb; }
    void setThumb(const QImage& v) { thumb = v; }
    // The thumbnail already encoded as the [thumbnail] column holds it; when set, a write stores it as it is
    // instead of encoding thumb, so the pixels need not wait in memory for the write.
    const QByteArray& getThumbPng() const { return thumbPng; }
    void setThumbPng(const QByteArray& v) { thumbPng = v; }

protected:
    qint64 rowId = 0;
    QString path;
    QString file;
    int thumbWidth = 0;
    int thumbHeight = 0;
    int format = 0;
    QImage thumb;
    QByteArray thumbPng;
};
