#include "ui/TrayIcon.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

namespace lunaveil {

TrayIcon::TrayIcon(Kind kind)
{
    if (kind == Kind::NotifierItem) {
        notifierItem_ = std::make_unique<StatusNotifierItem>();
        connect(notifierItem_.get(), &StatusNotifierItem::activated, this,
                [this](QPoint where) { Q_EMIT activated(QSystemTrayIcon::Trigger, where); });
        connect(notifierItem_.get(), &StatusNotifierItem::contextMenuRequested, this, [this](QPoint where) {
            if (contextMenu_ != nullptr)
                contextMenu_->popup(where);
        });
        return;
    }
    embeddedIcon_ = std::make_unique<QSystemTrayIcon>();
    connect(embeddedIcon_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { Q_EMIT activated(reason, std::nullopt); });
}

TrayIcon::Kind TrayIcon::chosenKind()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return Kind::EmbeddedIcon;
    // A Wayland panel may start after Lunaveil, as at login: the item waits for its watcher.
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return Kind::NotifierItem;
    return bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher"))
               ? Kind::NotifierItem
               : Kind::EmbeddedIcon;
}

void TrayIcon::setIcon(const QIcon& icon)
{
    notifierItem_ ? notifierItem_->setIcon(icon) : embeddedIcon_->setIcon(icon);
}

void TrayIcon::setIconName(const QString& name)
{
    if (notifierItem_)
        notifierItem_->setIconName(name);
}

QIcon TrayIcon::icon() const
{
    return notifierItem_ ? notifierItem_->icon() : embeddedIcon_->icon();
}

void TrayIcon::setToolTip(const QString& toolTip)
{
    notifierItem_ ? notifierItem_->setToolTip(toolTip) : embeddedIcon_->setToolTip(toolTip);
}

void TrayIcon::setContextMenu(QMenu* menu)
{
    contextMenu_ = menu;
    if (embeddedIcon_)
        embeddedIcon_->setContextMenu(menu);
}

void TrayIcon::showMessage(const QString& title, const QString& message)
{
    if (embeddedIcon_)
        embeddedIcon_->showMessage(title, message, QSystemTrayIcon::Warning);
}

void TrayIcon::show()
{
    notifierItem_ ? notifierItem_->show() : embeddedIcon_->show();
}

void TrayIcon::hide()
{
    notifierItem_ ? notifierItem_->hide() : embeddedIcon_->hide();
}

bool TrayIcon::isVisible() const
{
    return notifierItem_ ? notifierItem_->isVisible() : embeddedIcon_->isVisible();
}

QRect TrayIcon::geometry() const
{
    return notifierItem_ ? QRect() : embeddedIcon_->geometry();
}

bool TrayIcon::isAvailable() const
{
    return notifierItem_ ? StatusNotifierItem::hostRuns() : QSystemTrayIcon::isSystemTrayAvailable();
}

}  // namespace lunaveil
