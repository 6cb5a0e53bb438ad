#pragma once
// Lunaveil's owner of every display gamma change: applies formulas and tables, and undoes them.

#include "effects/TransferFormula.h"
#include "platform/DisplayGamma.h"
#include "platform/GammaJournal.h"

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace lunaveil {

// Before Lunaveil first changes a CRTC its ramp is kept, in memory and in the journal, so that
// restoreColorSyncSettings() (or restoreFromJournal() after a crash) gives back the calibration.
// While a transfer is in force, a CRTC that comes online gets it at once.
class DisplayTransfer {
public:
    static constexpr std::size_t maxDisplays = 16;

    // Installs itself as gamma.onCrtcsChanged; `gamma` must outlive it.
    DisplayTransfer(DisplayGamma& gamma, GammaJournal journal);
    // Leaves the displays as they are: quitting and termination call restoreColorSyncSettings().
    ~DisplayTransfer();
    DisplayTransfer(const DisplayTransfer&) = delete;
    DisplayTransfer& operator=(const DisplayTransfer&) = delete;

    // The first 16 CRTCs that drive an output and have a gamma ramp.
    std::vector<CrtcId> getOnlineDisplayList();

    void setTransferByFormula(CrtcId crtc, const TransferFormula& formula);
    // The same for several CRTCs, whose ramps are then read back in one go.
    void setTransferByFormula(std::span<const CrtcId> crtcs, const TransferFormula& formula);
    void setTransferByTable(CrtcId crtc, std::span<const float> red, std::span<const float> green,
                            std::span<const float> blue);

    // Puts every kept ramp back exactly, forgets them and removes the journal.
    void restoreColorSyncSettings();
    struct Recovery {
        bool restored = false;  // some display got back the ramps a run that died left in a journal
        bool complete = true;   // false when a journal or display could not be used: one may stay changed
    };
    // Puts back the ramps runs that died left in this display's journals, and removes those journals.
    // A journal of another X server, or one it cannot trust, is left alone; each such case is reported.
    Recovery restoreFromJournal();

    // Why the journal cannot be written, so that a crash could not be undone; empty while it can.
    const std::string& journalProblem() const { return journalProblem_; }

private:
    struct Table {
        std::vector<float> red;
        std::vector<float> green;
        std::vector<float> blue;
        friend bool operator==(const Table&, const Table&) = default;
    };
    using Transfer = std::variant<TransferFormula, Table>;

    void setInForce(Transfer transfer);
    void apply(std::span<const CrtcId> crtcs);
    const GammaRamp& wantedRamp(std::size_t size);
    void keepOriginal(CrtcId crtc, const GammaRamp& ramp);
    void crtcsChanged();
    void warnOnce(CrtcId crtc, const char* what);

    DisplayGamma& gamma_;
    GammaJournal journal_;
    std::string serverMark_;  // the server's, once the journal has been written
    std::string journalProblem_;
    std::map<CrtcId, GammaRamp> originals_;
    std::optional<Transfer> inForce_;
    // The transfer in force at each ramp size met, so that the check every second computes nothing.
    std::map<std::size_t, GammaRamp> wanted_;
    std::set<CrtcId> warned_;  // CRTCs already reported, so the one-second re-application does not flood stderr
};

}  // namespace lunaveil
