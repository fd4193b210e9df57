// The console's side of the contract with the bus library: the library's own
// header, so the console and every other client read one definition.
#pragma once
#include "velk/VelkApi.h"
