#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class HisTextTagDlg;
}

// Edits the offered text tags as one text: tags separated by blanks, line breaks or list separators.
class HisTextTagDlg : public QDialog {
    Q_OBJECT
public:
    explicit HisTextTagDlg(QWidget* parent = nullptr);
    ~HisTextTagDlg() override;

    QString getTextTags() const;

private slots:
    // Connected by name: OK refuses a text that holds no tag.
    void on_btOk_clicked();
    void on_btCancel_clicked();

private:
    std::unique_ptr<Ui::HisTextTagDlg> ui;
};
