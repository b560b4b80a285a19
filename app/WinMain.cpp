// The entry of Spiralix.exe: runs the program under the exception guard,
// which reports a failure that escapes everything else and ends with 0.
// The command line is not read.
#include <windows.h>

#include "app/Application.h"
#include "app/ServiceBindings.h"
#include "foundation/Guard.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    BindApplicationServices();
    GuardedReport("WinMain", false, [instance] { RunApplication(instance); });
    return 0;
}
