#include "velk/VelkResults.h"

const char* VelkResultText(int result)
{
    switch (result) {
    case kVelkOk: return "done";
    case kVelkNoBus: return "the bus could not be opened";
    case kVelkForeignObject: return "an object of the bus's name is not a bus";
    case kVelkWrongVersion: return "the bus has another layout version or size";
    case kVelkBusBusy: return "the bus mutex is held by a live process (calls fail at once until it is free)";
    case kVelkBadArgument: return "bad argument";
    case kVelkPayloadTooLarge: return "payload too large";
    case kVelkRegistryFull: return "the registry is full";
    case kVelkNotRegistered: return "the window is not registered";
    case kVelkBadIndex: return "no such public variable";
    case kVelkBadWindow: return "no such window";
    case kVelkBadBusName:
        return "the bus name is unusable: longer than 200 bytes, holding a backslash, or a character the code page "
               "cannot hold";
    case kVelkTooManyPosts: return "too many posts in progress at once";
    default: return "failed";
    }
}
