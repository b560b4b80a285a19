// Routing of selection changes to the request handlers.
#include "ui/SelectionRouting.h"

#include "ui/UiHandlers.h"

void OnSelectionChanged(PFrameWindow* window, int controlId)
{
    UI_CALL(ListBoxSelected, controlId);
}
