// The text between the braces of an IFS or L-system entry made ready for
// reading line by line: comments out, control characters blanked, upper
// case, runs of line feeds collapsed and none at either end.
#pragma once
#include <stdio.h>
#include <string.h>
#include <string>

std::string PrepareFormulaBody(const char* body, size_t length);

// Calls read(line) for every line of the prepared body.
template <class ReadLine>
void ForEachFormulaLine(const char* body, ReadLine read)
{
    std::string text = PrepareFormulaBody(body, strlen(body));
    for (size_t start = 0; !text.empty() && start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        read(text.substr(start, end - start).c_str());
        start = end + 1;
    }
}

// The name (ListNode::NODE_NAME_SIZE bytes) and the text between the
// braces of the entry text starts with; false for an entry named COMMENT
// or one without its name or braces.
bool SplitFormulaEntry(const char* text, char* name, std::string* body);

// The path of a formula file: directory + "\" + fileName, or whichever of
// the two is given; empty when neither is.
std::string FormulaFilePath(const char* directory, const char* fileName);

// Reads each braced entry of the formula file directory\fileName with
// readEntry (true when the entry made a formula), showing "Loading file
// NAME" and the share read as the progress; stops when the worker is
// cancelled. logLine starts the log line that names the file. The number
// of formulas read; 0 when the file cannot be read.
int LoadFormulaFile(const char* directory, const char* fileName, const char* logLine,
                    bool (*readEntry)(const char* text));

// Where a formula writer writes: file when given, else directory\fileName
// opened for writing in text mode; null when neither works.
FILE* OpenFormulaOutput(const char* directory, const char* fileName, FILE* file);
