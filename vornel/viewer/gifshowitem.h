#pragma once

#include "grid/iteminfo.h"
#include "viewer/handitem.h"

#include <QGraphicsProxyWidget>

#include <memory>

class QFile;
class QLabel;
class QMovie;

// An animated GIF on the canvas: a movie playing in a label embedded in the scene.
class GifShowItem : public HandItem<QGraphicsProxyWidget, QGraphicsItem> {
public:
    explicit GifShowItem(QGraphicsItem* parent = nullptr);
    ~GifShowItem() override;

    void hideItem() override;
    void showItem() override;
    // -1 for an empty pointer, else 0. Only a regular file plays; its frames are cached only while they all fit the
    // decoder's movie budget, and an animation whose frames are too large for the decode budget does not play.
    int load(const ItemInfoPtr& info);

protected:
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void hoverEnterEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverMoveEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* event) override;

private:
    // Lets the movie go of the file it reads.
    void unloadMovie();

    std::unique_ptr<QMovie> m_movie;
    std::unique_ptr<QFile> m_file; // the movie's device
    QLabel* m_label = nullptr; // owned by the proxy while it is the proxy's widget, else by this item
};
