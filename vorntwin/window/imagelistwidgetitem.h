#pragma once

#include <QImage>
#include <QListWidgetItem>
#include <QSize>
#include <QString>

// One cell of the thumbnail list: a file and its picture decoded for the cell.
class ImageListWidgetItem : public QListWidgetItem {
public:
    explicit ImageListWidgetItem(const QString& path);
    ~ImageListWidgetItem() override;

    // Decodes the file for the box (regular files only, upright, at reduced scale): what a load job runs.
    static QImage decode(const QString& path, const QSize& box);
    // Decodes here, for the current cell; 0 when loaded, -1 when not.
    int load();
    // Takes a picture decoded elsewhere; 0 when it is one, -1 when null.
    int setImage(const QImage& image);
    // Refits the preview to the current cell; -1 without a picture.
    int rescale();

    QString path;
    QImage image;
    QImage preview;
    int loaded = 0;
};
