#include "standinwnd.h"

#include <QLabel>

QPointer<StandInWnd> StandInWnd::ms_instance;

StandInWnd::StandInWnd()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("蔚禾照片管理"));
    m_label = new QLabel(this);
    m_label->setAlignment(Qt::AlignCenter);
    setCentralWidget(m_label);
    resize(1024, 680);
}

StandInWnd* StandInWnd::instance()
{
    if (!ms_instance)
        ms_instance = new StandInWnd();
    return ms_instance;
}

StandInWnd* StandInWnd::current()
{
    return ms_instance;
}

void StandInWnd::openFile(const QString& path)
{
    m_file = path;
    m_label->setText(path);
}
