#pragma once

#include "sys/vornkit_global.h"

#include <QLabel>

// A label that reports left-button presses.
class VORNKIT_EXPORT XStatusBarLabel : public QLabel {
    Q_OBJECT
public:
    explicit XStatusBarLabel(QWidget* parent = nullptr);
    explicit XStatusBarLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void sign_clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
