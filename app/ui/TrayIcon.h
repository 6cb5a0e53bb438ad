#pragma once
// Lunaveil's icon in the panel, whichever way the panel takes it.

#include "ui/StatusNotifierItem.h"

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSystemTrayIcon>

#include <memory>
#include <optional>

namespace lunaveil {

// A StatusNotifierItem of Lunaveil's own on Wayland sessions and wherever a panel's watcher runs
// (the host says where it was clicked; Wayland panels take nothing else), else Qt's tray icon,
// which embeds itself in an XEmbed tray and tells its geometry.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    enum class Kind { NotifierItem, EmbeddedIcon };
    explicit TrayIcon(Kind kind = chosenKind());
    // NotifierItem on a Wayland session or where a watcher runs on the session bus.
    static Kind chosenKind();

    Kind kind() const { return notifierItem_ ? Kind::NotifierItem : Kind::EmbeddedIcon; }
    void setIcon(const QIcon& icon);
    // The icon's theme name for a StatusNotifierItem host; an XEmbed tray takes the pixels only.
    void setIconName(const QString& name);
    QIcon icon() const;
    void setToolTip(const QString& toolTip);
    // The menu a right click on the icon opens; it must outlive the icon.
    void setContextMenu(QMenu* menu);
    // A balloon by the icon, where the panel draws the icon itself (XEmbed); nothing otherwise.
    void showMessage(const QString& title, const QString& message);
    void show();
    void hide();
    bool isVisible() const;
    // Where the icon is on the screen; empty where the panel does not tell.
    QRect geometry() const;
    // Whether a panel runs that shows the icon.
    bool isAvailable() const;

Q_SIGNALS:
    // A click on the icon; `where` is the point clicked when the panel says it.
    void activated(QSystemTrayIcon::ActivationReason reason, std::optional<QPoint> where);

private:
    std::unique_ptr<StatusNotifierItem> notifierItem_;
    QMenu* contextMenu_ = nullptr;
    std::unique_ptr<QSystemTrayIcon> embeddedIcon_;
};

}  // namespace lunaveil
