// The root of every class that has a message table.
#pragma once
#include "framework/MessageMap.h"

class CCmdTarget {
public:
    CCmdTarget() {}
    virtual ~CCmdTarget() {}
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // Runs the handler this object's table has for the message. False when
    // there is none.
    BOOL DispatchFromTable(UINT message, UINT code, UINT id, WPARAM wParam, LPARAM lParam, LRESULT* result);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};
