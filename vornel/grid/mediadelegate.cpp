#include "grid/mediadelegate.h"

#include "app/appcfg.h"
#include "grid/mediaitem.h"
#include "grid/mediamodel.h"

#include <QPainter>

MediaDelegate::MediaDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

QSize MediaDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    const CfgItem& cfg = AppCfg::instance()->item;
    return QSize(cfg.itemWidth, cfg.itemHeight);
}

void MediaDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const MediaItem* item = m_model ? m_model->itemFromIndex(index) : nullptr;
    if (!item || !item->getInfo())
        return;
    // Held for the whole paint: the row may drop its reference meanwhile.
    const ItemInfoPtr info = item->getInfo();
    CfgItem cfg = AppCfg::instance()->item;
    cfg.translate(option.rect.left(), option.rect.top());
    painter->save();

    const int hover = info->hoverPart.load();
    const QImage thumb = info->thumbnail();
    if (!thumb.isNull()) {
        QRect target = cfg.rcImage;
        if (thumb.width() < target.width()) {
            target.setLeft(target.left() + (target.width() - thumb.width()) / 2);
            target.setWidth(thumb.width());
        }
        if (thumb.height() < target.height()) {
            target.setTop(target.top() + (target.height() - thumb.height()) / 2);
            target.setHeight(thumb.height());
        }
        painter->drawImage(target, thumb);
    }

    painter->setPen(Qt::lightGray);
    if (cfg.showImageSize > 0)
        painter->drawText(cfg.rcImageSize, Qt::AlignLeft | Qt::AlignVCenter, info->imageSizeText());
    if (cfg.showFileSize > 0)
        painter->drawText(cfg.rcFileSize, Qt::AlignRight | Qt::AlignVCenter, info->fileSizeText());
    if (cfg.showFileName > 0) {
        if (hover == PartFileName) {
            painter->setPen(Qt::black);
            painter->drawRect(cfg.rcFileName);
        }
        painter->drawText(cfg.rcFileName, Qt::AlignLeft | Qt::AlignVCenter, info->fileName());
    }

    if (cfg.showColor > 0) {
        if (hover > 0 || cfg.showColorBorder > 0)
            painter->setPen(Qt::lightGray);
        else
            painter->setPen(Qt::NoPen);
        for (int k = 0; k < 4; ++k) {
            const QRgb rgb = info->rgb(k);
            if (rgb != 0)
                painter->setBrush(QBrush(QColor::fromRgb(rgb), Qt::SolidPattern));
            else
                painter->setBrush(Qt::NoBrush);
            painter->drawRect(cfg.rcColor[k]);
        }
        const int slot = colorSlotOfPart(hover);
        if (slot >= 0) {
            painter->setPen(Qt::black);
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(cfg.rcColor[slot]);
        }
        painter->setBrush(Qt::NoBrush);
    }

    if (cfg.showTag > 0) {
        const bool outlined = hover > 0 || cfg.showTagBorder > 0;
        struct Part {
            int code;
            QRect rect;
            QString text;
            int align;
        };
        const Part parts[3] = {
            { PartTagRow, cfg.rcTag, info->tagText(), Qt::AlignLeft | Qt::AlignVCenter },
            { PartTagButton, cfg.rcTagButton, outlined ? QStringLiteral("...") : QString(), Qt::AlignCenter },
            { PartStarButton, cfg.rcStarButton, info->starText(), Qt::AlignCenter },
        };
        for (const Part& part : parts) {
            if (outlined) {
                painter->setPen(Qt::lightGray);
                painter->drawRect(part.rect);
            }
            if (hover == part.code) {
                painter->setPen(Qt::black);
                painter->drawRect(part.rect);
            } else {
                painter->setPen(Qt::lightGray);
            }
            if (!part.text.isEmpty())
                painter->drawText(part.rect, part.align, part.text);
        }
    }

    const QRect border = cfg.rcItem.adjusted(0, 0, -1, -1);
    if (option.state & QStyle::State_Selected) {
        painter->setPen(Qt::blue);
        painter->drawRect(border);
    } else if (option.state & QStyle::State_MouseOver) {
        painter->setPen(Qt::black);
        painter->drawRect(border);
    } else if (cfg.showItemBorder > 0) {
        painter->setPen(Qt::lightGray);
        painter->drawRect(border);
    }
    painter->restore();
}
