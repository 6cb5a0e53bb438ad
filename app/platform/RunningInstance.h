#pragma once
// The running Lunaveil's door on the session bus, through which a second start opens its popover.

#include <QObject>
#include <functional>

namespace lunaveil {

class RunningInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.quorvex.Lunaveil")

public:
    // Registers com.quorvex.Lunaveil on the session bus; without a session bus nothing is offered.
    explicit RunningInstance(std::function<void()> onShowPopoverRequested);
    ~RunningInstance() override;

    // From a second start: asks the running Lunaveil to open its popover; false when it did not answer.
    static bool requestShowPopover();

public Q_SLOTS:
    Q_SCRIPTABLE void ShowPopover();

private:
    std::function<void()> onShowPopoverRequested_;
    bool registered_ = false;
};

}  // namespace lunaveil
