#include "household/Household.h"

Household::Household(QObject* parent) : QObject(parent) {}
