#pragma once

#include <QList>
#include <QWidget>

#include <memory>

class XTagLabel;

namespace Ui {
class ColorMenuWdg;
}

// The colour picker of the grid's colour menu: the twelve palette swatches and a label that clears the colour.
class ColorMenuWdg : public QWidget {
    Q_OBJECT
public:
    explicit ColorMenuWdg(QWidget* parent = nullptr);
    ~ColorMenuWdg() override;

    // The twelve swatches in palette order, then the clearing label.
    QList<XTagLabel*> labels() const;

signals:
    void sign_color_selected(XTagLabel* ctl);

private:
    std::unique_ptr<Ui::ColorMenuWdg> ui;
};
