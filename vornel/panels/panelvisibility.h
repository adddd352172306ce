#pragma once

#include <QWidget>

// A panel ignores new pictures while its dock (its parent), or without a parent the panel itself, is hidden.
inline bool isPanelHidden(const QWidget* panel)
{
    const QWidget* dock = panel->parentWidget() ? panel->parentWidget() : panel;
    return dock->isHidden();
}
