// Message tables: one static table per class, chained to its base class's
// table. Window messages are matched by number; WM_COMMAND and WM_NOTIFY
// entries by the command or control id and the notification code (BN_CLICKED
// is 0, the same code a menu command carries).
//
//   // in the class:            DECLARE_MESSAGE_MAP()
//   // in the .cpp:
//   BEGIN_MESSAGE_MAP(CMyDlg, CDialog)
//       ON_WM_PAINT()
//       ON_BN_CLICKED(IDC_SEND, OnSend)
//   END_MESSAGE_MAP()
//
// Each entry's handler is a captureless lambda written inside the class's own
// GetThisMessageMap(), so it may call protected members; it decodes wParam and
// lParam and calls the member with the arguments the message means.
#pragma once
#include <windows.h>

class CCmdTarget;

typedef LRESULT (*AFX_PMSG)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT message;       // window message; WM_COMMAND for commands and notifications
    UINT code;          // notification code of a WM_COMMAND entry
    UINT id;            // command or control id of a WM_COMMAND entry
    AFX_PMSG handler;   // null ends the table
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();   // null for the root of the chain
    const AFX_MSGMAP_ENTRY* entries;
};

// The signed client coordinates a mouse message carries.
inline POINT AfxPointOf(LPARAM lParam)
{
    POINT point;
    point.x = static_cast<short>(LOWORD(lParam));
    point.y = static_cast<short>(HIWORD(lParam));
    return point;
}

// The first entry for the message along the chain, most derived class first.
const AFX_MSGMAP_ENTRY* AfxFindMessageEntry(const AFX_MSGMAP* map, UINT message, UINT code, UINT id);

#define DECLARE_MESSAGE_MAP() \
protected: \
    static const AFX_MSGMAP* GetThisMessageMap(); \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass) \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() \
    { \
        typedef theClass ThisClass; \
        typedef baseClass TheBaseClass; \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP() \
            { 0, 0, 0, nullptr } \
        }; \
        static const AFX_MSGMAP messageMap = { &TheBaseClass::GetThisMessageMap, &entries[0] }; \
        (void)sizeof(ThisClass); \
        return &messageMap; \
    }

// The body of one handler; `self` is the object as its own class.
#define AFX_MSG_HANDLER(body) \
    [](CCmdTarget* target, WPARAM wParam, LPARAM lParam) -> LRESULT { \
        ThisClass* self = static_cast<ThisClass*>(target); \
        (void)self; (void)wParam; (void)lParam; \
        body \
    }

#define ON_WM_PAINT() \
    { WM_PAINT, 0, 0, AFX_MSG_HANDLER(self->OnPaint(); return 0;) },
#define ON_WM_DESTROY() \
    { WM_DESTROY, 0, 0, AFX_MSG_HANDLER(self->OnDestroy(); return 0;) },
#define ON_WM_SYSCOMMAND() \
    { WM_SYSCOMMAND, 0, 0, AFX_MSG_HANDLER(self->OnSysCommand(static_cast<UINT>(wParam), lParam); return 0;) },
#define ON_WM_QUERYDRAGICON() \
    { WM_QUERYDRAGICON, 0, 0, AFX_MSG_HANDLER(return reinterpret_cast<LRESULT>(self->OnQueryDragIcon());) },
#define ON_WM_QUERYENDSESSION() \
    { WM_QUERYENDSESSION, 0, 0, AFX_MSG_HANDLER(return self->OnQueryEndSession();) },
#define ON_WM_ENDSESSION() \
    { WM_ENDSESSION, 0, 0, AFX_MSG_HANDLER(self->OnEndSession(static_cast<BOOL>(wParam)); return 0;) },
#define ON_WM_ERASEBKGND() \
    { WM_ERASEBKGND, 0, 0, AFX_MSG_HANDLER(CDC dc(reinterpret_cast<HDC>(wParam)); return self->OnEraseBkgnd(&dc);) },

// void OnSize(UINT type, int cx, int cy)
#define ON_WM_SIZE() \
    { WM_SIZE, 0, 0, AFX_MSG_HANDLER(self->OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)); return 0;) },
// void OnGetMinMaxInfo(MINMAXINFO*)
#define ON_WM_GETMINMAXINFO() \
    { WM_GETMINMAXINFO, 0, 0, AFX_MSG_HANDLER(self->OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam)); return 0;) },
// void OnTimer(UINT_PTR id)
#define ON_WM_TIMER() \
    { WM_TIMER, 0, 0, AFX_MSG_HANDLER(self->OnTimer(static_cast<UINT_PTR>(wParam)); return 0;) },
// void OnMouseMove(UINT flags, POINT point), in client coordinates
#define ON_WM_MOUSEMOVE() \
    { WM_MOUSEMOVE, 0, 0, AFX_MSG_HANDLER(self->OnMouseMove(static_cast<UINT>(wParam), AfxPointOf(lParam)); return 0;) },

// LRESULT memberFxn(WPARAM, LPARAM)
#define ON_MESSAGE(message, memberFxn) \
    { static_cast<UINT>(message), 0, 0, AFX_MSG_HANDLER(return self->memberFxn(wParam, lParam);) },

// void memberFxn()
#define ON_COMMAND(id, memberFxn) \
    { WM_COMMAND, 0, static_cast<UINT>(id), AFX_MSG_HANDLER(self->memberFxn(); return 0;) },
#define ON_BN_CLICKED(id, memberFxn) \
    { WM_COMMAND, BN_CLICKED, static_cast<UINT>(id), AFX_MSG_HANDLER(self->memberFxn(); return 0;) },
#define ON_CBN_SELCHANGE(id, memberFxn) \
    { WM_COMMAND, CBN_SELCHANGE, static_cast<UINT>(id), AFX_MSG_HANDLER(self->memberFxn(); return 0;) },

// void memberFxn(NMHDR*, LRESULT* result)
#define ON_NOTIFY(code, id, memberFxn) \
    { WM_NOTIFY, static_cast<UINT>(code), static_cast<UINT>(id), AFX_MSG_HANDLER( \
        LRESULT result = 0; self->memberFxn(reinterpret_cast<NMHDR*>(lParam), &result); return result;) },
