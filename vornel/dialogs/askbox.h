#pragma once

#include <QString>

class QWidget;

// The message boxes of the panels and dialogs: "提示" with "确定", and "确认" with "是" (default) and "否".
class AskBox {
public:
    static void info(QWidget* parent, const QString& text);
    // True only when "是" was chosen; closing the box counts as no.
    static bool yes(QWidget* parent, const QString& text);
};
