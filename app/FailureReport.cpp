#include "app/FailureReport.h"
#include "app/Application.h"
#include "foundation/MessageBox.h"
#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct ExceptionText {
    DWORD code;
    const char* text;
};

const ExceptionText kExceptionTexts[] = {
    {0x00001000, "Exception in order to stop the thread"},
    {0x80000002, "Datatype Misalignment - The thread attempted to read or write data that is misaligned on hardware that does not provide alignment. For example, 16-bit values must be aligned on 2-byte boundaries, 32-bit values on 4-byte boundaries, and so on."},
    {0xC0000005, "Access Violation - The thread attempted to read from or write to a virtual address for which it does not have the appropriate access."},
    {0xC0000008, "Invalid Handle - The handle provided is not valid."},
    {0xC000001D, "Illegal Instruction  - The thread attempted to execute an instruction which is unknown."},
    {0xC000008D, "Denormal FPU Exception - One of the operands in a floating-point operation is denormal. A denormal value is one that is too small to represent as a standard floating-point value."},
    {0xC000008E, "FPU Division By Zero - The thread attempted to divide a floating-point value by a floating-point divisor of zero."},
    {0xC0000090, "FPU Invalid Operation - The operation is not supported by this Floating Point Processor."},
    {0xC0000091, "FPU Overflow - The exponent of a floating-point operation is greater than the magnitude allowed by the corresponding type."},
    {0xC0000092, "FPU Stack Check - The stack overflowed or underflowed as the result of a floating-point operation."},
    {0xC0000094, "Processor Division By Zero - The thread attempted to divide an integer value by an integer divisor of zero."},
    {0xC0000095, "Processor Int Overflow - The result of an integer operation caused a carry out of the most significant bit of the result."},
    {0xC0000096, "Privileged Instruction - The thread attempted to execute an instruction whose operation is not allowed in the current machine mode."},
};

const char kFailureFormat[] =
    "Serious software failure\n\nThe routine being executed threw an exception. Please report this bug to the "
    "author (by EMail) and anything you might have done which caused this exception. You can try to continue "
    "working with Spiralix, but I would strongly recommend to save your work and restart Spiralix.\n\n"
    "Description:\n%s\nLocation:%s\n\n";

} // namespace

char* PApplication::GetExceptionText(char* out, DWORD code)
{
    for (const ExceptionText& entry : kExceptionTexts) {
        if (entry.code == code) {
            snprintf(out, EXCEPTION_TEXT_SIZE, "%s", entry.text);
            return out;
        }
    }
    snprintf(out, EXCEPTION_TEXT_SIZE,
             "Exception code %lx - For more information see Win32 include file winbase.h", (unsigned long)code);
    return out;
}

int ShowFailureReport(DWORD code, const char* location)
{
    char description[EXCEPTION_TEXT_SIZE];
    PApplication::GetExceptionText(description, code);
    if (!location)
        location = "";
    // The location may carry a formula or fractal name of any length.
    std::string text(sizeof kFailureFormat + strlen(description) + strlen(location), '\0');
    int n = snprintf(&text[0], text.size(), kFailureFormat, description, location);
    text.resize(n > 0 ? n : 0);
    return g_ErrorBox.Show("Exception", text.c_str());
}
