// Debug log "spiralix.log" in the application's per-version data folder.
#pragma once

#include <windows.h>

class LogFile {
public:
    // Deletes a log file left by an earlier run; logging starts disabled.
    LogFile();
    virtual ~LogFile() {}

    // When enabled, appends "hh:mm:ss.mmm  text" (UTC) as one line.
    void Write(const char* text);
    // The same with the two texts joined.
    void WriteJoined(const char* text, const char* more);
    // Deletes the log file.
    void Remove();

    int enabled;  // 0 until the application switches logging on
};

// Builds the log file's path into path (size bytes); false when the
// application object or its data folder is not there yet.
bool GetLogFilePath(char* path, size_t size);

// Source of the time stamps (GetSystemTime by default). Tests put in a
// fixed clock; returns the clock that was in place.
typedef void (*LogClock)(SYSTEMTIME* time);
LogClock SetLogClock(LogClock clock);
