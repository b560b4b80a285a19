// Context help and the help topics of the formula language.
#include "ui/ContextHelp.h"

#include <string.h>

#include "foundation/Guard.h"
#include "foundation/Messages.h"
#include "ui/Control.h"
#include "ui/FrameWindow.h"
#include "ui/UiHandlers.h"

const FormulaHelpTopic FormulaHelpTopics[] = {
#define HELP_TOPIC(keyword, topic) {keyword, topic},
#include "ui/FormulaHelpTopics.h"
#undef HELP_TOPIC
    {NULL, "writeFormulas"},
};

static_assert(sizeof(FormulaHelpTopics) / sizeof(FormulaHelpTopics[0]) ==
                  FORMULA_HELP_TOPIC_COUNT + 1,
              "255 topics and the end row");

std::string FormulaHelpLink(const char* word)
{
    std::string link;
    const FormulaHelpTopic* row = FormulaHelpTopics;
    for (; row->keyword != NULL; ++row) {
        if (word != NULL && strcmp(row->keyword, word) == 0) {
            if (!link.empty())
                link += ';';
            link += row->topic;
        }
    }
    return link.empty() ? std::string(row->topic) : link;
}

int ShowHelpTopic(const char* text)
{
    if (text == NULL || text[0] == '\0')
        return 1;
    UI_CALL(ShowHelpALink, text);
    return 0;
}

namespace {

void FindHelp(HELPINFO* info)
{
    PTypedObject* object = WindowObject((HWND)info->hItemHandle);
    if (object != NULL && object->typeId >= CT_FIRST_CONTROL && object->typeId <= CT_LAST_CONTROL) {
        PControl* control = static_cast<PControl*>(object);
        PFrameWindow* owner = control->GetOwner();
        if (owner != NULL && owner->windowId == WID_COMPILER &&
            g_UiHandlers.FormulaWordAtCaret != NULL) {
            char word[256];
            if (g_UiHandlers.FormulaWordAtCaret(control, word, sizeof(word))) {
                ShowHelpTopic(FormulaHelpLink(word).c_str());
                return;
            }
        }
        if (owner != NULL && g_UiHandlers.ShowControlHelp != NULL &&
            g_UiHandlers.ShowControlHelp(owner, control, info))
            return;
    }
    UI_CALL(ShowWindowHelp, NULL, (int)info->dwContextId);
}

}  // namespace

void GetAHelp(HELPINFO* info)
{
    GuardedReport("GetAHelp", false, [&] { FindHelp(info); });
}

void AnswerHelpRequest(HELPINFO* info)
{
    if (info->iContextType == HELPINFO_MENUITEM)
        UI_CALL(ShowWindowHelp, NULL, info->iCtrlId);
    else
        GetAHelp(info);
}
