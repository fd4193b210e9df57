// The information texts of vGetInfo.
#pragma once
#include <string>

#include "velk/SharedBus.h"

#define VELK_VERSION_TEXT "1.0.0"

// bus is null when the process is not attached: the texts then say why.
std::string InfoText(SharedBus* bus, int busStatus, int selector);
