#pragma once

#include "grid/gridhost.h"
#include "viewer/canvashost.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class ImageShowView;
class QLabel;

// The viewer until the viewer window takes its place: the canvas showing the files the grid handed over, one at a
// time.
class StandInView : public QWidget, public GridViewer, public CanvasHost {
    Q_OBJECT
public:
    // The one window, made (not shown) when there is none; closing deletes it.
    static StandInView* instance();
    static StandInView* current();
    ~StandInView() override;

    QWidget* viewerWidget() override { return this; }
    bool isCurrentPath(const QString& filePath) override;
    int selectFile(const QString& filePath) override;
    int loadItems(QLinkedList<ItemInfoPtr>& items, const QString& curFile) override;
    QMenu* viewMenu() override { return nullptr; }
    void getItems(QLinkedList<ItemInfoPtr>& items) override;
    CanvasManager* manager() override;

    ImageShowView* canvas() const { return m_canvas; }
    int currentRow() const { return m_row; }
    int rowCount() const { return m_items.size(); }
    // Shows that row on the canvas; false when there is no such row.
    bool showRow(int row);

protected:
    void showEvent(QShowEvent* event) override;

private:
    StandInView();
    void onScaleChanged(double scale);
    void onImageChanged(const ItemInfoPtr& info);
    int rowOfFile(const QString& filePath) const;
    // Drops the rows; the last references go on the release pool so no item destructor blocks this thread.
    void releaseItems();

    static QPointer<StandInView> ms_instance;
    ImageShowView* m_canvas = nullptr;
    QLabel* m_info = nullptr;
    QLabel* m_scale = nullptr;
    QList<ItemInfoPtr> m_items;
    QString m_folder;
    int m_row = -1;
    bool m_shown = false;
    QMetaObject::Connection m_tagWatch; // refreshes the info line once the shown item knows its size
};
