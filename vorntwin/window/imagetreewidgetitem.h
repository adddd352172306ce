#pragma once

#include <QTreeWidgetItem>

class ImageInfo;

// A row of the result tree over one node; the node stays with the search's root unless owns is set.
class ImageTreeWidgetItem : public QTreeWidgetItem {
public:
    explicit ImageTreeWidgetItem(ImageInfo* node = nullptr);
    ~ImageTreeWidgetItem() override;

    // Sets the row's texts from its node.
    void fillTexts();

    bool owns = true;
    ImageInfo* node = nullptr;
};
