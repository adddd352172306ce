#pragma once

#include "sys/vornkit_global.h"

#include "widgets/icontextlabeldata.h"

#include <QLineEdit>
#include <QList>

class IconTextLabel;
class QHBoxLayout;

// A line edit that shows a row of icon-and-text chips.
class VORNKIT_EXPORT IconLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit IconLineEdit(QWidget* parent = nullptr);
    explicit IconLineEdit(const QString& text, QWidget* parent = nullptr);

    IconTextLabel* addTag(const IconTextLabelData& data);
    void setTags(const QList<IconTextLabelData>& tags);
    // Appends the chips' data, in chip order.
    void getTags(QList<IconTextLabelData>& tags) const;
    void clearTag();

private:
    void build();

    QHBoxLayout* m_lay1 = nullptr;
    QList<IconTextLabel*> labels;
};
