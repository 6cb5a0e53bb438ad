#pragma once
// Changes the screens of Qt's offscreen platform while a test runs.

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QRect>
#include <qpa/qplatformnativeinterface.h>

namespace lunaveil::test {

// The offscreen platform adds, removes and moves screens when its configuration changes,
// as a desktop does on hotplug; screens are told apart by name.
class OffscreenScreens {
public:
    OffscreenScreens() : initial_(configuration()) {}
    // The next test starts from the file's screens, with no change of these still queued.
    ~OffscreenScreens()
    {
        QJsonObject synchronous = initial_;
        synchronous[QStringLiteral("synchronousWindowSystemEvents")] = true;
        apply(synchronous);
        apply(initial_);
    }

    OffscreenScreens(const OffscreenScreens&) = delete;
    OffscreenScreens& operator=(const OffscreenScreens&) = delete;

    static QJsonObject screen(const char* name, const QRect& geometry)
    {
        return {{QStringLiteral("name"), QString::fromLatin1(name)}, {QStringLiteral("x"), geometry.x()},
                {QStringLiteral("y"), geometry.y()}, {QStringLiteral("width"), geometry.width()},
                {QStringLiteral("height"), geometry.height()}, {QStringLiteral("logicalDpi"), 96},
                {QStringLiteral("logicalBaseDpi"), 96}, {QStringLiteral("dpr"), 1.0}};
    }

    // All of the change reaches Qt within this call, in one event-loop pass.
    void setScreens(const QJsonArray& screens)
    {
        QJsonObject changed = configuration();
        changed[QStringLiteral("screens")] = screens;
        changed[QStringLiteral("synchronousWindowSystemEvents")] = true;
        apply(changed);
    }

private:
    static QPlatformNativeInterface* native() { return QGuiApplication::platformNativeInterface(); }
    static QJsonObject configuration()
    {
        using Get = QJsonObject (*)(QPlatformNativeInterface*);
        return reinterpret_cast<Get>(native()->nativeResourceForIntegration("configuration"))(native());
    }
    static void apply(const QJsonObject& configuration)
    {
        using Set = void (*)(const QJsonObject&, QPlatformNativeInterface*);
        reinterpret_cast<Set>(native()->nativeResourceForIntegration("setConfiguration"))(configuration, native());
    }

    QJsonObject initial_;
};

}  // namespace lunaveil::test
