// The application object's folders and log, and the registry helpers below
// HKCU "Software\Spiralix\4.0" with the migration of an older version's key.
#include "app/Application.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "foundation/LogFile.h"

PApplication* g_App = NULL;

namespace {

// Appends text to a zero-terminated buffer of the given size, cutting it
// off rather than running past the end.
void AppendText(char* buffer, size_t size, const char* text)
{
    size_t used = strlen(buffer);
    if (used + 1 >= size)
        return;
    strncat(buffer, text, size - used - 1);
}

// Opens HKCU "Software\Spiralix\4.0\<subKey>" for reading.
bool OpenForReading(const char* subKey, HKEY* key)
{
    HKEY versionKey;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SPIRALIX_REGISTRY_KEY, 0, KEY_READ, &versionKey) !=
        ERROR_SUCCESS)
        return false;
    LONG result = RegOpenKeyExA(versionKey, subKey ? subKey : "", 0, KEY_READ, key);
    RegCloseKey(versionKey);
    return result == ERROR_SUCCESS;
}

// Opens HKCU "Software\Spiralix\4.0\<subKey>" for writing, creating what
// is missing.
bool OpenForWriting(const char* subKey, HKEY* key)
{
    const REGSAM access = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;
    HKEY versionKey;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, SPIRALIX_REGISTRY_KEY, 0, NULL, 0, access, NULL,
                        &versionKey, NULL) != ERROR_SUCCESS)
        return false;
    LONG result = RegCreateKeyExA(versionKey, subKey ? subKey : "", 0, NULL, 0, access, NULL,
                                  key, NULL);
    RegCloseKey(versionKey);
    return result == ERROR_SUCCESS;
}

int SetValue(const char* subKey, const char* valueName, DWORD type, const void* data,
             DWORD size)
{
    HKEY key;
    if (!OpenForWriting(subKey, &key))
        return 1;
    LONG result = RegSetValueExA(key, valueName, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? 0 : 1;
}

}  // namespace

PApplication::PApplication(HINSTANCE instance)
    : mainFrame(NULL),
      hInstance(instance),
      mainThreadId(GetCurrentThreadId()),
      renderJobFolder(NULL),
      jobTempFolder(NULL),
      startFolder(NULL),
      log(NULL)
{
    dataFolder[0] = '\0';
    renderJobFolder = static_cast<char*>(calloc(512, 1));
    jobTempFolder = static_cast<char*>(calloc(512, 1));

    char appData[MAX_PATH];
    if (!GetSpecialFolderPath(appData, CSIDL_APPDATA))
        strcpy(appData, "c:");
    snprintf(renderJobFolder, 512, "%s", appData);
    AppendText(renderJobFolder, 512, "\\Spiralix");
    CreateDirectoryA(renderJobFolder, NULL);
    AppendText(renderJobFolder, 512, "\\RenderJobs");
    CreateDirectoryA(renderJobFolder, NULL);
}

void PApplication::InitFolders()
{
    // The help file and the interface pictures are looked up in the start
    // folder. The current directory serves when it holds the help file;
    // otherwise (a program started from a shortcut or a shell elsewhere) the
    // executable's own folder, where the installation puts them.
    char folder[MAX_PATH] = "";
    DWORD length = GetCurrentDirectoryA(sizeof(folder), folder);
    char probe[MAX_PATH + 16];
    snprintf(probe, sizeof(probe), "%s\\Spiralix.chm", folder);
    if (length == 0 || length >= sizeof(folder) ||
        GetFileAttributesA(probe) == INVALID_FILE_ATTRIBUTES) {
        char module[MAX_PATH] = "";
        DWORD n = GetModuleFileNameA(NULL, module, sizeof(module));
        char* slash = n > 0 && n < sizeof(module) ? strrchr(module, '\\') : NULL;
        if (slash != NULL) {
            *slash = '\0';
            strcpy(folder, module);
        }
    }
    free(startFolder);
    startFolder = _strdup(folder);

    char appData[MAX_PATH];
    if (!GetSpecialFolderPath(appData, CSIDL_APPDATA))
        strcpy(appData, "c:");
    snprintf(dataFolder, sizeof(dataFolder), "%s\\Spiralix %d.%d", appData,
             SPIRALIX_VERSION_MAJOR, SPIRALIX_VERSION_MINOR);
}

void PApplication::InitLog()
{
    delete log;
    log = new LogFile();
    DWORD debug = 0;
    if (GetRegistryDword("Properties", "Debug", &debug) == 0)
        log->enabled = debug;
    log->Remove();
    log->Write("First line");
}

