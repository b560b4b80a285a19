// The failure report goes through the application's service, which names
// the exception in words; without one a plain error box still tells the code.
#include "foundation/FailureReport.h"

#include <stdio.h>

#include "foundation/MessageBox.h"
#include "foundation/Services.h"

int ReportSoftwareFailure(DWORD code, const char* location)
{
    int (*report)(DWORD, const char*) = Services().reportFailure;
    if (report != nullptr)
        return report(code, location);
    char text[EXCEPTION_TEXT_SIZE];
    snprintf(text, sizeof text, "Serious software failure\n\nException code %lx\nLocation:%.200s",
             (unsigned long)code, location ? location : "");
    return g_ErrorBox.Show("Exception", text);
}
