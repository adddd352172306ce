#pragma once

#include "sys/vornkit_global.h"

#include "tagwidgets/xtagcontainer.h"

class XAddButton;

// A tag container with an add button on a row of its own after the chips.
class VORNKIT_EXPORT XAllTagContainer : public XTagContainer {
    Q_OBJECT
public:
    explicit XAllTagContainer(QWidget* parent = nullptr);

    XAddButton* addButton() const { return m_addButton; }
    int arrangeCtrl(int width) override;

signals:
    void sign_add_clicked(bool checked);

private:
    XAddButton* m_addButton;
};
