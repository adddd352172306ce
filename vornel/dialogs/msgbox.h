#pragma once

#include <QString>

class QWidget;

// The photo manager's information box: title "提示", the one button "确定".
void showInfo(QWidget* parent, const QString& text);
