#include "mainwindow/QtMessageBox.h"

#include "utility/MessageBox.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>

namespace zlv {

namespace {

QPointer<QWidget> g_owner;

QMessageBox::StandardButton ToQt(MessageBox::Answer a)
{
    switch (a) {
    case MessageBox::Answer::Ok:
        return QMessageBox::Ok;
    case MessageBox::Answer::Cancel:
        return QMessageBox::Cancel;
    case MessageBox::Answer::Yes:
        return QMessageBox::Yes;
    case MessageBox::Answer::No:
        return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon ToQt(MessageBox::Icon icon)
{
    switch (icon) {
    case MessageBox::Icon::Critical:
        return QMessageBox::Critical;
    case MessageBox::Icon::Question:
        return QMessageBox::Question;
    case MessageBox::Icon::Exclamation:
        return QMessageBox::Warning;
    case MessageBox::Icon::Information:
        return QMessageBox::Information;
    case MessageBox::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQt(MessageBox::Buttons b)
{
    switch (b) {
    case MessageBox::Buttons::Ok:
        return QMessageBox::Ok;
    case MessageBox::Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageBox::Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageBox::Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

MessageBox::Answer Show(const MessageBox::Request& r)
{
    // The main window owns every box, also while it sits hidden in the notification area:
    // a box without an owner is a top-level window of its own, and closing it could look
    // like the last window going. Modal to that window only, so that the tray icon still
    // answers while a box waits.
    QWidget* owner = g_owner ? g_owner.data() : QApplication::activeWindow();
    // A box raised while a dialog is open belongs to that dialog: owned by the main window
    // it could fall behind the dialog, which would then wait for a box nobody sees.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible()) {
        owner = modal;
    }
    QMessageBox box(ToQt(r.icon), QString::fromStdString(r.title), QString::fromStdString(r.text),
                    ToQt(r.buttons), owner);
    if (owner) {
        // On Wayland a window-modal box becomes a sheet fixed to its window, without a title
        // bar on some desktops; and the notification area there is on the bus, which a
        // modal box does not block anyway.
        const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
        box.setWindowModality(wayland ? Qt::ApplicationModal : Qt::WindowModal);
    }
    box.setDefaultButton(ToQt(r.defaultButton));
    switch (box.exec()) {
    case QMessageBox::Ok:
        return MessageBox::Answer::Ok;
    case QMessageBox::Yes:
        return MessageBox::Answer::Yes;
    case QMessageBox::No:
        return MessageBox::Answer::No;
    default:
        // Closed without a choice: Cancel, or Ok where Ok is the only button.
        return r.buttons == MessageBox::Buttons::Ok ? MessageBox::Answer::Ok
                                                    : MessageBox::Answer::Cancel;
    }
}

} // namespace

void InstallQtMessageBoxHandler()
{
    MessageBox::setHandler(&Show);
}

void SetMessageBoxOwner(QWidget* owner)
{
    g_owner = owner;
}

} // namespace zlv
