#include "tagwidgets/xseltagcontainer.h"

XSelTagContainer::XSelTagContainer(QWidget* parent)
    : XTagContainer(parent)
{
}
