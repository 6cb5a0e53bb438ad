#include "platform/gnome/GnomePlatform.h"

namespace lunaveil {

GnomePlatform::GnomePlatform(std::string name, DisplayCapabilities capabilities, std::unique_ptr<MutterCrtcs> crtcs,
                             GammaJournal journal, std::unique_ptr<RandrCrtcs> xwayland)
    : DisplayPlatform(std::move(name), capabilities),
      crtcs_(std::move(crtcs)),
      gamma_(*crtcs_, std::move(journal)),
      xwayland_(std::move(xwayland))
{
    if (xwayland_) {
        xwayland_->onConnectionLost = [this] {
            if (const auto callback = onConnectionLost)
                callback();
        };
    }
}

}  // namespace lunaveil
