// Window placement: the 24 descriptors, their one-time load and the
// write-through setters.
#include "ui/WindowPlacement.h"

#include <stdio.h>
#include <string.h>

#include "ui/Font.h"
#include "ui/FrameWindow.h"
#include "ui/Toolkit.h"
#include "ui/UiHandlers.h"

namespace {

int TipX() { return (GetSystemMetrics(SM_CXFULLSCREEN) - 450) / 2; }
int TipY() { return (GetSystemMetrics(SM_CYFULLSCREEN) - 400) / 2; }

WindowDescriptor g_Descriptors[] = {
#define WINDOW_DESCRIPTOR(name, minHeight, x, y, w, h, opened, attached, dockable, minimized) \
    WindowDescriptor(name, minHeight, 1, x, y, w, h, opened, attached, dockable, minimized),
#include "ui/WindowDescriptors.h"
#undef WINDOW_DESCRIPTOR
};

static_assert(sizeof(g_Descriptors) / sizeof(g_Descriptors[0]) == WINDOW_DESCRIPTOR_COUNT,
              "one descriptor per window name");

int ReadValue(const char* key, const char* valueName, int fallback)
{
    DWORD value = 0;
    if (g_UiHandlers.GetRegistryDword == NULL ||
        g_UiHandlers.GetRegistryDword(key, valueName, &value) != 0)
        return fallback;
    return (int)value;
}

}  // namespace

bool HasDockContainer()
{
    return g_DockContainer != NULL;
}

int DecodeWindowSize(int encoded, float fontUnit)
{
    if (((unsigned)encoded & 0xFFFF0000u) == 0)
        return encoded;
    int pixels = (int)(((unsigned)encoded >> 8) & 0xFFFF);
    int units = (int)((unsigned)encoded & 0xFF);
    return pixels + units * (int)fontUnit;
}

WindowDescriptor::WindowDescriptor(const char* windowName, int minimumHeight, int thick, int x,
                                   int y, int width, int height, int opened, int attached,
                                   int canDock, int minimized)
    : name(windowName),
      minHeight(minimumHeight),
      thickFrame((unsigned char)thick),
      dockable((unsigned char)canDock),
      definition(NULL),
      controlTable(NULL),
      loaded(false),
      isOpened(opened != 0),
      isMinimized(minimized != 0),
      isAttached(attached != 0),
      X(x),
      Y(y),
      Width(width),
      Height(height)
{
    snprintf(key, sizeof(key), "Windows\\%s", name);
}

void WindowDescriptor::Load()
{
    if (loaded)
        return;
    PFont* font = GuiFont();
    Width = DecodeWindowSize(Width, font != NULL ? font->averageCharWidth : 0);
    Height = DecodeWindowSize(Height, font != NULL ? font->charHeight : 0);
    X = ReadValue(key, "X", X);
    Y = ReadValue(key, "Y", Y);
    Width = ReadValue(key, "Width", Width);
    Height = ReadValue(key, "Height", Height);
    isOpened = ReadValue(key, "isOpened", isOpened) != 0;
    isMinimized = ReadValue(key, "isMinimized", isMinimized) != 0;
    isAttached = ReadValue(key, "isAttached", isAttached) != 0;
    if (!HasDockContainer())
        isAttached = false;
    Save();
    loaded = true;
}

void WindowDescriptor::Write(const char* valueName, DWORD value)
{
    if (g_UiHandlers.SetRegistryDword != NULL)
        g_UiHandlers.SetRegistryDword(key, valueName, value);
}

void WindowDescriptor::Save()
{
    Write("isOpened", isOpened);
    Write("isMinimized", isMinimized);
    Write("isAttached", isAttached);
    Write("X", X);
    Write("Y", Y);
    Write("Width", Width);
    Write("Height", Height);
}

bool WindowDescriptor::IsOpened() { Load(); return isOpened; }
bool WindowDescriptor::IsMinimized() { Load(); return isMinimized; }
bool WindowDescriptor::IsAttached() { Load(); return isAttached; }
int WindowDescriptor::GetX() { Load(); return X; }
int WindowDescriptor::GetY() { Load(); return Y; }
int WindowDescriptor::GetWidth() { Load(); return Width; }
int WindowDescriptor::GetHeight() { Load(); return Height; }

// Booleans are taken from the low byte of the argument.
void WindowDescriptor::SetOpened(int value) { isOpened = (value & 0xFF) != 0; Write("isOpened", isOpened); }
void WindowDescriptor::SetMinimized(int value) { isMinimized = (value & 0xFF) != 0; Write("isMinimized", isMinimized); }
void WindowDescriptor::SetAttached(int value) { isAttached = (value & 0xFF) != 0; Write("isAttached", isAttached); }
void WindowDescriptor::SetX(int value) { X = value; Write("X", value); }
void WindowDescriptor::SetY(int value) { Y = value; Write("Y", value); }
void WindowDescriptor::SetWidth(int value) { Width = value; Write("Width", value); }
void WindowDescriptor::SetHeight(int value) { Height = value; Write("Height", value); }

WindowDescriptor* WindowDescriptorAt(int index)
{
    if (index < 0 || index >= WINDOW_DESCRIPTOR_COUNT)
        return NULL;
    return &g_Descriptors[index];
}

WindowDescriptor* FindWindowDescriptor(const char* name)
{
    for (WindowDescriptor& descriptor : g_Descriptors)
        if (strcmp(descriptor.name, name) == 0)
            return &descriptor;
    return NULL;
}
