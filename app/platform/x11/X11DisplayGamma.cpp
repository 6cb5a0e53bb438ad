#include "platform/x11/X11DisplayGamma.h"

#include <QtGlobal>

#include <algorithm>
#include <set>
#include <utility>

namespace lunaveil {

X11DisplayGamma::X11DisplayGamma(CrtcGamma& crtcs, GammaJournal journal)
    : crtcs_(crtcs), journal_(std::move(journal))
{
    crtcs_.onCrtcsChanged = [this] {
        if (const auto callback = onOutputsChanged)
            callback();
    };
}

X11DisplayGamma::~X11DisplayGamma()
{
    crtcs_.onCrtcsChanged = nullptr;
}

std::vector<GammaOutput> X11DisplayGamma::outputs()
{
    return crtcs_.crtcs();
}

std::vector<std::optional<GammaRamp>> X11DisplayGamma::readRamps(std::span<const DisplayId> displays)
{
    return crtcs_.getRamps(displays);
}

std::optional<GammaRamp> X11DisplayGamma::calibration(DisplayId display)
{
    const auto kept = originals_.find(display);
    if (kept != originals_.end())
        return kept->second;
    return crtcs_.getRamp(display);
}

bool X11DisplayGamma::setRamp(DisplayId display, const GammaRamp& ramp)
{
    if (!originals_.contains(display) && !keepOriginal(display))
        return false;
    return crtcs_.setRamp(display, ramp);
}

std::vector<bool> X11DisplayGamma::setRamps(std::span<const RampFor> ramps)
{
    std::vector<RampFor> kept;
    std::vector<std::size_t> where;
    for (std::size_t i = 0; i < ramps.size(); ++i)
        if (originals_.contains(ramps[i].display) || keepOriginal(ramps[i].display)) {
            kept.push_back(ramps[i]);
            where.push_back(i);
        }
    std::vector<bool> done(ramps.size(), false);
    const std::vector<bool> set = crtcs_.setRamps(kept);
    for (std::size_t i = 0; i < set.size() && i < where.size(); ++i)
        done[where[i]] = set[i];
    return done;
}

bool X11DisplayGamma::keepOriginal(CrtcId crtc)
{
    std::optional<GammaRamp> ramp = crtcs_.getRamp(crtc);
    if (!ramp || ramp->size() == 0)
        return false;
    originals_[crtc] = std::move(*ramp);
    if (serverMark_.empty())
        serverMark_ = crtcs_.serverMark(true);
    if (journal_.save(serverMark_, originals_)) {
        journalProblem_.clear();
        return true;
    }
    // Once per cause, not once per display: the reason stays in journalProblem() for the user interface.
    if (journalProblem_ != journal_.problem()) {
        journalProblem_ = journal_.problem();
        qWarning("Lunaveil: cannot write the gamma journal %s: %s; should Lunaveil crash, neither its next start "
                 "nor `lunaveil --reset` could give the displays their colours back.",
                 journal_.file().c_str(), journalProblem_.c_str());
    }
    return true;
}

void X11DisplayGamma::restore()
{
    if (originals_.empty())
        return;
    const std::vector<GammaOutput> online = crtcs_.crtcs();
    for (const auto& [crtc, ramp] : originals_) {
        // A CRTC that went away with its output cannot take its ramp back, and nobody sees it.
        const bool isOnline = std::ranges::find(online, crtc, &GammaOutput::id) != online.end();
        if (!crtcs_.setRamp(crtc, ramp) && isOnline)
            qWarning("Lunaveil: display CRTC %u refused its original gamma ramp; its colours stay changed.",
                     static_cast<unsigned>(crtc));
    }
    originals_.clear();
    journal_.remove();
}

GammaRecovery X11DisplayGamma::restoreFromJournal()
{
    GammaRecovery recovery;
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

    const std::string mark = crtcs_.serverMark(false);
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
            const std::optional<GammaRamp> current = crtcs_.getRamp(crtc);
            if (!current || current->size() != ramp.size()) {
                qWarning("Lunaveil: display CRTC %u is gone or changed since its gamma was saved; it is left as it is.",
                         static_cast<unsigned>(crtc));
                recovery.complete = false;
            } else if (crtcs_.setRamp(crtc, ramp)) {
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

}  // namespace lunaveil
