// A TextWriter over a temporary file, and everything written through it.
#pragma once

#include <stdio.h>

#include <string>

#include "files/entry/TextWriter.h"

class WrittenText {
public:
    WrittenText() : file_(tmpfile()), writer(file_) {}
    ~WrittenText() { fclose(file_); }
    WrittenText(const WrittenText&) = delete;
    WrittenText& operator=(const WrittenText&) = delete;

    std::string Text()
    {
        fflush(file_);
        rewind(file_);
        std::string text;
        for (int c; (c = fgetc(file_)) != EOF;)
            text += (char)c;
        return text;
    }

private:
    FILE* file_;

public:
    TextWriter writer;
};
