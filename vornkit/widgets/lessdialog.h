#pragma once

#include "sys/vornkit_global.h"
#include "widgets/lessbase.h"

#include <QDialog>

// A frameless top-level window on QDialog.
class VORNKIT_EXPORT LessDialog : public LessBase<QDialog> {
    Q_OBJECT
public:
    explicit LessDialog(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~LessDialog() override;

public slots:
    // Title-bar actions.
    void onClose() { close(); }
    void onMaximize() { toggleMaximized(); }
    void onMinimize() { showMinimized(); }
};