bool PApplication::GetSpecialFolderPath(char* path, int csidl)
{
    path[0] = '\0';
    char found[MAX_PATH] = "";
    if (!SHGetSpecialFolderPathA(NULL, found, csidl, FALSE) || found[0] == '\0')
        return false;
    strcpy(path, found);
    return true;
}

// ------------------------------------------------------------- registry

int PApplication::GetRegistryString(const char* subKey, const char* valueName, char* text)
{
    text[0] = '\0';
    HKEY key;
    if (!OpenForReading(subKey, &key))
        return 1;
    // Read into a buffer one byte larger than the limit so that the text
    // is always terminated, even when the stored value lacks its zero.
    char buffer[101] = "";
    DWORD type = 0;
    DWORD size = 100;
    LONG result = RegQueryValueExA(key, valueName, NULL, &type,
                                   reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    // Only texts shorter than 100 bytes (with their zero) count as read.
    if (result != ERROR_SUCCESS || type != REG_SZ || size >= 100)
        return 1;
    buffer[size] = '\0';
    strcpy(text, buffer);
    return 0;
}

int PApplication::GetRegistryDword(const char* subKey, const char* valueName, DWORD* value)
{
    *value = 0;
    HKEY key;
    if (!OpenForReading(subKey, &key))
        return 1;
    DWORD data = 0;
    DWORD type = 0;
    DWORD size = sizeof(data);
    LONG result = RegQueryValueExA(key, valueName, NULL, &type,
                                   reinterpret_cast<BYTE*>(&data), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(data))
        return 1;
    *value = data;
    return 0;
}

int PApplication::GetRegistryBinary(const char* subKey, const char* valueName, void* buffer,
                                    DWORD size)
{
    HKEY key;
    if (!OpenForReading(subKey, &key))
        return 1;
    DWORD type = 0;
    DWORD read = size;
    LONG result = RegQueryValueExA(key, valueName, NULL, &type, static_cast<BYTE*>(buffer),
                                   &read);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_BINARY ? 0 : 1;
}

int PApplication::SetRegistryString(const char* subKey, const char* valueName, const char* text)
{
    return SetValue(subKey, valueName, REG_SZ, text, (DWORD)strlen(text) + 1);
}

int PApplication::SetRegistryDword(const char* subKey, const char* valueName, DWORD value)
{
    return SetValue(subKey, valueName, REG_DWORD, &value, sizeof(value));
}

int PApplication::SetRegistryBinary(const char* subKey, const char* valueName, const void* data,
                                    DWORD size)
{
    return SetValue(subKey, valueName, REG_BINARY, data, size);
}

void PApplication::FindPreviousVersionKey(char* name)
{
    name[0] = '\0';
    HKEY root;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SPIRALIX_REGISTRY_ROOT, 0, KEY_READ, &root) !=
        ERROR_SUCCESS)
        return;
    const double running = SPIRALIX_VERSION_MAJOR + SPIRALIX_VERSION_MINOR / 10.0;
    double best = 0.0;
    for (DWORD index = 0;; index++) {
        char keyName[60];
        DWORD length = sizeof(keyName);
        LONG result = RegEnumKeyExA(root, index, keyName, &length, NULL, NULL, NULL, NULL);
        if (result == ERROR_MORE_DATA)
            continue;  // a name too long to be a version
        if (result != ERROR_SUCCESS)
            break;
        int major, minor;
        if (sscanf(keyName, "%d.%d", &major, &minor) != 2)
            continue;
        double version = major + minor / 10.0;
        if (version > 0.0 && version < running && version > best) {
            best = version;
            strcpy(name, keyName);
        }
    }
    RegCloseKey(root);
}

int PApplication::CopyRegistryKey(const char* sourceName, const char* targetPath)
{
    HKEY root;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SPIRALIX_REGISTRY_ROOT, 0, KEY_READ, &root) !=
        ERROR_SUCCESS)
        return 1;
    // Check the source first: a missing source must not leave an empty
    // target key behind, which would look like an already migrated key.
    HKEY source;
    if (!sourceName || !sourceName[0] ||
        RegOpenKeyExA(root, sourceName, 0, KEY_READ, &source) != ERROR_SUCCESS) {
        RegCloseKey(root);
        return 1;
    }
    RegCloseKey(source);
    HKEY target;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, targetPath, 0, NULL, 0, KEY_READ | KEY_WRITE, NULL,
                        &target, NULL) != ERROR_SUCCESS) {
        RegCloseKey(root);
        return 1;
    }
    DWORD result = SHCopyKeyA(root, sourceName, target, 0);
    RegCloseKey(target);
    RegCloseKey(root);
    return result == ERROR_SUCCESS ? 0 : 1;
}
