#include "DisplayTransfer.h"

#include <QtGlobal>

#include <algorithm>
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
    setTransferByFormula(std::span(&crtc, 1), formula);
}

void DisplayTransfer::setTransferByFormula(std::span<const CrtcId> crtcs, const TransferFormula& formula)
{
    setInForce(formula);
    apply(crtcs);
}

void DisplayTransfer::setTransferByTable(CrtcId crtc, std::span<const float> red, std::span<const float> green,
                                         std::span<const float> blue)
{
    setInForce(Table{{red.begin(), red.end()}, {green.begin(), green.end()}, {blue.begin(), blue.end()}});
    apply(std::span(&crtc, 1));
}

void DisplayTransfer::setInForce(Transfer transfer)
{
    if (inForce_ == transfer)
        return;
    inForce_ = std::move(transfer);
    wanted_.clear();
}

const GammaRamp& DisplayTransfer::wantedRamp(std::size_t size)
{
    const auto known = wanted_.find(size);
    if (known != wanted_.end())
        return known->second;
    const auto* table = std::get_if<Table>(&*inForce_);
    GammaRamp ramp = table ? rampFromTable(size, table->red, table->green, table->blue)
                           : rampFromFormula(size, std::get<TransferFormula>(*inForce_));
    return wanted_.emplace(size, std::move(ramp)).first->second;
}

void DisplayTransfer::apply(std::span<const CrtcId> crtcs)
{
    const std::vector<std::optional<GammaRamp>> current = gamma_.getRamps(crtcs);
    for (std::size_t i = 0; i < crtcs.size(); ++i) {
        const CrtcId crtc = crtcs[i];
        if (!current[i] || current[i]->size() == 0) {
            warnOnce(crtc, "has no gamma ramp that can be read");
            continue;
        }
        const GammaRamp& wanted = wantedRamp(current[i]->size());
        if (!originals_.contains(crtc))
            keepOriginal(crtc, *current[i]);
        // Re-applying an unchanged ramp would make some drivers flicker; a ramp someone else changed is set again.
        if (*current[i] != wanted && !gamma_.setRamp(crtc, wanted))
            warnOnce(crtc, "refused a gamma ramp");
    }
}

void DisplayTransfer::keepOriginal(CrtcId crtc, const GammaRamp& ramp)
{
    originals_[crtc] = ramp;
    if (serverMark_.empty())
        serverMark_ = gamma_.serverMark(true);
    if (journal_.save(serverMark_, originals_)) {
        journalProblem_.clear();
        return;
    }
    // Once per cause, not once per display: the reason stays in journalProblem() for the user interface.
    if (journalProblem_ == journal_.problem())
        return;
    journalProblem_ = journal_.problem();
    qWarning("Lunaveil: cannot write the gamma journal %s: %s; should Lunaveil crash, neither its next start "
             "nor `lunaveil --reset` could give the displays their colours back.",
             journal_.file().c_str(), journalProblem_.c_str());
}

void DisplayTransfer::crtcsChanged()
{
    if (!inForce_)
        return;
    // Known CRTCs keep an unchanged ramp; new ones, and any a reconfiguration reset, get the transfer.
    apply(getOnlineDisplayList());
}

void DisplayTransfer::restoreColorSyncSettings()
{
    inForce_.reset();
    wanted_.clear();
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

DisplayTransfer::Recovery DisplayTransfer::restoreFromJournal()
{
    Recovery recovery;
    // While this run keeps originals, the journal is its own and no dead run's.
    if (!originals_.empty())
        return recovery;

    struct Found {
        GammaJournal journal;
        GammaJournal::Contents contents;
    };
    std::vector<Found> found;
    for (GammaJournal& journal : journal_.leftBehind()) {
        GammaJournal::Contents contents = journal.load();
        found.push_back({std::move(journal), std::move(contents)});
    }
    // Where runs without the lock changed one display in turn, the first of them kept its true original.
    std::ranges::stable_sort(found, {}, [](const Found& each) { return each.contents.started; });

    const std::string mark = gamma_.serverMark(false);
    std::set<CrtcId> restored;
    for (auto& [journal, contents] : found) {
        using State = GammaJournal::Contents::State;
        const std::string file = journal.file().string();
        if (contents.state == State::Absent)
            continue;
        if (contents.state == State::Saved && contents.serverMark != mark) {
            qWarning("Lunaveil: the gamma journal %s belongs to an X server that has ended since; its ramps are "
                     "not applied to this one.",
                     file.c_str());
            recovery.complete = false;
            continue;
        }
        if (contents.state != State::Saved) {
            const bool damaged = contents.state == State::Damaged;
            qWarning("Lunaveil: the gamma journal %s %s; it is %s, and the displays keep the colours they have.",
                     file.c_str(), contents.problem.c_str(), damaged ? "removed" : "left alone");
            if (damaged)
                journal.remove();
            recovery.complete = false;
            continue;
        }
        for (const auto& [crtc, ramp] : contents.ramps) {
            if (!restored.insert(crtc).second)
                continue;
            const std::optional<GammaRamp> current = gamma_.getRamp(crtc);
            if (!current || current->size() != ramp.size()) {
                qWarning("Lunaveil: display CRTC %u is gone or changed since its gamma was saved; it is left as it is.",
                         static_cast<unsigned>(crtc));
                recovery.complete = false;
            } else if (gamma_.setRamp(crtc, ramp)) {
                recovery.restored = true;
            } else {
                qWarning("Lunaveil: display CRTC %u refused its saved gamma ramp.", static_cast<unsigned>(crtc));
                recovery.complete = false;
            }
        }
        journal.remove();
    }
    return recovery;
}

void DisplayTransfer::warnOnce(CrtcId crtc, const char* what)
{
    if (warned_.insert(crtc).second)
        qWarning("Lunaveil: display CRTC %u %s; it keeps its colours.", static_cast<unsigned>(crtc), what);
}

}  // namespace lunaveil
