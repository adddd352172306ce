#pragma once

#include "sys/vornkit_global.h"

#include <QDialog>

#include <memory>

namespace Ui {
class LogDlg;
}

// Shows the lines of the Logger instance; keeps its geometry under "LogDlg/Geometry".
class VORNKIT_EXPORT LogDlg : public QDialog {
    Q_OBJECT
public:
    explicit LogDlg(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~LogDlg() override;

public slots:
    void on_btLoadLog_clicked();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::LogDlg> ui;
};
