#pragma once

#include "sys/vornkit_global.h"

#include "tagwidgets/xtagcontainer.h"

// The container type of the selected tags.
class VORNKIT_EXPORT XSelTagContainer : public XTagContainer {
    Q_OBJECT
public:
    explicit XSelTagContainer(QWidget* parent = nullptr);
};
