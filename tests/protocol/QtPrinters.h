#pragma once

// The printers live with the other test support.
#include "support/QtPrinters.h"
