#include "viewer/gifshowitem.h"

#include "meta/imagedecoder.h"
#include "sys/platform.h"

#include <QFile>
#include <QGraphicsSceneHoverEvent>
#include <QGraphicsSceneMouseEvent>
#include <QLabel>
#include <QMovie>

GifShowItem::GifShowItem(QGraphicsItem* parent)
    : HandItem(parent)
    , m_movie(std::make_unique<QMovie>())
    , m_label(new QLabel())
{
    m_movie->setCacheMode(QMovie::CacheAll);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setScaledContents(true);
    m_label->setCursor(m_openHand);
    setFlags(ItemIsSelectable | ItemIsMovable | ItemIsFocusable);
}

GifShowItem::~GifShowItem()
{
    m_label->setMovie(nullptr);
    unloadMovie();
    if (widget() == m_label)
        setWidget(nullptr);
    delete m_label;
}

int GifShowItem::load(const ItemInfoPtr& info)
{
    if (!info)
        return -1;
    filePath = absolutePath(info);
    unloadMovie();
    auto file = std::make_unique<QFile>();
    if (platform::openRegularFile(*file, filePath)) {
        const ImageDecoder::MoviePlay play = ImageDecoder::moviePlay(*file);
        if (play != ImageDecoder::MovieRefused) {
            m_movie->setCacheMode(play == ImageDecoder::MovieCached ? QMovie::CacheAll : QMovie::CacheNone);
            m_movie->setDevice(file.get());
            m_file = std::move(file);
        }
    }
    m_label->setMovie(m_movie.get());
    setWidget(m_label);
    return 0;
}

void GifShowItem::unloadMovie()
{
    m_movie->stop();
    m_movie->setFileName(QString());
    m_file.reset();
}

void GifShowItem::hideItem()
{
    unloadMovie();
    m_label->setMovie(nullptr);
    m_label->hide();
    setWidget(nullptr);
    hide();
    setRotation(0);
}

void GifShowItem::showItem()
{
    m_movie->start();
    m_label->show();
    show();
    m_label->adjustSize();
    adjustSize();
}

void GifShowItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    QGraphicsItem::mouseMoveEvent(event);
}

void GifShowItem::hoverEnterEvent(QGraphicsSceneHoverEvent* event)
{
    QGraphicsItem::hoverEnterEvent(event);
}

void GifShowItem::hoverMoveEvent(QGraphicsSceneHoverEvent* event)
{
    QGraphicsItem::hoverMoveEvent(event);
}

void GifShowItem::hoverLeaveEvent(QGraphicsSceneHoverEvent* event)
{
    QGraphicsItem::hoverLeaveEvent(event);
}
