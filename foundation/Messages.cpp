#include "foundation/Messages.h"

#include <stdlib.h>
#include <string.h>

#include "foundation/MainFramePost.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/Services.h"

int g_NumberOfOutputMessages = 200;
int g_ProduceCompilerWarnings = 1;
int g_ProduceCompilerHints = 1;

namespace {

// Workers add messages while the main thread shows, clears and trims the
// list, so every change and every walk of g_Messages happens under this.
CRITICAL_SECTION* ListLock()
{
    struct Holder {
        CRITICAL_SECTION section;
        Holder() { InitializeCriticalSection(&section); }
    };
    static Holder holder;
    return &holder.section;
}

bool OnMainThread()
{
    bool (*isMainThread)() = Services().isMainThread;
    return isMainThread != nullptr && isMainThread();
}

char* CopyText(const char* text)
{
    if (!text)
        text = "";
    size_t size = strlen(text) + 1;
    char* copy = static_cast<char*>(malloc(size));
    if (copy)
        memcpy(copy, text, size);
    return copy;
}

}  // namespace

MessageNode::MessageNode(const char* text, int type, int sourceWindow, int value, int line,
                         int startOffset, int endOffset, intptr_t formulaRef)
    : text(CopyText(text)),
      type(type),
      sourceWindow(sourceWindow),
      value(value),
      line(line),
      startOffset(startOffset),
      endOffset(endOffset)
{
    int1 = (int32_t)formulaRef;
}

MessageNode::~MessageNode()
{
    free(text);
}

void LockMessageList()
{
    EnterCriticalSection(ListLock());
}

void UnlockMessageList()
{
    LeaveCriticalSection(ListLock());
}

int AddMessage(const char* const* lines, int type, int sourceWindow, int value, int line,
               int startOffset, int endOffset, intptr_t formulaRef, bool show)
{
    if (sourceWindow == WID_COMPILER) {
        if (type == MSG_WARNING && !g_ProduceCompilerWarnings)
            return 0;
        if (type == MSG_TIP && !g_ProduceCompilerHints)
            return 0;
    }

    LockMessageList();
    if (lines) {
        for (int i = 0; lines[i]; i++) {
            g_Messages.Append(new MessageNode(lines[i], i == 0 ? type : MSG_NOTE, sourceWindow,
                                              value, line, startOffset, endOffset, formulaRef));
        }
    }
    while (g_Messages.Count() > g_NumberOfOutputMessages && g_Messages.GetHead()) {
        ListNode* oldest = g_Messages.GetHead();
        g_Messages.Remove(oldest);
        delete oldest;
    }
    int count = g_Messages.Count();
    UnlockMessageList();

    // Windows belong to the main thread; workers leave the showing to it.
    if (show && OnMainThread() && Services().showMessageWindow)
        Services().showMessageWindow();
    return count;
}

static int AddShownMessage(const char* text, int type)
{
    const char* lines[2] = {text, NULL};
    return AddMessage(lines, type, 0, 0, 0, 0, 0, 0, true);
}

int AddErrorMessage(const char* text)
{
    return AddShownMessage(text, MSG_ERROR);
}

int AddInfoMessage(const char* text)
{
    return AddShownMessage(text, MSG_INFO);
}

int AddWarningMessage(const char* text)
{
    return AddShownMessage(text, MSG_WARNING);
}

void PostThreadMessageText(const char* text, const char* secondText, int type)
{
    const char* lines[3] = {text, secondText, NULL};
    AddMessage(lines, type, 0, 0, 0, 0, 0, 0, false);
    PostToMainFrame(UM_NEW_MESSAGE, 0, 0);
}

void PostThreadMessageText(Fractal* /*fractal*/, const char* text, const char* secondText,
                           int type)
{
    PostThreadMessageText(text, secondText, type);
}

int RefreshMessageList(bool scrollToEnd)
{
    int (*refresh)(bool) = Services().refreshMessageList;
    return refresh != nullptr ? refresh(scrollToEnd) : 0;
}

void RaiseMessageWindow()
{
    if (Services().raiseMessageWindow)
        Services().raiseMessageWindow();
}

void ClearCompilerMessages()
{
    LockMessageList();
    ListNode* node = g_Messages.GetHead();
    while (node) {
        ListNode* next = node->next;
        if (static_cast<MessageNode*>(node)->sourceWindow == WID_COMPILER) {
            g_Messages.Remove(node);
            delete node;
        }
        node = next;
    }
    UnlockMessageList();
}

void DeleteAllMessages()
{
    LockMessageList();
    g_Messages.DeleteAllNodes();
    UnlockMessageList();
}
