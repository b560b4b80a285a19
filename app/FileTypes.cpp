// What the main initialisation asks of the system's registry beyond the
// program's own key: the file types it registers (never taking over an
// extension another program owns), the HTML browser and the Windows version.
#include "app/MainInit.h"

#include <stdio.h>
#include <string.h>

int WindowsVersion = 0;
char HtmlBrowserCommand[1000] = "";

namespace {

bool SetDefaultValue(HKEY parent, const char* subKey, const char* text)
{
    HKEY key;
    if (RegCreateKeyExA(parent, subKey, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExA(key, NULL, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

// Reads the default value of parent\subKey into out; false when missing.
bool ReadDefaultValue(HKEY parent, const char* subKey, char* out, DWORD size)
{
    out[0] = '\0';
    HKEY key;
    if (RegOpenKeyExA(parent, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD length = size - 1;
    LONG result = RegQueryValueExA(key, NULL, NULL, &type, (BYTE*)out, &length);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ) {
        out[0] = '\0';
        return false;
    }
    out[length < size ? length : size - 1] = '\0';
    return true;
}

}  // namespace

LONG RegisterFileType(const char* extension, const char* progId, const char* description,
                      const char* iconIndex)
{
    HKEY key;
    DWORD disposition = 0;
    LONG result = RegCreateKeyExA(HKEY_CLASSES_ROOT, extension, 0, NULL, 0, KEY_READ | KEY_WRITE,
                                  NULL, &key, &disposition);
    if (result != ERROR_SUCCESS)
        return result;
    if (disposition == REG_OPENED_EXISTING_KEY) {
        char current[1000] = "";
        DWORD type = 0;
        DWORD size = sizeof(current) - 1;
        LONG read = RegQueryValueExA(key, NULL, NULL, &type, (BYTE*)current, &size);
        // An extension that is someone else's (or whose owner cannot be
        // read) stays as it is.
        if (read != ERROR_SUCCESS || strcmp(current, progId) != 0) {
            RegCloseKey(key);
            return result;
        }
    }
    RegSetValueExA(key, NULL, 0, REG_SZ, (const BYTE*)progId, (DWORD)strlen(progId) + 1);
    RegCloseKey(key);

    SetDefaultValue(HKEY_CLASSES_ROOT, progId, description);
    char module[MAX_PATH] = "";
    GetModuleFileNameA(NULL, module, sizeof(module));
    char icon[MAX_PATH + 20];
    snprintf(icon, sizeof(icon), "%s,%s", module, iconIndex);
    char iconKey[200];
    snprintf(iconKey, sizeof(iconKey), "%s\\DefaultIcon", progId);
    SetDefaultValue(HKEY_CLASSES_ROOT, iconKey, icon);
    return result;
}

void RegisterFileTypes()
{
    static const char* const kTypes[7][4] = {
        {".scl", "SX_SCL_FILE", "Spiralix Coloring Formulas", "-160"},
        {".sfm", "SX_SFM_FILE", "Spiralix Iteration Formulas", "-161"},
        {".str", "SX_STR_FILE", "Spiralix Transformation Formulas", "-159"},
        {".par", "SX_PAR_FILE", "Spiralix Fractal Parameter", "-162"},
        {".map", "SX_MAP_FILE", "Spiralix Palette File", "-163"},
        {".ifs", "SX_IFS_FILE", "Spiralix IFS Formulas", "-164"},
        {".l", "SX_LSYST_FILE", "Spiralix LSystem Formulas", "-165"},
    };
    for (const auto& type : kTypes)
        RegisterFileType(type[0], type[1], type[2], type[3]);
}

void FindHtmlBrowser()
{
    HtmlBrowserCommand[0] = '\0';
    char progId[100];
    if (!ReadDefaultValue(HKEY_CLASSES_ROOT, ".htm", progId, sizeof(progId)))
        return;
    char path[200];
    snprintf(path, sizeof(path), "%s\\shell\\open\\command", progId);
    ReadDefaultValue(HKEY_CLASSES_ROOT, path, HtmlBrowserCommand, sizeof(HtmlBrowserCommand));
}

int GetWindowsVersion()
{
    OSVERSIONINFOEXA extended = {};
    extended.dwOSVersionInfoSize = sizeof(extended);
    bool isExtended = GetVersionExA((OSVERSIONINFOA*)&extended) != 0;
    if (!isExtended) {
        extended.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA((OSVERSIONINFOA*)&extended))
            return 0;
    }
    DWORD major = extended.dwMajorVersion, minor = extended.dwMinorVersion;
    if (extended.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && major == 4) {
        if (minor == 0)
            return 1;
        if (minor == 10)
            return 2;
        return minor == 90 ? 3 : 0;
    }
    if (extended.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        if (major <= 4)
            return 4;
        if (major == 5 && minor == 0)
            return 5;
        return isExtended ? 6 : 0;
    }
    return 0;
}
