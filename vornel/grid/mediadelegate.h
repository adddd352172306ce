#pragma once

#include <QStyledItemDelegate>

class MediaListView;
class MediaModel;

// Paints a grid cell from its item and the cell layout of the settings.
class MediaDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit MediaDelegate(QObject* parent = nullptr);

    MediaModel* model() const { return m_model; }
    void setModel(MediaModel* model) { m_model = model; }
    MediaListView* view() const { return m_view; }
    void setView(MediaListView* view) { m_view = view; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    MediaModel* m_model = nullptr;
    MediaListView* m_view = nullptr;
};
