// Group state polling: the fixed sequence of state reads for one group.
#include "household/GroupStateRules.h"
#include "household/Household.h"

std::optional<double> Household::seconds(const std::optional<QString>& text) {
    return GroupStateRules::seconds(text);
}
