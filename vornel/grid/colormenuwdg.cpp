#include "grid/colormenuwdg.h"

#include "meta/colorstat.h"
#include "tagwidgets/xtaglabel.h"
#include "ui_colormenuwdg.h"

ColorMenuWdg::ColorMenuWdg(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::ColorMenuWdg>())
{
    ui->setupUi(this);
    const QList<uint> palette = ColorStat::getPalette();
    const QList<XTagLabel*> all = labels();
    for (int i = 0; i < all.size(); ++i) {
        XTagLabel* label = all[i];
        if (label != ui->lbClose && i < palette.size())
            label->setRgb(palette[i]);
        connect(label, &XTagLabel::sign_tag_clicked, this, &ColorMenuWdg::sign_color_selected);
    }
}

ColorMenuWdg::~ColorMenuWdg() = default;

QList<XTagLabel*> ColorMenuWdg::labels() const
{
    return { ui->lb01, ui->lb02, ui->lb03, ui->lb04, ui->lb05, ui->lb06, ui->lb07, ui->lb08, ui->lb09, ui->lb10,
        ui->lb11, ui->lb12, ui->lbClose };
}
