#include <windows.h>
#include <gtest/gtest.h>
#include "app/ServiceBindings.h"
#include "foundation/MessageBox.h"

// A message box that no test scripted is a failure: it would block a
// headless run, so it is answered with Cancel and reported.
static int UnexpectedBox(UINT style, const char* title, const char* text)
{
    ADD_FAILURE() << "unexpected message box (style 0x" << std::hex << style
                  << "): " << title << ": " << text;
    return IDCANCEL;
}

int main(int argc, char** argv)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    BindApplicationServices();
    SetMessageBoxAnswerer(&UnexpectedBox);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
