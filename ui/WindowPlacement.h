// Remembered placement of the tool windows and popups: where each was, how
// large, whether it was open, rolled up or docked. A descriptor starts from
// defaults (sizes possibly in font units) and keeps its values in the
// registry under "Windows\<name>".
#pragma once

#include <windows.h>

struct ControlDescriptor;
struct WindowDefinition;

class WindowDescriptor {
public:
    WindowDescriptor(const char* name, int minHeight, int thickFrame, int x, int y, int width,
                     int height, int opened, int attached, int dockable, int minimized);

    // Converts the font-unit defaults with the GUI font of this moment,
    // applies the stored values and writes the complete set back; once.
    void Load();
    // Writes all seven values.
    void Save();

    bool IsOpened();
    bool IsMinimized();
    bool IsAttached();
    int GetX();
    int GetY();
    int GetWidth();
    int GetHeight();

    // Each setter stores the value and writes it at once.
    void SetOpened(int value);
    void SetMinimized(int value);
    void SetAttached(int value);
    void SetX(int value);
    void SetY(int value);
    void SetWidth(int value);
    void SetHeight(int value);

    const char* name;
    int minHeight;
    unsigned char thickFrame;
    unsigned char dockable;
    const WindowDefinition* definition;
    const ControlDescriptor* controlTable;
    char key[100];
    bool loaded;
    bool isOpened, isMinimized, isAttached;
    int X, Y;
    int Width, Height;

private:
    void Write(const char* valueName, DWORD value);
};

// A size default of `pixels` plus `units` font units (average character
// widths across, character heights down).
constexpr int FontUnits(int pixels, int units)
{
    return (int)(0x80000000u | ((unsigned)pixels << 8) | (unsigned)units);
}

// Pixels of a size default for the given font unit (trunc of the font's
// average character width or character height).
int DecodeWindowSize(int encoded, float fontUnit);

// The 24 descriptors in table order, and lookup by name.
enum { WINDOW_DESCRIPTOR_COUNT = 24 };
WindowDescriptor* WindowDescriptorAt(int index);
WindowDescriptor* FindWindowDescriptor(const char* name);

// Whether the application has a dock container: without one, no window
// is ever attached.
bool HasDockContainer();
