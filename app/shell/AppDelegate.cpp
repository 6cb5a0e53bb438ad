#include "AppDelegate.h"

#include <algorithm>

namespace lunaveil {

AppDelegate::AppDelegate(HubServices services) : services_(std::move(services)) {}

void AppDelegate::applicationDidFinishLaunching(const QStringList& arguments)
{
    presentersMainHub_ = std::make_unique<PresetersMainHub>(services_);
    presentersMainHub_->startService();
    const bool launchedBySession = std::any_of(arguments.begin(), arguments.end(), [](const QString& argument) {
        return argument.startsWith(QStringLiteral("-psn_"));
    });
    if (!launchedBySession)
        presentersMainHub_->showPopover();
}

}  // namespace lunaveil
