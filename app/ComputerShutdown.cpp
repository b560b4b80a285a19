// Powering the computer off after the last render job when the user has
// left it alone for a minute. The system calls go through g_ComputerShutdown
// so that a test can run the decision without ending its Wine session.
#include "app/Application.h"

namespace {

DWORD MillisecondsSinceInput()
{
    LASTINPUTINFO info = {sizeof(info), 0};
    if (!GetLastInputInfo(&info))
        return 0;
    return GetTickCount() - info.dwTime;
}

bool EnableShutdownPrivilege()
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool ok = LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &privileges.Privileges[0].Luid) &&
              AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL) &&
              GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return ok;
}

BOOL PowerOff(UINT flags, DWORD reason)
{
    return ExitWindowsEx(flags, reason);
}

}  // namespace

ComputerShutdown g_ComputerShutdown = {&MillisecondsSinceInput, &EnableShutdownPrivilege,
                                       &PowerOff};

bool PApplication::ShutdownComputerIfIdle()
{
    if (g_ComputerShutdown.millisecondsSinceInput() < 60000)
        return false;
    if (!g_ComputerShutdown.enableShutdownPrivilege())
        return false;
    g_ComputerShutdown.exitWindows(EWX_POWEROFF | EWX_FORCEIFHUNG,
                                   SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_FLAG_PLANNED);
    return true;
}
