#pragma once

#include "sys/cfgholder.h"

#include <QRect>
#include <QString>
#include <QStringList>

// The "find" section: what a search groups by, the similarity bands and the folders.
struct FindSettings {
    bool FileTypeIsSame = true;
    bool FileNameIsSame = false;
    bool FileSizeIsSame = true;
    bool CreationTimeIsSame = false;
    bool LastAccessTimeIsSame = false;
    bool LastWriteTimeIsSame = false;
    bool PartContentIsSame = false;
    bool FullContentIsSame = true;
    bool FindSimilarImage = true;
    bool FindNoDiff = true;
    int NoDiff = 0;
    bool FindLittleDiff = false;
    int LittleDiff = 10;
    bool FindMediumDiff = false;
    int MediumDiff = 20;
    QStringList FindPath;

    // The grouping keys whose flag is on, in their fixed order.
    QStringList selectedFields() const;
    // Their ordering terms joined, blanks and commas trimmed at both ends.
    QString orderByText() const;
};

// The "layout" section: the preview cell and its three rectangles (computed, not stored).
struct FindLayout {
    int ItemWidth = 300;
    int ItemHeight = 300;
    int BorderSpace = 2;
    int TextHeight = 20;
    QRect itemRect;
    QRect imageRect;
    QRect textRect;

    void updateRects();
    void translateRects(int dx, int dy);
};

// The duplicate finder's settings, one object per process, kept in "profile/vorntwin.cfg".
class LikeFindCfg : public CfgHolder<LikeFindCfg> {
public:
    // 0 when read; -1 when the file cannot be read or is not JSON (the values then stay).
    int load(const QString& fileName);
    // 0 when written; -1 when the file cannot be opened.
    int save(const QString& fileName) const;

    static QString fieldTitle(const QString& key);
    QStringList selectedFields() const { return find.selectedFields(); }
    QString orderByText() const { return find.orderByText(); }
    void updateRects() { layout.updateRects(); }
    void translateRects(int dx, int dy) { layout.translateRects(dx, dy); }

    QString LastPath;
    FindSettings find;
    FindLayout layout;

private:
    friend class CfgHolder<LikeFindCfg>;
    LikeFindCfg() = default;
};
