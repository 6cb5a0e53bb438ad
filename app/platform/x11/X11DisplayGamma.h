#pragma once
// Display gamma on X11: the CRTCs' ramps, each one's calibration kept before Lunaveil first changes it.

#include "platform/DisplayGamma.h"
#include "platform/x11/CrtcGamma.h"
#include "platform/x11/GammaJournal.h"

#include <map>
#include <string>

namespace lunaveil {

// An X server keeps a ramp after the client that set it has gone, so the first ramp of each
// CRTC Lunaveil changes is kept in memory and in the journal before the change: restore()
// gives it back, and after a crash restoreFromJournal() (the next start, `lunaveil --reset`).
class X11DisplayGamma final : public DisplayGamma {
public:
    // Installs itself as crtcs.onCrtcsChanged; `crtcs` must outlive it.
    X11DisplayGamma(CrtcGamma& crtcs, GammaJournal journal);
    // Leaves the displays as they are: quitting and termination call restore().
    ~X11DisplayGamma() override;
    X11DisplayGamma(const X11DisplayGamma&) = delete;
    X11DisplayGamma& operator=(const X11DisplayGamma&) = delete;

    std::vector<GammaOutput> outputs() override;
    std::vector<std::optional<GammaRamp>> readRamps(std::span<const DisplayId> displays) override;
    // The kept original, or the ramp in force while Lunaveil has not changed the CRTC yet.
    std::optional<GammaRamp> calibration(DisplayId display) override;
    // Refused for a CRTC whose calibration cannot be read first: it could never be given back.
    bool setRamp(DisplayId display, const GammaRamp& ramp) override;
    // One round trip for all (once every calibration is kept).
    std::vector<bool> setRamps(std::span<const RampFor> ramps) override;
    // Puts every kept ramp back exactly, forgets them and removes the journal.
    void restore() override;

    // Puts back the ramps runs that died left in this display's journals, and removes those journals.
    // A journal of another X server, or one it cannot trust, is left alone; each such case is reported.
    GammaRecovery restoreFromJournal();

    // Why the journal cannot be written, so that a crash could not be undone; empty while it can.
    const std::string& journalProblem() const { return journalProblem_; }

private:
    bool keepOriginal(CrtcId crtc);

    CrtcGamma& crtcs_;
    GammaJournal journal_;
    std::string serverMark_;  // the server's, once the journal has been written
    std::string journalProblem_;
    std::map<CrtcId, GammaRamp> originals_;
};

}  // namespace lunaveil
