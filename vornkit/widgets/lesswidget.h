#pragma once

#include "sys/vornkit_global.h"
#include "widgets/lessbase.h"

#include <QWidget>

// A frameless top-level window on QWidget, the base of the suite's main windows.
class VORNKIT_EXPORT LessWidget : public LessBase<QWidget> {
    Q_OBJECT
public:
    explicit LessWidget(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~LessWidget() override;

public slots:
    // Title-bar actions.
    void onClose() { close(); }
    void onMaximize() { toggleMaximized(); }
    void onMinimize() { showMinimized(); }
};
