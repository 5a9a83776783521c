#include "form2.h"

#include "services.h"

Form2::Form2(Services& services, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::Tool), m_services(services)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("The watched site has been updated"));
    const QIcon icon(QStringLiteral(":/icons/popup.png"));
    setWindowIcon(icon);
    m_icon = Picture::fromIcon(icon);
}
