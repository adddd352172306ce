#pragma once

#include "sys/vornkit_global.h"

#include <QFlags>
#include <QString>

class BookPathInfo;

// One favourite: a folder or a file on disk, held by a category folder.
class VORNKIT_EXPORT BookMarkInfo {
public:
    // Stored in [bookmark].[type].
    enum BookMarkType {
        BookMarkPath = 1, // the target is a folder
        BookMarkFile = 2, // the target is a file
    };
    Q_DECLARE_FLAGS(BookMarkTypes, BookMarkType)

    BookMarkInfo();
    ~BookMarkInfo();

    // name := the file-name part of file, or the whole file when that part is empty.
    int calcName();

    qint64 getRowId() const { return rowId; }
    void setRowId(qint64 v) { rowId = v; }
    qint64 getParentId() const { return parentId; }
    void setParentId(qint64 v) { parentId = v; }
    const QString& getName() const { return name; }
    void setName(const QString& v) { name = v; }
    BookMarkType getBookMarkType() const { return type; }
    void setBookMarkType(BookMarkType v) { type = v; }
    const QString& getFile() const { return file; }
    void setFile(const QString& v) { file = v; }
    BookPathInfo* getParent() const { return parent; }
    void setParent(BookPathInfo* v) { parent = v; }

private:
    BookMarkInfo(const BookMarkInfo&) = delete;
    BookMarkInfo& operator=(const BookMarkInfo&) = delete;

    qint64 rowId = 0;
    qint64 parentId = 0;
    QString name;
    BookMarkType type = BookMarkType(0);
    QString file;
    BookPathInfo* parent = nullptr;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(BookMarkInfo::BookMarkTypes)
