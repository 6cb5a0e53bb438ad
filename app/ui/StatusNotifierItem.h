#pragma once
// Lunaveil's icon as a StatusNotifierItem of its own on the session bus: the panel's host tells
// where it was clicked, which Qt's tray icon keeps to itself.

#include <QDBusServiceWatcher>
#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

namespace lunaveil {

// Offered under its own bus name at /StatusNotifierItem and registered with the panel's watcher
// ("org.kde.StatusNotifierWatcher"), again whenever a watcher starts. Hidden, it gives up its bus
// name, and hosts take it out of the panel.
class StatusNotifierItem : public QObject {
    Q_OBJECT
public:
    StatusNotifierItem();
    ~StatusNotifierItem() override;
    StatusNotifierItem(const StatusNotifierItem&) = delete;
    StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

    // Whether a watcher runs with a host (a panel that shows items) registered with it.
    static bool hostRuns();

    void setIcon(const QIcon& icon);
    const QIcon& icon() const { return icon_; }
    // The icon by its theme name, which hosts prefer to the pixels and may recolour; empty, the
    // pixels alone. Looked for in the icon themes and in iconThemePath().
    void setIconName(const QString& name);
    const QString& iconName() const { return iconName_; }
    // The icon folder beside the program (share/icons), where it holds Lunaveil's icons.
    static QString iconThemePath();
    void setToolTip(const QString& toolTip);
    const QString& toolTip() const { return toolTip_; }
    void show();
    void hide();
    bool isVisible() const { return visible_; }
    // The bus name the item is offered under while it is shown.
    const QString& serviceName() const { return serviceName_; }

Q_SIGNALS:
    // A left click on the icon, at `where` on the screen as the host says it.
    void activated(QPoint where);
    // A right click on the icon, at `where` on the screen as the host says it.
    void contextMenuRequested(QPoint where);
    // The icon or tool tip changed, for the hosts to read again.
    void iconChanged();
    void toolTipChanged();

private:
    void registerWithWatcher();

    QIcon icon_;
    QString iconName_;
    QString toolTip_;
    QString serviceName_;
    QDBusServiceWatcher watcherWatch_;
    bool visible_ = false;
};

}  // namespace lunaveil
