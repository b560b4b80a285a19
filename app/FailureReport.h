#pragma once
#include <windows.h>

// Room for any text of GetExceptionText.
enum { EXCEPTION_TEXT_SIZE = 400 };

// Copies the description of a Windows exception code into out (at least
// EXCEPTION_TEXT_SIZE bytes) and returns out.
char* GetExceptionText(char* out, DWORD code);

// The program's report of a caught exception: the error box titled
// "Exception" naming the exception and the guarded routine. Returns the
// button pressed.
int ReportSoftwareFailure(DWORD code, const char* location);
