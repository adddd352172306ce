#pragma once

#include <QFutureWatcher>
#include <QImage>
#include <QListWidget>
#include <QSize>

class ImageListDelegate;
class QAction;
class QMenu;

// The thumbnails of the current group; pictures are decoded on the pool at the cell's size.
class ImageListWidget : public QListWidget {
    Q_OBJECT
public:
    explicit ImageListWidget(QWidget* parent = nullptr);
    ~ImageListWidget() override;

    // Refits every cell to the current cell size, and decodes again for it.
    void rescaleItems();
    // True while pictures of the current group are still being decoded.
    bool isLoading() const;

signals:
    // Every picture of the current group has been decoded (or failed).
    void imagesLoaded();
    // The user chose "删除(&D)" for these files; the window moves them to the trash, asking as the tree does.
    void trashRequested(QStringList files);

public slots:
    void onLoadFiles(QStringList files);
    void onSelectItem(QString file);
    void onCut();
    void onCopy();
    void onDelete();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void startLoading();
    void stopLoading();
    QStringList selectedPaths() const;

    ImageListDelegate* m_delegate = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_cut = nullptr;
    QAction* m_copy = nullptr;
    QAction* m_delete = nullptr;
    QFutureWatcher<QImage>* m_loader = nullptr;
};
