#pragma once

#include "app/cfgitem.h"
#include "app/cfglist.h"

#include <QDialog>
#include <QList>

#include <memory>

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace Ui {
class SettingDlg;
}

// The photo manager's settings: grid cell, tag saving, thumbnail cache and file strip (applied and saved by
// "应用" and "确定"), and the association of image types with the program (changed at each click). When the
// grid cell or the strip row changed, the windows are told through CfgNotifier.
class SettingDlg : public QDialog {
    Q_OBJECT
public:
    explicit SettingDlg(QWidget* parent = nullptr);
    ~SettingDlg() override;

    void setCurrentTab(int index);
    // The per-format boxes of the association page, in the order of the supported formats.
    const QList<QCheckBox*>& fileTypeBoxes() const { return m_fileTypeBoxes; }

public slots:
    void on_btApply_clicked();
    void on_btCancel_clicked();
    void on_btOk_clicked();
    void on_sbThumbWidth_valueChanged(int value);
    void on_sbThumbHeight_valueChanged(int value);
    void on_cbRecommendThumbSize_currentIndexChanged(QString text);
    void on_cbAdviseItemSize_currentIndexChanged(QString text);
    void on_sbItemWidth_valueChanged(int value);
    void on_sbItemHeight_valueChanged(int value);
    void on_sbListThumbWidth_valueChanged(int value);
    void on_sbListThumbHeight_valueChanged(int value);
    void on_cbAdviseListThumbSize_currentIndexChanged(QString text);
    void on_cbAll_clicked(bool checked);
    void onFileTypeClicked(bool checked);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildFileTypeBoxes();
    void settingsToUi();
    void applySettings();
    // Tells the windows about the sections that differ from what they were laid out with.
    void notifyViews();
    // Ticks the first box whose text is the format (case ignored), without a click.
    void setFileTypeChecked(const QString& format, bool checked);
    // After a change of the format's type, every box of that type shows the same state.
    void syncSameTypeBoxes(const QString& format, bool checked);

    QList<QCheckBox*> m_fileTypeBoxes;
    std::unique_ptr<Ui::SettingDlg> ui;
    // The cell and strip sections as the windows last laid them out (those the dialog opened with, then those
    // of each apply that changed them).
    CfgItem m_laidItem;
    CfgList m_laidList;
};
