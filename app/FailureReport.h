// The application's failure report, bound as the failure-report service.
#pragma once

#include "foundation/FailureReport.h"

// The error box titled "Exception" with the exception described in words
// (PApplication::GetExceptionText) and the guarded routine. Returns the
// button pressed.
int ShowFailureReport(DWORD code, const char* location);
