#pragma once
// Lunaveil's owner of every display gamma change: turns formulas and tables into each display's
// ramp, keeps the transfer in force on displays that come and go, and undoes it.

#include "effects/TransferFormula.h"
#include "platform/DisplayGamma.h"

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <utility>
#include <variant>
#include <vector>

namespace lunaveil {

// While a transfer is in force, a display that comes online gets it at once; restoring gives
// every display back what it had (the platform's gamma knows what that was).
class DisplayTransfer {
public:
    static constexpr std::size_t maxDisplays = 16;

    // Installs itself as gamma.onOutputsChanged; `gamma` must outlive it.
    explicit DisplayTransfer(DisplayGamma& gamma);
    // Leaves the displays as they are: quitting and termination call restoreColorSyncSettings().
    ~DisplayTransfer();
    DisplayTransfer(const DisplayTransfer&) = delete;
    DisplayTransfer& operator=(const DisplayTransfer&) = delete;

    // The first 16 displays that take a gamma ramp.
    std::vector<DisplayId> getOnlineDisplayList();

    void setTransferByFormula(DisplayId display, const TransferFormula& formula);
    // The same for several displays, whose ramps are then read back in one go.
    void setTransferByFormula(std::span<const DisplayId> displays, const TransferFormula& formula);
    void setTransferByTable(DisplayId display, std::span<const float> red, std::span<const float> green,
                            std::span<const float> blue);
    // The formula over each display's calibration (what it had before Lunaveil changed it) rather
    // than over the straight ramp: a calibrated display then looks as under a window blended there.
    void setTransferOverCalibration(std::span<const DisplayId> displays, const TransferFormula& formula);

    // Gives every display back what it had before Lunaveil changed it.
    void restoreColorSyncSettings();

    // Whether a transfer in force must be applied again now and then, since the server would not
    // say when another program replaced it; else a loss brings it back at once by itself.
    bool needsReapplying() const { return !gamma_.tellsOfLosses(); }

private:
    struct Table {
        std::vector<float> red;
        std::vector<float> green;
        std::vector<float> blue;
        friend bool operator==(const Table&, const Table&) = default;
    };
    struct OverCalibration {
        TransferFormula formula;
        friend bool operator==(const OverCalibration&, const OverCalibration&) = default;
    };
    using Transfer = std::variant<TransferFormula, Table, OverCalibration>;
    // A ramp size, and the display where the ramp depends on its calibration.
    using WantedKey = std::pair<std::size_t, std::optional<DisplayId>>;

    void setInForce(Transfer transfer);
    void apply(std::span<const DisplayId> displays);
    const GammaRamp& wantedRamp(const GammaOutput& output);
    void outputsChanged();
    void warnOnce(DisplayId display, const char* what);

    DisplayGamma& gamma_;
    std::optional<Transfer> inForce_;
    // The transfer in force at each ramp size (and display) met, so that the check every second
    // computes nothing.
    std::map<WantedKey, GammaRamp> wanted_;
    // Where the server reads no ramp back: the displays that have the transfer in force already.
    std::set<DisplayId> applied_;
    std::set<DisplayId> warned_;
    bool changed_ = false;  // a new transfer not yet applied: no display has it  // already reported, so the one-second re-application does not flood stderr
};

}  // namespace lunaveil
