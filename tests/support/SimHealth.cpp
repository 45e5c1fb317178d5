#include "SimCore.h"

namespace sim {

void installHealthActions(QHash<QPair<int, QString>, ActionHandler>& table) {
    table.insert(
        qMakePair(int(Service::deviceProperties), QStringLiteral("GetHouseholdID")),
        [](ActionContext& context) {
            if (!context.household.householdId)
                return SoapReply::fault(QStringLiteral("501"));
            return SoapReply::ok({{QStringLiteral("CurrentHouseholdID"), *context.household.householdId}});
        });
    table.insert(qMakePair(int(Service::zoneGroupTopology), QStringLiteral("CheckForUpdate")),
                 [](ActionContext& context) {
                     if (!context.household.updateItem)
                         return SoapReply::ok();
                     return SoapReply::ok({{QStringLiteral("UpdateItem"), *context.household.updateItem}});
                 });
}

} // namespace sim
