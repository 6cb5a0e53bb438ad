#include "effects/QtOverlayScreens.h"

#include "effects/QtOverlayWindow.h"
#include "platform/x11/X11Monitors.h"
#include "platform/x11/X11StackingGuard.h"

#include <QGuiApplication>
#include <QScreen>

namespace lunaveil {

QtOverlayScreens::QtOverlayScreens(std::function<std::vector<QWindow*>()> windowsAbove)
    : stackingGuard_(X11StackingGuard::create()), monitors_(X11Monitors::create())
{
    if (stackingGuard_)
        stackingGuard_->setWindowsAbove(std::move(windowsAbove));
    settle_.setSingleShot(true);
    settle_.setInterval(settleTime);
    QObject::connect(&settle_, &QTimer::timeout, &context_, [this] {
        if (const auto callback = onScreensChanged)  // a copy outlives this object
            callback();
    });
    if (qGuiApp == nullptr)
        return;
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, &context_, [this](QScreen* screen) {
        watch(screen);
        announce();
    });
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, &context_, [this] { announce(); });
    if (monitors_)
        monitors_->onChanged = [this] { announce(); };
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
}

QtOverlayScreens::~QtOverlayScreens() = default;

std::optional<int> QtOverlayScreens::screenCount() const
{
    if (qGuiApp == nullptr)
        return std::nullopt;
    return static_cast<int>(coveredAreas().size());
}

std::vector<std::unique_ptr<OverlayWindow>> QtOverlayScreens::createWindows()
{
    std::vector<std::unique_ptr<OverlayWindow>> windows;
    if (qGuiApp == nullptr)
        return windows;
    for (const auto& [screen, monitor] : coveredAreas())
        windows.push_back(std::make_unique<QtOverlayWindow>(screen, stackingGuard_, monitor));
    return windows;
}

// An area within a larger one is a mirror showing part of its picture; of equal ones the
// first stands for both.
std::vector<QtOverlayScreens::Covered> QtOverlayScreens::coveredAreas() const
{
    std::vector<Covered> areas;
    for (const QRect& monitor : monitors_ ? monitors_->areas() : std::vector<QRect>()) {
        QScreen* on = QGuiApplication::screenAt(monitor.center());
        areas.push_back({on != nullptr ? on : QGuiApplication::primaryScreen(), monitor});
    }
    if (areas.empty()) {
        for (QScreen* screen : QGuiApplication::screens())
            areas.push_back({screen});
    }
    const auto rect = [](const Covered& covered) { return covered.monitor.value_or(covered.screen->geometry()); };
    std::vector<Covered> covered;
    for (std::size_t i = 0; i < areas.size(); ++i) {
        const QRect area = rect(areas[i]);
        bool mirrored = false;
        for (std::size_t j = 0; j < areas.size() && !mirrored; ++j) {
            const QRect other = rect(areas[j]);
            mirrored = j != i && other.contains(area) && (other != area || j < i);
        }
        if (!mirrored)
            covered.push_back(areas[i]);
    }
    return covered;
}

void QtOverlayScreens::watch(QScreen* screen)
{
    QObject::connect(screen, &QScreen::geometryChanged, &context_, [this] { announce(); });
}

// A new monitor often comes with geometry changes of the others: one call for all of them.
void QtOverlayScreens::announce()
{
    settle_.start();
}

}  // namespace lunaveil
