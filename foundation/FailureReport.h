// The program's report of an exception caught by a guard.
#pragma once

#include <windows.h>

// Room for any text of PApplication::GetExceptionText.
enum { EXCEPTION_TEXT_SIZE = 400 };

// The program's report of a caught exception: the error box titled
// "Exception" naming the exception and the guarded routine (the
// application's failure-report service). Returns the button pressed.
int ReportSoftwareFailure(DWORD code, const char* location);
