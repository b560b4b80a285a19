#include "foundation/LogFile.h"

#include <stdio.h>
#include <string.h>

#include "foundation/Services.h"

namespace {

void SystemClock(SYSTEMTIME* time)
{
    GetSystemTime(time);
}

LogClock s_clock = SystemClock;

// Serialises the writers: msvcrt's append mode seeks to the end before
// writing, which is not atomic, so two threads appending at once could
// write over each other's lines.
CRITICAL_SECTION* WriterLock()
{
    struct Holder {
        CRITICAL_SECTION section;
        Holder() { InitializeCriticalSection(&section); }
    };
    static Holder holder;
    return &holder.section;
}

void AppendLine(const char* text, const char* more)
{
    SYSTEMTIME now;
    s_clock(&now);
    char path[MAX_PATH + 1100];
    if (!GetLogFilePath(path, sizeof(path)))
        return;
    EnterCriticalSection(WriterLock());
    FILE* file = fopen(path, "a");
    if (file) {
        fprintf(file, "%02d:%02d:%02d.%03d  %s%s\n", now.wHour, now.wMinute, now.wSecond,
                now.wMilliseconds, text ? text : "", more ? more : "");
        fclose(file);
    }
    LeaveCriticalSection(WriterLock());
}

}  // namespace

bool GetLogFilePath(char* path, size_t size)
{
    const char* (*dataFolder)() = Services().dataFolder;
    const char* folder = dataFolder != nullptr ? dataFolder() : nullptr;
    if (folder == nullptr || folder[0] == '\0')
        return false;
    int length = snprintf(path, size, "%s\\spiralix.log", folder);
    return length > 0 && (size_t)length < size;
}

LogClock SetLogClock(LogClock clock)
{
    LogClock previous = s_clock;
    s_clock = clock ? clock : SystemClock;
    return previous;
}

LogFile::LogFile() : enabled(0)
{
    Remove();
}

void LogFile::Write(const char* text)
{
    if (enabled)
        AppendLine(text, NULL);
}

void LogFile::WriteJoined(const char* text, const char* more)
{
    if (enabled)
        AppendLine(text, more);
}

void LogFile::Remove()
{
    char path[MAX_PATH + 1100];
    if (GetLogFilePath(path, sizeof(path)))
        DeleteFileA(path);
}
