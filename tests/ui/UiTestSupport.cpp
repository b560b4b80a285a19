// The toolkit tests' shared set-up and the recorder of the application seam.
#include "tests/ui/UiTestSupport.h"

#include <algorithm>

#include "ui/Font.h"
#include "ui/Toolkit.h"
#include "ui/WindowClasses.h"

HandlerRecorder* HandlerRecorder::current = nullptr;

void StartToolkitOnce()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    InitToolkit(GetModuleHandleA(NULL));
    RegisterWindowClasses(GetModuleHandleA(NULL));
    CreateToolkitFonts("Tahoma", 8);
}

void PumpPending()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

namespace {

void Record(const std::string& name, long long value)
{
    if (HandlerRecorder::current)
        HandlerRecorder::current->calls.push_back(name + " " + std::to_string(value));
}

std::string RegistryKey(const char* key, const char* value)
{
    return std::string(key) + "/" + value;
}

}  // namespace

HandlerRecorder::HandlerRecorder() : saved_(g_UiHandlers)
{
    current = this;
    UiHandlers h = {};
    h.HandleMenuCommand = [](int id) { Record("menu", id); };
    h.ButtonClicked = [](int id) { Record("button", id); };
    h.ListBoxSelected = [](int id) { Record("selected", id); };
    h.ListBoxDblclk = [](int id) { Record("dblclk", id); };
    h.ConfirmWindowClose = [](PFrameWindow*) {
        Record("close", 0);
        return current->confirmCloseAnswer;
    };
    h.HandleControlKey = [](PFrameWindow*, int key) {
        Record("key", key);
        return current->keyUsed;
    };
    h.ShowHelpALink = [](const char* text) {
        current->calls.push_back(std::string("alink ") + text);
    };
    h.ShowWindowHelp = [](HWND, int id) { Record("windowhelp", id); };
    h.GetRegistryDword = [](const char* key, const char* value, DWORD* out) {
        auto found = current->registry.find(RegistryKey(key, value));
        *out = 0;
        if (found == current->registry.end())
            return 1;
        *out = found->second;
        return 0;
    };
    h.SetRegistryDword = [](const char* key, const char* value, DWORD v) {
        current->registry[RegistryKey(key, value)] = v;
        current->calls.push_back("write " + RegistryKey(key, value));
        return 0;
    };
    h.UpdateWindowTitle = [](Fractal* f) { Record("title", (long long)(intptr_t)f); };
    h.Recolour = [](Fractal* f) { Record("recolour", (long long)(intptr_t)f); };
    h.TakeLayerNotification = [](Fractal*) -> int* {
        return current->layersMayMerge ? &current->mergeCounter : nullptr;
    };
    h.StartNextRenderJob = [](void* job) {
        Record("startnext", (long long)(intptr_t)job);
        return current->nextRenderJob;
    };
    h.IsRenderJobListed = [](void* job) {
        auto& jobs = current->listedJobs;
        return std::find(jobs.begin(), jobs.end(), job) != jobs.end();
    };
    h.IsRenderJobFinished = [](void* job) {
        auto& jobs = current->finishedJobs;
        return std::find(jobs.begin(), jobs.end(), job) != jobs.end();
    };
    h.RemoveFinishedRenderJob = [](void* job, void*) {
        Record("removejob", (long long)(intptr_t)job);
        auto& jobs = current->listedJobs;
        jobs.erase(std::remove(jobs.begin(), jobs.end(), job), jobs.end());
    };
    h.RefreshRenderJobList = [] { Record("refreshjobs", 0); };
    h.RepaintRenderJobList = [] { Record("repaintjobs", 0); };
    h.AfterLastRenderJob = [] { Record("lastjob", 0); };
    g_UiHandlers = h;
}

HandlerRecorder::~HandlerRecorder()
{
    g_UiHandlers = saved_;
    current = nullptr;
}

int HandlerRecorder::Count(const std::string& prefix) const
{
    int n = 0;
    for (const std::string& call : calls)
        if (call.compare(0, prefix.size(), prefix) == 0)
            ++n;
    return n;
}
