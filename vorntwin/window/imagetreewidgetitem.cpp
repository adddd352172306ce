#include "window/imagetreewidgetitem.h"

#include "search/findfileinfo.h"
#include "search/imageinfo.h"

#include <QDir>

ImageTreeWidgetItem::ImageTreeWidgetItem(ImageInfo* n)
    : node(n)
{
}

ImageTreeWidgetItem::~ImageTreeWidgetItem()
{
    if (owns)
        delete node;
}

void ImageTreeWidgetItem::fillTexts()
{
    if (!node)
        return;
    if (const FindFileInfo* row = node->row) {
        setText(0, QDir::toNativeSeparators(row->FilePath));
        setText(1, row->FileName);
        setText(2, QString::number(row->FileSize));
        setText(3, row->FileType);
        setText(4, row->CreationTime);
        setText(5, row->LastWriteTime);
    } else {
        setText(0, node->label);
    }
}
