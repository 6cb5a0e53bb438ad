#include "DisplayTransfer.h"

#include <QtGlobal>

#include <algorithm>
#include <utility>

namespace lunaveil {

DisplayTransfer::DisplayTransfer(DisplayGamma& gamma)
    : gamma_(gamma)
{
    gamma_.onOutputsChanged = [this] { outputsChanged(); };
}

DisplayTransfer::~DisplayTransfer()
{
    gamma_.onOutputsChanged = nullptr;
}

std::vector<DisplayId> DisplayTransfer::getOnlineDisplayList()
{
    std::vector<DisplayId> list;
    for (const GammaOutput& output : gamma_.outputs()) {
        if (list.size() == maxDisplays)
            break;
        list.push_back(output.id);
    }
    return list;
}

void DisplayTransfer::setTransferByFormula(DisplayId display, const TransferFormula& formula)
{
    setTransferByFormula(std::span(&display, 1), formula);
}

void DisplayTransfer::setTransferByFormula(std::span<const DisplayId> displays, const TransferFormula& formula)
{
    setInForce(formula);
    apply(displays);
}

void DisplayTransfer::setTransferByTable(DisplayId display, std::span<const float> red,
                                         std::span<const float> green, std::span<const float> blue)
{
    setInForce(Table{{red.begin(), red.end()}, {green.begin(), green.end()}, {blue.begin(), blue.end()}});
    apply(std::span(&display, 1));
}

void DisplayTransfer::setTransferOverCalibration(std::span<const DisplayId> displays, const TransferFormula& formula)
{
    setInForce(OverCalibration{formula});
    apply(displays);
}

void DisplayTransfer::setInForce(Transfer transfer)
{
    if (inForce_ == transfer)
        return;
    inForce_ = std::move(transfer);
    wanted_.clear();
    applied_.clear();
    changed_ = true;
}

const GammaRamp& DisplayTransfer::wantedRamp(const GammaOutput& output)
{
    const std::size_t size = output.rampSize;
    const auto* over = std::get_if<OverCalibration>(&*inForce_);
    // Calibrations differ from display to display; any other transfer is the same at one size.
    const WantedKey key{size, over ? std::optional(output.id) : std::nullopt};
    const auto known = wanted_.find(key);
    if (known != wanted_.end())
        return known->second;
    GammaRamp ramp;
    if (over)
        ramp = rampOverCalibration(size, gamma_.calibration(output.id).value_or(GammaRamp{}), over->formula);
    else if (const auto* table = std::get_if<Table>(&*inForce_))
        ramp = rampFromTable(size, table->red, table->green, table->blue);
    else
        ramp = rampFromFormula(size, std::get<TransferFormula>(*inForce_));
    return wanted_.emplace(key, std::move(ramp)).first->second;
}

void DisplayTransfer::apply(std::span<const DisplayId> displays)
{
    const std::vector<GammaOutput> outputs = gamma_.outputs();
    // A new transfer goes to every display: reading their ramps first would only cost a round trip.
    const bool fresh = std::exchange(changed_, false);
    const std::vector<std::optional<GammaRamp>> current =
        fresh ? std::vector<std::optional<GammaRamp>>(displays.size()) : gamma_.readRamps(displays);
    std::vector<RampFor> toSet;
    for (std::size_t i = 0; i < displays.size(); ++i) {
        const DisplayId display = displays[i];
        const auto output = std::ranges::find(outputs, display, &GammaOutput::id);
        if (output == outputs.end() || output->rampSize == 0)
            continue;  // gone meanwhile
        const GammaRamp& wanted = wantedRamp(*output);
        // Re-applying an unchanged ramp would make some drivers flicker; a ramp someone else changed is set again.
        if (!fresh && (current[i] ? *current[i] == wanted : applied_.contains(display)))
            continue;
        toSet.push_back({display, &wanted});
    }
    if (toSet.empty())
        return;
    const std::vector<bool> done = gamma_.setRamps(toSet);
    for (std::size_t i = 0; i < toSet.size(); ++i) {
        if (i < done.size() && done[i])
            applied_.insert(toSet[i].display);
        else
            warnOnce(toSet[i].display, "refused a gamma ramp");
    }
}

void DisplayTransfer::outputsChanged()
{
    if (!inForce_)
        return;
    // Known displays keep an unchanged ramp; new ones, any a reconfiguration reset, and any that lost
    // it (where the server reads none back but says so) get the transfer.
    applied_.clear();
    apply(getOnlineDisplayList());
}

void DisplayTransfer::restoreColorSyncSettings()
{
    inForce_.reset();
    wanted_.clear();
    applied_.clear();
    warned_.clear();
    gamma_.restore();
}

void DisplayTransfer::warnOnce(DisplayId display, const char* what)
{
    if (warned_.insert(display).second)
        qWarning("Lunaveil: display %u %s; it keeps its colours.", static_cast<unsigned>(display), what);
}

}  // namespace lunaveil
