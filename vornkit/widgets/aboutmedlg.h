#pragma once

#include "sys/vornkit_global.h"

#include <QDialog>

#include <memory>

namespace Ui {
class AboutMeDlg;
}

// The modal about box of every program; keeps its geometry under "AboutMeDlg/Geometry".
class VORNKIT_EXPORT AboutMeDlg : public QDialog {
    Q_OBJECT
public:
    explicit AboutMeDlg(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~AboutMeDlg() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void loadWindowState();
    void saveWindowState();

    std::unique_ptr<Ui::AboutMeDlg> ui;
};
