// Context help: WM_HELP of every window. Help on the formula editor opens
// the topics of the word at the caret; other controls and windows get the
// ordinary F1 help of their context id.
#pragma once

#include <windows.h>

#include <string>

// Answers WM_HELP: menu items get the window help of their id, everything
// else GetAHelp.
void AnswerHelpRequest(HELPINFO* info);

// The context help of a control or window, under a guard that reports any
// exception as "GetAHelp".
void GetAHelp(HELPINFO* info);

// The help link of a word of the formula language: the topics of every row
// whose keyword is the word (case-sensitive), joined with ";", or
// "writeFormulas" when the word has none.
std::string FormulaHelpLink(const char* word);

// Opens the help by associative link; 1 (nothing shown) for an empty text.
int ShowHelpTopic(const char* text);

// The keyword-topic table: 255 rows, then the end row with the fallback.
struct FormulaHelpTopic {
    const char* keyword;
    const char* topic;
};
extern const FormulaHelpTopic FormulaHelpTopics[];
enum { FORMULA_HELP_TOPIC_COUNT = 255 };
