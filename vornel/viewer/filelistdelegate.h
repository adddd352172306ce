#pragma once

#include <QStyledItemDelegate>

class FileListWidget;

// Paints a row of the viewer's file strip: the thumbnail and the file name, image size and file size lines that
// the strip's settings ("list") show.
class FileListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit FileListDelegate(QObject* parent = nullptr);
    ~FileListDelegate() override;

    // The strip painted (not owned).
    void setList(FileListWidget* list) { m_list = list; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // Width 0 (rows span the strip) and the row height of the settings.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    FileListWidget* m_list = nullptr;
};
