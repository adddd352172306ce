#pragma once

#include "grid/iteminfo.h"

#include <QDialog>

#include <memory>

namespace Ui {
class RenameDlg;
}

// Asks for a new name of one image file and renames it in its folder. The dialog closes only when the file was
// renamed (or nothing was to be renamed); a refused or failed rename keeps it open with a message.
class RenameDlg : public QDialog {
    Q_OBJECT
public:
    explicit RenameDlg(QWidget* parent = nullptr);
    ~RenameDlg() override;

    // Shows the file's name with the part before its first dot selected.
    void setItemInfo(ItemInfoPtr info);

private slots:
    // Connected by name.
    void on_btRename_clicked();

private:
    ItemInfoPtr m_info;
    std::unique_ptr<Ui::RenameDlg> ui;
};
