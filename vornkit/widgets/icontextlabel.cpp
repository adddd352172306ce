#include "widgets/icontextlabel.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

IconTextLabel::IconTextLabel(QWidget* parent, Qt::WindowFlags flags)
    : QLabel(parent, flags)
{
    build();
}

IconTextLabel::IconTextLabel(const QString& text, QWidget* parent, Qt::WindowFlags flags)
    : QLabel(text, parent, flags)
{
    build();
}

void IconTextLabel::build()
{
    m_icon = new QLabel(this);
    m_icon->setObjectName("m_icon");
    m_icon->setFixedSize(16, 16);
    m_icon->setScaledContents(true);
    m_icon->setAlignment(Qt::AlignCenter);

    m_text = new QLabel(this);
    m_text->setObjectName("m_text");
    m_text->setTextFormat(Qt::PlainText);
    m_text->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    m_text->setMaximumHeight(24);

    m_button = new QToolButton(this);
    m_button->setObjectName("m_button");
    m_button->setMaximumSize(16, 16);
    m_button->hide();

    m_lay1 = new QHBoxLayout(this);
    m_lay1->setObjectName("m_lay1");
    m_lay1->setSpacing(0);
    m_lay1->setContentsMargins(0, 0, 0, 0);
    m_lay1->addWidget(m_icon);
    m_lay1->addWidget(m_text);

    m_lay2 = new QVBoxLayout;
    m_lay2->setObjectName("m_lay2");
    m_lay2->setSpacing(0);
    m_lay2->addWidget(m_button);
    m_lay2->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));
    m_lay1->addLayout(m_lay2);
}

static QPixmap firstPixmap(const QIcon& icon)
{
    const QList<QSize> sizes = icon.availableSizes(QIcon::Normal, QIcon::Off);
    return sizes.isEmpty() ? QPixmap() : icon.pixmap(sizes.first(), QIcon::Normal, QIcon::Off);
}

void IconTextLabel::setInfo(const IconTextLabelData& data)
{
    m_icon->setPixmap(firstPixmap(data.icon));
    m_text->setText(data.text);
    m_button->setIcon(data.buttonIcon);
    m_button->setVisible(data.showButton);
    userData = data.userData;
    updateGeometry();
}

void IconTextLabel::setIcon(const QIcon& icon)
{
    m_icon->setPixmap(firstPixmap(icon));
}

void IconTextLabel::setIcon(const QPixmap& pixmap)
{
    m_icon->setPixmap(pixmap);
}

void IconTextLabel::setIcon(const QString& file)
{
    m_icon->setPixmap(QPixmap(file));
}

QIcon IconTextLabel::getIcon() const
{
    const QPixmap pixmap = m_icon->pixmap(Qt::ReturnByValue);
    return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

void IconTextLabel::setTextTag(const QString& text)
{
    m_text->setText(text);
    updateGeometry();
}

QString IconTextLabel::getTextTag() const
{
    return m_text->text();
}

void IconTextLabel::setButtonIcon(const QString& file)
{
    m_button->setIcon(QIcon(file));
}

QIcon IconTextLabel::getButtonIcon() const
{
    return m_button->icon();
}

void IconTextLabel::setShowButton(bool show)
{
    m_button->setVisible(show);
    updateGeometry();
}

bool IconTextLabel::getShowButton() const
{
    return !m_button->isHidden();
}

QSize IconTextLabel::sizeHint() const
{
    QSize size = m_icon->sizeHint().boundedTo(m_icon->maximumSize());
    size.rwidth() += m_text->sizeHint().width();
    if (getShowButton())
        size.rwidth() += m_button->sizeHint().width();
    return size;
}

QSize IconTextLabel::minimumSizeHint() const
{
    return sizeHint();
}
