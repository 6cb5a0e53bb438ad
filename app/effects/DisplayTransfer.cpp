#include "DisplayTransfer.h"

#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace lunaveil {

DisplayTransfer::DisplayTransfer(DisplayGamma& gamma, GammaJournal journal)
    : gamma_(gamma), journal_(std::move(journal))
{
    gamma_.onCrtcsChanged = [this] { crtcsChanged(); };
}

DisplayTransfer::~DisplayTransfer()
{
    gamma_.onCrtcsChanged = nullptr;
}

std::vector<CrtcId> DisplayTransfer::getOnlineDisplayList()
{
    std::vector<CrtcId> list = gamma_.crtcs();
    if (list.size() > maxDisplays)
        list.resize(maxDisplays);
    return list;
}

void DisplayTransfer::setTransferByFormula(CrtcId crtc, const TransferFormula& formula)
{
    inForce_ = formula;
    apply(crtc, *inForce_);
}

void DisplayTransfer::setTransferByTable(CrtcId crtc, std::span<const float> red, std::span<const float> green,
                                         std::span<const float> blue)
{
    inForce_ = Table{{red.begin(), red.end()}, {green.begin(), green.end()}, {blue.begin(), blue.end()}};
    apply(crtc, *inForce_);
}

void DisplayTransfer::apply(CrtcId crtc, const Transfer& transfer)
{
    const std::optional<GammaRamp> current = gamma_.getRamp(crtc);
    if (!current || current->size() == 0) {
        warnOnce(crtc, "has no gamma ramp that can be read");
        return;
    }
    const auto* table = std::get_if<Table>(&transfer);
    const GammaRamp wanted = table ? rampFromTable(current->size(), table->red, table->green, table->blue)
                                   : rampFromFormula(current->size(), std::get<TransferFormula>(transfer));

    if (!originals_.contains(crtc))
        keepOriginal(crtc, *current);
    // Re-applying an unchanged ramp would make some drivers flicker; a ramp someone else changed is set again.
    if (*current != wanted && !gamma_.setRamp(crtc, wanted))
        warnOnce(crtc, "refused a gamma ramp");
}

void DisplayTransfer::keepOriginal(CrtcId crtc, const GammaRamp& ramp)
{
    originals_[crtc] = ramp;
    if (!journal_.save(originals_))
        qWarning("Lunaveil: cannot write the gamma journal %s: %s; should Lunaveil crash, "
                 "`lunaveil --reset` could not give the displays their colours back.",
                 journal_.file().c_str(), std::strerror(errno));
}

void DisplayTransfer::crtcsChanged()
{
    if (!inForce_)
        return;
    // Known CRTCs keep an unchanged ramp; new ones, and any a reconfiguration reset, get the transfer.
    for (const CrtcId crtc : getOnlineDisplayList())
        apply(crtc, *inForce_);
}

void DisplayTransfer::restoreColorSyncSettings()
{
    inForce_.reset();
    warned_.clear();
    if (originals_.empty())
        return;

    const std::vector<CrtcId> online = gamma_.crtcs();
    for (const auto& [crtc, ramp] : originals_) {
        // A CRTC that went away with its output cannot take its ramp back, and nobody sees it.
        if (!gamma_.setRamp(crtc, ramp) && std::ranges::find(online, crtc) != online.end())
            qWarning("Lunaveil: display CRTC %u refused its original gamma ramp; its colours stay changed.",
                     static_cast<unsigned>(crtc));
    }
    originals_.clear();
    journal_.remove();
}

bool DisplayTransfer::restoreFromJournal()
{
    // While this run keeps originals, the journal is its own and no dead run's.
    if (!originals_.empty())
        return false;

    const std::map<CrtcId, GammaRamp> saved = journal_.load();
    if (saved.empty()) {
        if (journal_.exists()) {
            qWarning("Lunaveil: the gamma journal %s is damaged and was removed; "
                     "the displays keep the colours they have.",
                     journal_.file().c_str());
            journal_.remove();
        }
        return false;
    }

    bool restored = false;
    for (const auto& [crtc, ramp] : saved) {
        const std::optional<GammaRamp> current = gamma_.getRamp(crtc);
        if (!current || current->size() != ramp.size()) {
            qWarning("Lunaveil: display CRTC %u is gone or changed since its gamma was saved; it is left as it is.",
                     static_cast<unsigned>(crtc));
            continue;
        }
        if (gamma_.setRamp(crtc, ramp))
            restored = true;
        else
            qWarning("Lunaveil: display CRTC %u refused its saved gamma ramp.", static_cast<unsigned>(crtc));
    }
    journal_.remove();
    return restored;
}

void DisplayTransfer::warnOnce(CrtcId crtc, const char* what)
{
    if (warned_.insert(crtc).second)
        qWarning("Lunaveil: display CRTC %u %s; it keeps its colours.", static_cast<unsigned>(crtc), what);
}

}  // namespace lunaveil
