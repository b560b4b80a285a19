#include "tests/support/ScriptedBoxes.h"
#include "foundation/MessageBox.h"

static ScriptedBoxes* s_current = nullptr;

ScriptedBoxes::ScriptedBoxes(int defaultAnswer) : defaultAnswer_(defaultAnswer)
{
    InitializeCriticalSection(&lock_);
    previous_ = s_current;
    s_current = this;
    previousAnswerer_ = reinterpret_cast<void*>(SetMessageBoxAnswerer(&ScriptedBoxes::Answerer));
}

ScriptedBoxes::~ScriptedBoxes()
{
    s_current = previous_;
    SetMessageBoxAnswerer(reinterpret_cast<MessageBoxAnswerer>(previousAnswerer_));
    DeleteCriticalSection(&lock_);
}

void ScriptedBoxes::Answer(int answer)
{
    EnterCriticalSection(&lock_);
    answers_.push_back(answer);
    LeaveCriticalSection(&lock_);
}

std::vector<ShownBox> ScriptedBoxes::Shown() const
{
    EnterCriticalSection(&lock_);
    std::vector<ShownBox> copy = shown_;
    LeaveCriticalSection(&lock_);
    return copy;
}

size_t ScriptedBoxes::Count() const
{
    return Shown().size();
}

int ScriptedBoxes::Take(UINT style, const char* title, const char* text)
{
    EnterCriticalSection(&lock_);
    shown_.push_back(ShownBox{style, title, text});
    int answer = defaultAnswer_;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    }
    LeaveCriticalSection(&lock_);
    return answer;
}

int ScriptedBoxes::Answerer(UINT style, const char* title, const char* text)
{
    ScriptedBoxes* current = s_current;
    return current ? current->Take(style, title, text) : IDCANCEL;
}
