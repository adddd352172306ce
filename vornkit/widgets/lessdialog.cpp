#include "widgets/lessdialog.h"

LessDialog::LessDialog(QWidget* parent, Qt::WindowFlags flags)
    : LessBase<QDialog>(parent, flags)
{
}

LessDialog::~LessDialog() = default;
