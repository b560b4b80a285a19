#pragma once
#include <windows.h>

// Room for any text of PApplication::GetExceptionText.
enum { EXCEPTION_TEXT_SIZE = 400 };

// The program's report of a caught exception: the error box titled
// "Exception" naming the exception and the guarded routine. Returns the
// button pressed.
int ReportSoftwareFailure(DWORD code, const char* location);
