#pragma once

#include "sys/vornkit_global.h"
#include "widgets/lessbase.h"

#include <QMainWindow>

// A frameless top-level window on QMainWindow.
class VORNKIT_EXPORT LessMainWindow : public LessBase<QMainWindow> {
    Q_OBJECT
public:
    explicit LessMainWindow(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~LessMainWindow() override;

public slots:
    // Title-bar actions.
    void onClose() { close(); }
    void onMaximize() { toggleMaximized(); }
    void onMinimize() { showMinimized(); }
};
