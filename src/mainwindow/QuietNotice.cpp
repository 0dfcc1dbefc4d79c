#include "mainwindow/QuietNotice.h"

#include "mainwindow/StatusBar.h"
#include "mainwindow/TrayIcon.h"
#include "utility/MessageBox.h"

#include <QStyle>
#include <QToolButton>

namespace zlv {

QuietNotice::QuietNotice(StatusBar* bar, TrayIcon* tray)
    : QObject(bar), m_tray(tray), m_button(new QToolButton(bar))
{
    m_button->setObjectName(QStringLiteral("stbQuiet"));
    m_button->setAccessibleName(QStringLiteral("Version check notice"));
    m_button->setAutoRaise(true);
    m_button->setFocusPolicy(Qt::NoFocus);
    m_button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_button->setIcon(bar->style()->standardIcon(QStyle::SP_MessageBoxInformation));
    m_button->hide();
    bar->addWarning(m_button);
    connect(m_button, &QToolButton::clicked, this, [this] {
        m_button->hide();
        MessageBox::show(m_details.toStdString(), MessageBox::Icon::Information);
    });
}

void QuietNotice::show(const QString& headline, const QString& details)
{
    m_details = details;
    m_button->setText(headline);
    m_button->setToolTip(details);
    m_button->setAccessibleDescription(details);
    m_button->show();
    if (m_tray && m_tray->isShown()) {
        m_tray->showMessage(QStringLiteral("Zelvory"), headline);
    }
}

} // namespace zlv
