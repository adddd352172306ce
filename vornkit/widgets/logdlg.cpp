#include "widgets/logdlg.h"
#include "ui_logdlg.h"

#include "sys/logger.h"

#include <QSettings>

static const char* const GeometryKey = "LogDlg/Geometry";

LogDlg::LogDlg(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
    , ui(std::make_unique<Ui::LogDlg>())
{
    ui->setupUi(this);
    QSettings settings;
    const QByteArray geometry = settings.value(GeometryKey).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
}

LogDlg::~LogDlg() = default;

void LogDlg::on_btLoadLog_clicked()
{
    Logger* logger = Logger::GetInstance();
    if (!logger)
        return;
    // Plain text: a logged message may hold markup.
    ui->teLog->setPlainText(logger->getLogs().join('\n'));
}

void LogDlg::closeEvent(QCloseEvent* event)
{
    QSettings settings;
    settings.setValue(GeometryKey, saveGeometry());
    QDialog::closeEvent(event);
}

void LogDlg::showEvent(QShowEvent* event)
{
    on_btLoadLog_clicked();
    QDialog::showEvent(event);
}
