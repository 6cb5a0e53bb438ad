#include "Constants.h"

#include "schedule/DateTimeMonitor.h"

namespace lunaveil {

TimePoint Constants::DEFAULT_START_DATE()
{
    return DateTimeMonitor::dateFromComponents(22, 0);
}

TimePoint Constants::DEFAULT_STOP_DATE()
{
    return DateTimeMonitor::dateFromComponents(7, 0);
}

}  // namespace lunaveil
