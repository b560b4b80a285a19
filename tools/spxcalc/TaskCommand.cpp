// spxcalc task [--type NAME] CMD...: a new fractal of the type (default
// Image) gets a windowless task, not started, and a recording main frame.
// Each CMD (stop, start, recalculate, continue, recolour, redraw3d, search,
// quit or a number) is sent with Fractal::SendThreadCommand, waiting for
// the answer it gets (3 for stop, 5 for quit, 0 otherwise); the thread then
// finishes its cycle and "CMD answer=N" (or answer=timeout) is printed.
// quit is carried out by DeleteFractalTask. Last line: "done=N critical=N",
// the UM_CALCULATION_DONE messages and "Critical Error" boxes counted.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>
#include <windows.h>

#include "tools/spxcalc/Commands.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/MessageBox.h"
#include "foundation/Services.h"
#include "calc/FractalTask.h"
#include "calc/task/TaskLifecycle.h"
#include "document/Fractal.h"
#include "files/entry/EntryTypeNames.h"

namespace {

struct NamedCommand {
    const char* name;
    int command;
    int answer;
};

const NamedCommand kCommands[] = {
    {"stop", FTC_STOP, FTC_STOPPED},
    {"start", FTC_START, 0},
    {"recalculate", FTC_RECALCULATE, 0},
    {"continue", FTC_CONTINUE, 0},
    {"recolour", FTC_RECOLOUR, 0},
    {"redraw3d", FTC_REDRAW3D, 0},
    {"search", FTC_SEARCH, 0},
    {"quit", FTC_QUIT, FTC_QUIT_DONE},
};

volatile LONG g_DoneMessages = 0;
volatile LONG g_CriticalBoxes = 0;

bool RecordPost(UINT message, WPARAM, LPARAM)
{
    if (message == UM_CALCULATION_DONE)
        InterlockedIncrement(&g_DoneMessages);
    return true;
}

int CountBox(UINT, const char* title, const char*)
{
    if (title && strcmp(title, "Critical Error") == 0)
        InterlockedIncrement(&g_CriticalBoxes);
    return IDOK;
}

bool ParseCommand(const char* word, NamedCommand* out)
{
    for (const NamedCommand& c : kCommands)
        if (strcmp(word, c.name) == 0) {
            *out = c;
            return true;
        }
    char* end = nullptr;
    long value = strtol(word, &end, 10);
    if (!*word || *end)
        return false;
    *out = {word, (int)value, 0};
    return true;
}

bool Calculates(int command)
{
    return command == FTC_RECALCULATE || command == FTC_CONTINUE || command == FTC_RECOLOUR ||
           command == FTC_REDRAW3D;
}

// A calculating command of a started thread ends with progress 1.0 (a new
// command ends the wait too); the others end within a poll or two.
void WaitForCycle(FractalTask* task, int command, bool started)
{
    if (started && Calculates(command)) {
        for (int i = 0; i < 6000 && task->progress != 1.0 && (task->command == 0 || task->command == FTC_REDRAW3D); ++i)
            Sleep(10);
    }
    Sleep(40);
}

}  // namespace

int RunTaskCommand(int argc, char** argv)
{
    int type = FT_IMAGE;
    int i = 0;
    if (i + 1 < argc && strcmp(argv[i], "--type") == 0) {
        type = FindEntryType(argv[i + 1]);
        if (type < 0) {
            fprintf(stderr, "spxcalc task: unknown type %s\n", argv[i + 1]);
            return 2;
        }
        i += 2;
    }
    std::vector<NamedCommand> commands;
    for (; i < argc; ++i) {
        NamedCommand c;
        if (!ParseCommand(argv[i], &c)) {
            fprintf(stderr, "spxcalc task: unknown command %s\n", argv[i]);
            return 2;
        }
        if (!commands.empty() && commands.back().command == FTC_QUIT && commands.back().answer == FTC_QUIT_DONE) {
            fprintf(stderr, "spxcalc task: %s after quit\n", argv[i]);
            return 2;
        }
        commands.push_back(c);
    }
    if (commands.empty()) {
        fprintf(stderr, "usage: spxcalc task [--type NAME] CMD...\n");
        return 2;
    }
    Services().postToMainFrame = &RecordPost;
    SetMessageBoxAnswerer(&CountBox);

    Fractal* fractal = new Fractal(type, 0);
    int created = PictureToTask(fractal, 1, 0, 0, 0, 0, 0);
    if (created != 0 || !fractal->task) {
        fprintf(stderr, "spxcalc task: no task for the fractal (result %d)\n", created);
        return 1;
    }
    bool started = false;   // the thread left its waiting state
    for (const NamedCommand& c : commands) {
        LONG boxesBefore = g_CriticalBoxes;
        bool quit = c.command == FTC_QUIT && c.answer == FTC_QUIT_DONE;
        if (quit) {
            DeleteFractalTask(fractal, 1, 0, 0);
        } else {
            fractal->task->progress = -1.0;
            fractal->SendThreadCommand(c.command, c.answer);
        }
        bool answered = g_CriticalBoxes == boxesBefore;
        if (answered && !quit) {
            WaitForCycle(fractal->task, c.command, started);
            started = started || c.command == FTC_START;
        }
        if (answered)
            printf("%s answer=%d\n", c.name, c.answer);
        else
            printf("%s answer=timeout\n", c.name);
        fflush(stdout);
    }
    if (fractal->task)
        DeleteFractalTask(fractal, 1, 0, 0);
    printf("done=%ld critical=%ld\n", (long)g_DoneMessages, (long)g_CriticalBoxes);
    return 0;
}
