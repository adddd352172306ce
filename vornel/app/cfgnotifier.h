#pragma once

#include <QObject>

// Tells the open windows that the settings dialog changed what they lay out or paint with. AppCfg stays a plain
// object; a window that shows the grid or the file strip connects to the one instance when it is made.
class CfgNotifier : public QObject {
    Q_OBJECT
public:
    static CfgNotifier* instance();

signals:
    // The grid cell ("item": size, image box or shown parts) changed: rescale the thumbnails and lay the cells
    // out again (the grid's onResizeItem).
    void itemChanged();
    // The file strip's row ("list": thumbnail size or shown lines) changed (the strip's onResizeItem).
    void listChanged();
    // The settings were applied and saved (tag options included).
    void applied();

private:
    CfgNotifier() = default;
};
