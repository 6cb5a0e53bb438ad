#pragma once
// The running Lunaveil's door on the session bus, through which a second start opens its popover
// and scripts reach it.

class QDBusVirtualObject;

namespace lunaveil {

class RunningInstance {
public:
    // Registers com.quorvex.Lunaveil on the session bus with `exported` at /com/quorvex/Lunaveil,
    // which answers a second start's ShowPopover too; without a session bus nothing is offered.
    // `exported` must outlive this.
    explicit RunningInstance(QDBusVirtualObject& exported);
    ~RunningInstance();
    RunningInstance(const RunningInstance&) = delete;
    RunningInstance& operator=(const RunningInstance&) = delete;

    // From a second start: asks the running Lunaveil to open its popover; false when it did not answer.
    static bool requestShowPopover();

private:
    bool registered_ = false;
};

}  // namespace lunaveil
