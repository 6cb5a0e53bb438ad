#include "ProductionServices.h"

#include "schedule/DateTimeMonitor.h"

#include <QCoreApplication>

namespace lunaveil {

HubServices productionServices()
{
    HubServices services;
    services.makeSettings = [] { return std::make_unique<SettingsDataAccess>(); };
    services.makeScheduleMonitor = [] { return std::make_unique<DateTimeMonitor>(); };
    services.quit = [] { QCoreApplication::exit(0); };
    return services;
}

}  // namespace lunaveil
