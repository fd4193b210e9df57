// The results of velk.dll's entry points. Pure logic.
#pragma once

// Results. vPostData returns the number of windows it delivered to (>= 0),
// the other entry points kVelkOk; every failure is negative.
enum VelkResult {
    kVelkOk              = 0,
    kVelkNoBus           = -1,   // the shared block or its mutex could not be made or opened
    kVelkForeignObject   = -2,   // an object of the bus's name that is not a bus
    kVelkWrongVersion    = -3,   // a bus of another layout version or size
    kVelkBusBusy         = -4,   // the bus mutex was held too long by a live process; later
                                 // attaches fail at once until it is free
    kVelkBadArgument     = -5,   // null window, negative length, null payload with a length
    kVelkPayloadTooLarge = -6,   // never truncated: refused whole
    kVelkRegistryFull    = -7,
    kVelkNotRegistered   = -8,
    kVelkBadIndex        = -9,   // public variable index out of range
    kVelkBadWindow       = -10,  // the handle names no window
    kVelkBadBusName      = -11,  // the bus name is longer than 200 bytes, holds a backslash or a
                                 // character the system code page cannot hold
    kVelkTooManyPosts    = -12,  // more posts in progress at once than the bus records
};

// A few words for a result, for messages.
const char* VelkResultText(int result);
