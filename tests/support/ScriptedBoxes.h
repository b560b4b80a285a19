#pragma once
#include <windows.h>
#include <deque>
#include <string>
#include <vector>

// Answers the program's message boxes during a test and records them.
// While an instance lives, every PMessageBox::Show lands here: the box is
// recorded and answered with the next scripted answer, or with the
// default answer when the script is used up. Boxes may come from any
// thread. Outside such a scope the test main records unexpected boxes as
// test failures.
struct ShownBox {
    UINT style;
    std::string title;
    std::string text;
};

class ScriptedBoxes {
public:
    explicit ScriptedBoxes(int defaultAnswer = IDOK);
    ~ScriptedBoxes();
    ScriptedBoxes(const ScriptedBoxes&) = delete;
    ScriptedBoxes& operator=(const ScriptedBoxes&) = delete;

    void Answer(int answer);              // queue the next answer
    std::vector<ShownBox> Shown() const;  // every box shown so far
    size_t Count() const;

private:
    static int Answerer(UINT style, const char* title, const char* text);
    int Take(UINT style, const char* title, const char* text);

    int defaultAnswer_;
    std::deque<int> answers_;
    std::vector<ShownBox> shown_;
    mutable CRITICAL_SECTION lock_;
    ScriptedBoxes* previous_;
    void* previousAnswerer_;
};
