// The message list shown by the Message Window: notes, tips, notices,
// warnings and errors from the compiler, the loaders and the workers.
#pragma once

#include <windows.h>
#include <stdint.h>

#include "foundation/List.h"

class Fractal;

// Source window id of compiler diagnostics.
enum { WID_COMPILER = 1800 };

enum MessageType {
    MSG_NOTE = 0,
    MSG_TIP = 1,
    MSG_INFO = 2,
    MSG_WARNING = 3,
    MSG_ERROR = 4,
};

// One line of the message list (an element of g_Messages). The formula
// reference is kept in ListNode::int1.
class MessageNode : public ListNode {
public:
    MessageNode(const char* text, int type, int sourceWindow, int value, int line,
                int startOffset, int endOffset, intptr_t formulaRef);
    virtual ~MessageNode();  // frees the text

    intptr_t FormulaRef() const { return int1; }

    char* text;         // heap copy of one line
    int type;           // MessageType
    int sourceWindow;   // WID_COMPILER, or 0
    int value;          // 0 from every current caller
    int line;           // line in the formula text
    int startOffset;    // marked region in the formula text
    int endOffset;
};

// Settings of the message list (registry "Properties").
extern int g_NumberOfOutputMessages;    // most lines kept (default 200)
extern int g_ProduceCompilerWarnings;   // 0 drops compiler warnings (default 1)
extern int g_ProduceCompilerHints;      // 0 drops compiler tips (default 1)


// Adds one node per text of lines (ended by a null entry): the first with
// the given type, the others as MSG_NOTE, all with the same source and
// position; then drops the oldest nodes beyond g_NumberOfOutputMessages.
// Compiler warnings and tips are dropped (result 0) when switched off.
// With show, and only on the main thread, the Message Window is opened
// when closed and refreshed, scrolled to the end. Returns the list's count.
// Any thread may call it.
int AddMessage(const char* const* lines, int type, int sourceWindow, int value, int line,
               int startOffset, int endOffset, intptr_t formulaRef, bool show);

// One line of type MSG_ERROR / MSG_INFO / MSG_WARNING, no source, shown.
int AddErrorMessage(const char* text);
int AddInfoMessage(const char* text);
int AddWarningMessage(const char* text);

// For worker threads: adds one or two lines (secondText may be null)
// without showing them and posts UM_NEW_MESSAGE to the main frame, which
// shows them on the main thread.
void PostThreadMessageText(const char* text, const char* secondText, int type);
// The same for a calculation thread of a fractal (the fractal is not used).
void PostThreadMessageText(Fractal* fractal, const char* text, const char* secondText,
                           int type = MSG_ERROR);

// Refills the Message Window's list box, one line per node; with
// scrollToEnd the last line is shown. Returns 0 when the window is closed,
// 1 otherwise. Main thread only. (Through the message-window service.)
int RefreshMessageList(bool scrollToEnd);

// Brings the Message Window to the top of the z order without moving,
// sizing or activating it; nothing when it is closed.
void RaiseMessageWindow();

// Removes and deletes every node from the compiler (WID_COMPILER).
void ClearCompilerMessages();
// Removes and deletes every node (shutdown).
void DeleteAllMessages();

// Holds the list's lock for code that walks g_Messages itself (the
// compiler window reading a node's position). The lock is recursive on one
// thread; don't open windows or wait for other threads while holding it.
void LockMessageList();
void UnlockMessageList();
