#pragma once
// Declarative message maps in the framework's manner.
//
// A class that handles window messages derives (directly or through CWnd or
// CWinApp) from CCmdTarget, writes DECLARE_MESSAGE_MAP() in its body and one
// table in its source file:
//
//     BEGIN_MESSAGE_MAP(CopyDlg, CDialog)
//         ON_WM_PAINT()
//         ON_MESSAGE(UM_BLOCK_COPIED, OnBlockCopied)
//     END_MESSAGE_MAP()
//
// Entries are searched in table order, then in the base class's table. The
// handler signatures, one per entry kind:
//
//     ON_MESSAGE(message, handler)   LRESULT handler(WPARAM wParam, LPARAM lParam)
//     ON_COMMAND(commandId, handler) void handler()
//                                    (WM_COMMAND from a menu, an accelerator or a
//                                    button click whose id is commandId)
//     ON_WM_PAINT()                  void OnPaint()
//     ON_WM_QUERYDRAGICON()          HCURSOR OnQueryDragIcon()
//
// Message numbers: the framework itself posts or sends no private messages.
// The range WM_APP + 0x7000 to 0xBFFF (FRAMEWORK_MESSAGE_FIRST to
// FRAMEWORK_MESSAGE_LAST) is kept for it should it ever need any; everything
// else above WM_APP, in particular the 0x81xx status messages, belongs to
// the application.
#include <windows.h>

enum : UINT {
    FRAMEWORK_MESSAGE_FIRST = WM_APP + 0x7000,
    FRAMEWORK_MESSAGE_LAST = 0xBFFF,
};

class CCmdTarget;

// One table row: the message (and for WM_COMMAND the command id) and the
// function that calls the class's handler with the message's parameters.
struct MessageMapEntry {
    UINT message;
    UINT commandId;
    LRESULT (*call)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);
};

struct MessageMap {
    const MessageMap* (*baseMap)();
    const MessageMapEntry* entries; // ends with an entry whose call is null
};

// Root of every class with a message map.
class CCmdTarget {
public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // Calls the first matching handler of this object's map chain. Returns
    // false when no entry matches; *result then stays untouched.
    bool HandleMappedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    static const MessageMap* GetThisMessageMap();

protected:
    virtual const MessageMap* GetMessageMap() const { return GetThisMessageMap(); }
};

#define DECLARE_MESSAGE_MAP()                                                                      \
public:                                                                                            \
    static const MessageMap* GetThisMessageMap();                                                  \
                                                                                                   \
protected:                                                                                         \
    const MessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
    const MessageMap* theClass::GetMessageMap() const {                                            \
        return GetThisMessageMap();                                                                \
    }                                                                                              \
    const MessageMap* theClass::GetThisMessageMap() {                                              \
        using ThisClass = theClass;                                                                \
        using TheBaseClass = baseClass;                                                            \
        static const MessageMapEntry entries[] = {

#define END_MESSAGE_MAP()                                                                          \
    { 0, 0, nullptr }                                                                              \
    }                                                                                              \
    ;                                                                                              \
    static const MessageMap map = {&TheBaseClass::GetThisMessageMap, entries};                     \
    return &map;                                                                                   \
    }

#define ON_MESSAGE(message, handler)                                                               \
    {(message), 0, [](CCmdTarget* target, WPARAM wParam, LPARAM lParam) -> LRESULT {               \
         return static_cast<ThisClass*>(target)->handler(wParam, lParam);                          \
     }},

#define ON_COMMAND(commandId, handler)                                                             \
    {WM_COMMAND, (commandId), [](CCmdTarget* target, WPARAM, LPARAM) -> LRESULT {                  \
         static_cast<ThisClass*>(target)->handler();                                               \
         return 0;                                                                                 \
     }},

#define ON_WM_PAINT()                                                                              \
    {WM_PAINT, 0, [](CCmdTarget* target, WPARAM, LPARAM) -> LRESULT {                              \
         static_cast<ThisClass*>(target)->OnPaint();                                               \
         return 0;                                                                                 \
     }},

#define ON_WM_QUERYDRAGICON()                                                                      \
    {WM_QUERYDRAGICON, 0, [](CCmdTarget* target, WPARAM, LPARAM) -> LRESULT {                      \
         return reinterpret_cast<LRESULT>(static_cast<ThisClass*>(target)->OnQueryDragIcon());     \
     }},
