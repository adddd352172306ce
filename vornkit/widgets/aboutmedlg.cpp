#include "widgets/aboutmedlg.h"
#include "ui_aboutmedlg.h"

#include <QSettings>

static const char* const GeometryKey = "AboutMeDlg/Geometry";

AboutMeDlg::AboutMeDlg(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
    , ui(std::make_unique<Ui::AboutMeDlg>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    loadWindowState();
}

AboutMeDlg::~AboutMeDlg() = default;

void AboutMeDlg::closeEvent(QCloseEvent* event)
{
    saveWindowState();
    QDialog::closeEvent(event);
}

void AboutMeDlg::loadWindowState()
{
    QSettings settings;
    const QByteArray geometry = settings.value(GeometryKey).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
}

void AboutMeDlg::saveWindowState()
{
    QSettings settings;
    settings.setValue(GeometryKey, saveGeometry());
}
