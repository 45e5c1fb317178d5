#include "household/Household.h"
