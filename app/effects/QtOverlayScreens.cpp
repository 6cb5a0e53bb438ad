#include "effects/QtOverlayScreens.h"

#include "effects/QtOverlayWindow.h"
#include "platform/x11/X11StackingGuard.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace lunaveil {

QtOverlayScreens::QtOverlayScreens(std::function<std::vector<QWindow*>()> windowsAbove)
    : stackingGuard_(X11StackingGuard::create())
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
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
}

QtOverlayScreens::~QtOverlayScreens() = default;

std::optional<int> QtOverlayScreens::screenCount() const
{
    if (qGuiApp == nullptr)
        return std::nullopt;
    return static_cast<int>(coveredScreens().size());
}

std::vector<std::unique_ptr<OverlayWindow>> QtOverlayScreens::createWindows()
{
    std::vector<std::unique_ptr<OverlayWindow>> windows;
    if (qGuiApp == nullptr)
        return windows;
    for (QScreen* screen : coveredScreens())
        windows.push_back(std::make_unique<QtOverlayWindow>(screen, stackingGuard_));
    return windows;
}

// A screen within a larger one is a mirror showing part of its picture; of equal ones the
// first stands for both.
std::vector<QScreen*> QtOverlayScreens::coveredScreens()
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    std::vector<QScreen*> covered;
    for (qsizetype i = 0; i < screens.size(); ++i) {
        const QRect area = screens[i]->geometry();
        const bool mirrored = std::any_of(screens.begin(), screens.end(), [&](const QScreen* other) {
            const QRect otherArea = other->geometry();
            return other != screens[i] && otherArea.contains(area)
                && (otherArea != area || screens.indexOf(other) < i);
        });
        if (!mirrored)
            covered.push_back(screens[i]);
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
