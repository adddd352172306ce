#pragma once

#include "sys/vornkit_global.h"

#include <QFrame>
#include <QList>
#include <QStringList>

class XTagLabel;

// A frame that flows tag chips into rows like words of a paragraph. Removed chips are
// hidden and kept for reuse. Adding or removing chips does not lay them out again: call
// arrangeCtrl afterwards and when the width changes, and size the frame from its result.
class VORNKIT_EXPORT XTagContainer : public QFrame {
    Q_OBJECT
public:
    explicit XTagContainer(QWidget* parent = nullptr);

    bool addTag(QString text, bool showClose = false);
    bool addTag(const QStringList& texts, bool showClose = false);
    // Colours as 0xAARRGGBB; the list form takes decimal texts and skips any that is not a number.
    bool addColor(uint rgb, bool showClose = false);
    bool addColor(const QStringList& rgbs, bool showClose = false);
    bool setTag(const QStringList& texts, bool showClose = false);
    bool setColor(const QList<uint>& rgbs, bool showClose = false);
    // False for null or a chip not shown here.
    bool delTag(XTagLabel* ctl);
    bool delColor(XTagLabel* ctl);

    // Case-sensitive; null when no shown chip matches.
    XTagLabel* findTag(QString text);
    XTagLabel* findColor(uint rgb);
    XTagLabel* findColor(QString rgb);
    QStringList getTag();
    QList<uint> getColor();

    // Places and shows the chips for the given width; returns the height they need.
    virtual int arrangeCtrl(int width);

signals:
    void sign_close_clicked(XTagLabel* ctl);
    void sign_tag_clicked(XTagLabel* ctl);

protected:
    void hideAllCtrl();
    XTagLabel* takeCtrl(QString text, bool showClose);
    XTagLabel* takeCtrl(uint rgb, bool showClose);
    void resizeEvent(QResizeEvent* event) override;
    // Steps shared with derived layouts: flows the chips from pos, adding row heights to total;
    // returns whether a chip was placed.
    bool flowCtrl(int width, QPoint& pos, int& total);

    int margin = 6;
    int spacing = 6;
    QList<XTagLabel*> ctrls;
    QList<XTagLabel*> spares;

private:
    XTagLabel* takeSpare(bool showClose);
};
