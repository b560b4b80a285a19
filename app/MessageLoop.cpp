// The program's run: the application object, its start-up, the message
// loop with the MDI and menu accelerators, the shutdown sequence and the
// clean-up. WinMain (WinMain.cpp) runs it under the exception guard.
#include "app/Application.h"

#include "app/HandlerBindings.h"
#include "app/MainInit.h"
#include "app/Shutdown.h"
#include "foundation/LogFile.h"
#include "ui/Control.h"
#include "ui/FrameWindow.h"

namespace {

// Type id of the formula editor control: the letter I is an accelerator
// elsewhere but must reach the editor as text.
const int kFormulaEditorType = 1042;

}  // namespace

bool IsFormulaEditorLetterI(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN || msg.wParam != 'I' || msg.hwnd == NULL)
        return false;
    PTypedObject* object =
        reinterpret_cast<PTypedObject*>((LONG_PTR)GetWindowLongA(msg.hwnd, GWL_USERDATA));
    return object != NULL && object->typeId == kFormulaEditorType;
}

void RunMessageLoop()
{
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        PFrameWindow* frame = g_App != NULL ? g_App->mainFrame : NULL;
        if (frame != NULL && frame->mdiClient != NULL && TranslateMDISysAccel(frame->mdiClient, &msg))
            continue;
        HACCEL accelerators = g_App != NULL ? g_App->GetAccelerators() : NULL;
        if (!IsFormulaEditorLetterI(msg) && accelerators != NULL && frame != NULL &&
            TranslateAcceleratorA(frame->hwnd, accelerators, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

int RunApplication(HINSTANCE instance)
{
    g_App = new PApplication(instance);
    BindApplicationHandlers();
    if (g_App->Init() != 0)
        return 0;
    g_App->log->Write("Now calling main initialization routine");
    if (InitializeProgram() == 0) {
        RunMessageLoop();
        TerminateProgramGuarded();
    }
    g_App->Cleanup();
    return 0;
}
