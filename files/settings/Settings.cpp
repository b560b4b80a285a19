// Reading and writing "Spiralix.cfg". One table lists every key in the
// order the file is written; each row says how its value is read (first
// integer, a 0/1 switch, a clamp, a quoted font, a path list, a text, the
// comment block ...) and where the setting lives, so reading and writing
// cannot drift apart.
#include "files/settings/Settings.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "calc/task/FractalThread.h"
#include "document/DocumentSettings.h"
#include "document/ParameterTables.h"
#include "files/image/ImageRead.h"
#include "formulas/FormulaEdit.h"
#include "formulas/FormulaLoader.h"
#include "foundation/Buffers.h"
#include "foundation/Messages.h"

SettingsRegistry g_SettingsRegistry = {NULL, NULL};
char g_SettingsFolder[MAX_PATH] = "";
MainWindowSetting g_MainWindowSetting = {0, 0, 980, 740, 3};
void (*g_ReadMainWindowSetting)(MainWindowSetting* setting) = NULL;

FontSetting GUIFont = {"Tahoma", 8, 0};
FontSetting SmallFont = {"Tahoma", 8, 0};
int keyboardMouseMove = 0, keyboardMouseWheel = 0, keyboardZoomRect = 1, keyboardZoomIn = 0,
    keyboardZoomOut = 0, keyboardContext = 1;
int RedrawOnResize = 1, RedrawOnMouseWheel = 1;
int ZoomFactor1 = 2, ZoomFactor2 = 4;
int Tipnum = 0;
int AutoSave = 1;
COLORREF CustomColors[16] = {};
char ProjectPath[SETTINGS_PATH_SIZE] = "", ProjectFolder[MAX_PATH] = "";
char PalettePath[SETTINGS_PATH_SIZE] = "", PaletteFolder[MAX_PATH] = "";
char FormulaPath[SETTINGS_PATH_SIZE] = "", FormulaFolder[MAX_PATH] = "";
char CompilerFormulaFolder[MAX_PATH] = "";
char AnimPath[MAX_PATH] = "", PicturePath[MAX_PATH] = "", ExportPath[MAX_PATH] = "";
int UseIconsIfThemed = 1;
int SizeApplyToAll = 1;

namespace {

const char* const kPropertiesKey = "Properties";
const char* const kCommentEnd = "$$$EndComment$$$";

// How a row's value is read and written.
enum ValueForm {
    VF_INT,         // "%d", the first integer as it is
    VF_SWITCH,      // "%d" of 0/1; a non-zero value reads as 1
    VF_SPEED,       // "%d", clamped to 2..10000
    VF_DEPTH,       // "%d"; 11 or more reads as 24, less as 8
    VF_ZOOMSPEED,   // "%.0lf"; below 1 reads as 0, above 100000 as 100000
    VF_FONT,        // "\"%s\" %d %d"
    VF_WINDOW,      // five integers
    VF_PATHLIST,    // the rest of the line; also its part before the first ';'
    VF_TEXT,        // the rest of the line, leading blanks skipped
    VF_COMMENT,     // the DefaultComment block
    VF_COLOURS,     // sixteen " %x"
};

struct SettingRow {
    const char* key;
    ValueForm form;
    int (*getInt)();
    void (*setInt)(int value);
    const char* (*getText)();
    void (*setText)(const char* value);
    char* firstFolder;     // VF_PATHLIST: receives the part before the first ';'
    FontSetting* font;     // VF_FONT
};

// Settings that are plain variables of any integer type.
#define INT_ROW(key, form, variable)                                                         \
    {key, form, []() { return (int)(variable); }, [](int v) { variable = (decltype(variable))v; }, \
     NULL, NULL, NULL, NULL}
#define TEXT_ROW(key, form, buffer, first)                                                   \
    {key, form, NULL, NULL, []() -> const char* { return buffer; },                          \
     [](const char* v) { CopyText(buffer, sizeof(buffer), v); }, first, NULL}

void CopyText(char* destination, size_t size, const char* text)
{
    snprintf(destination, size, "%s", text);
}

const char* CompilerPathText()
{
    return CompilerFormulaPath != NULL ? CompilerFormulaPath : "";
}

const SettingRow kRows[] = {
    INT_ROW("keyboardMouseMove", VF_INT, keyboardMouseMove),
    INT_ROW("keyboardMouseWheel", VF_INT, keyboardMouseWheel),
    INT_ROW("keyboardZoomRect", VF_INT, keyboardZoomRect),
    INT_ROW("keyboardZoomIn", VF_INT, keyboardZoomIn),
    INT_ROW("keyboardZoomOut", VF_INT, keyboardZoomOut),
    INT_ROW("keyboardContext", VF_INT, keyboardContext),
    INT_ROW("RedrawOnResize", VF_SWITCH, RedrawOnResize),
    INT_ROW("RedrawOnMouseWheel", VF_SWITCH, RedrawOnMouseWheel),
    INT_ROW("SoundOnFinish", VF_SWITCH, SoundOnFinish),
    INT_ROW("AnimatedZoom", VF_SWITCH, g_AnimatedZoom),
    INT_ROW("ZoomFactor1", VF_INT, ZoomFactor1),
    INT_ROW("ZoomFactor2", VF_INT, ZoomFactor2),
    INT_ROW("Tipnum", VF_INT, Tipnum),
    INT_ROW("DrawingSpeed", VF_SPEED, DrawingSpeed),
    INT_ROW("DisplayDepth", VF_DEPTH, g_DisplayDepthSetting),
    INT_ROW("Taskpriority", VF_INT, g_TaskPriority),
    {"ZoomSpeed", VF_ZOOMSPEED, NULL, NULL, NULL, NULL, NULL, NULL},
    {"GUIFont", VF_FONT, NULL, NULL, NULL, NULL, NULL, &GUIFont},
    {"SmallFont", VF_FONT, NULL, NULL, NULL, NULL, NULL, &SmallFont},
    {"Spiralix", VF_WINDOW, NULL, NULL, NULL, NULL, NULL, NULL},
    INT_ROW("CNF_CvtFormula", VF_INT, FractalTypeFlags[CNF_CvtFormula]),
    INT_ROW("CNF_DelTask", VF_INT, FractalTypeFlags[CNF_DelTask]),
    INT_ROW("CNF_DelProj", VF_INT, FractalTypeFlags[CNF_DelProj]),
    INT_ROW("CNF_DelPic", VF_INT, FractalTypeFlags[CNF_DelPic]),
    INT_ROW("CNF_DelPal", VF_INT, FractalTypeFlags[CNF_DelPal]),
    {"CNF_DelFrm", VF_INT, []() { return FractalTypeFlags[CNF_DelFrm]; },
     [](int v) { FractalTypeFlags[CNF_DelFrm] = g_ConfirmDeleteFormula = v; }, NULL, NULL, NULL, NULL},
    INT_ROW("CNF_DelAnm", VF_INT, FractalTypeFlags[CNF_DelAnm]),
    INT_ROW("CNF_End", VF_INT, FractalTypeFlags[CNF_End]),
    TEXT_ROW("ProjectPath", VF_PATHLIST, ProjectPath, ProjectFolder),
    TEXT_ROW("PalettePath", VF_PATHLIST, PalettePath, PaletteFolder),
    TEXT_ROW("FormulaPath", VF_PATHLIST, FormulaPath, FormulaFolder),
    TEXT_ROW("Username", VF_TEXT, g_AuthorName, NULL),
    {"CompilerFormulaPath", VF_PATHLIST, NULL, NULL, &CompilerPathText, &SetCompilerFormulaPath,
     CompilerFormulaFolder, NULL},
    TEXT_ROW("AnimPath", VF_TEXT, AnimPath, NULL),
    TEXT_ROW("PicturePath", VF_TEXT, PicturePath, NULL),
    TEXT_ROW("TexturePath", VF_TEXT, g_TexturePath, NULL),
    TEXT_ROW("ExportPath", VF_TEXT, ExportPath, NULL),
    INT_ROW("AutoSave", VF_INT, AutoSave),
    INT_ROW("Undosteps", VF_INT, g_UndoSteps),
    {"DefaultComment", VF_COMMENT, NULL, NULL, NULL, NULL, NULL, NULL},
    {"CUSTOMCOLORS", VF_COLOURS, NULL, NULL, NULL, NULL, NULL, NULL},
};

void SettingsPath(const char* fileName, char* path, size_t size)
{
    if (g_SettingsFolder[0])
        snprintf(path, size, "%s\\%s", g_SettingsFolder, fileName);
    else
        snprintf(path, size, "%s", fileName);
}

int ReadDword(const char* name, int fallback, bool* present = NULL)
{
    DWORD value = 0;
    bool found = g_SettingsRegistry.getDword != NULL && g_SettingsRegistry.getDword(kPropertiesKey, name, &value) == 0;
    if (present)
        *present = found;
    return found ? (int)value : fallback;
}

void WriteDword(const char* name, int value)
{
    if (g_SettingsRegistry.setDword != NULL)
        g_SettingsRegistry.setDword(kPropertiesKey, name, (DWORD)value);
}

void TrimTrailingControls(char* text)
{
    size_t length = strlen(text);
    while (length > 0 && (unsigned char)text[length - 1] < 0x20)
        text[--length] = 0;
}

// The DefaultComment block: the lines after the key up to the end mark,
// at most SETTINGS_COMMENT_SIZE characters, trailing blanks and line breaks
// removed.
void ReadCommentBlock(FILE* file)
{
    static char text[SETTINGS_COMMENT_SIZE + 1];
    static char line[SETTINGS_LINE_SIZE + 1];
    size_t length = 0;
    text[0] = 0;
    while (fgets(line, sizeof line, file) != NULL) {
        if (strncmp(line, kCommentEnd, strlen(kCommentEnd)) == 0)
            break;
        size_t add = strlen(line);
        if (length + add > SETTINGS_COMMENT_SIZE)
            break;
        memcpy(text + length, line, add + 1);
        length += add;
    }
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\r' || text[length - 1] == '\n'))
        text[--length] = 0;
    SetDefaultComment(text);
}

void ReadFont(const char* line, FontSetting* font)
{
    const char* open = strchr(line, '"');
    if (open == NULL) {
        char key[SETTINGS_LINE_SIZE + 1], face[SETTINGS_LINE_SIZE + 1];
        int points = font->points, bold = font->bold;
        if (sscanf(line, "%1990s %1990s %d %d", key, face, &points, &bold) >= 2) {
            CopyText(font->face, sizeof font->face, face);
            font->points = points;
            font->bold = bold;
        }
        return;
    }
    const char* close = strchr(open + 1, '"');
    if (close == NULL)
        return;
    size_t length = (size_t)(close - open - 1);
    if (length >= sizeof font->face)
        length = sizeof font->face - 1;
    memcpy(font->face, open + 1, length);
    font->face[length] = 0;
    sscanf(close + 1, "%d %d", &font->points, &font->bold);
}

// The value of a text key: the rest of the line after the key (and, for
// path lists, exactly one blank; for other texts every leading blank).
void ReadText(const SettingRow& row, const char* line, size_t keyLength)
{
    static char value[SETTINGS_LINE_SIZE + 1];
    const char* rest = line + keyLength;
    if (row.form == VF_PATHLIST) {
        if (*rest == ' ')
            rest++;
    } else {
        while (*rest == ' ')
            rest++;
    }
    CopyText(value, sizeof value, rest);
    TrimTrailingControls(value);
    row.setText(value);
    if (row.firstFolder != NULL) {
        char* semicolon = strchr(value, ';');
        if (semicolon)
            *semicolon = 0;
        CopyText(row.firstFolder, MAX_PATH, value);
    }
}

void ApplyLine(FILE* file, const char* line)
{
    static char key[SETTINGS_LINE_SIZE + 1];
    int v[6] = {0, 0, 0, 0, 0, 0};
    key[0] = 0;
    if (sscanf(line, "%1990s %d %d %d %d %d %d", key, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) < 1)
        return;
    for (const SettingRow& row : kRows) {
        if (_stricmp(row.key, key) != 0)
            continue;
        switch (row.form) {
        case VF_INT: row.setInt(v[0]); break;
        case VF_SWITCH: row.setInt(v[0] != 0); break;
        case VF_SPEED: row.setInt(v[0] < 2 ? 2 : v[0] > 10000 ? 10000 : v[0]); break;
        case VF_DEPTH: row.setInt(v[0] >= 11 ? 24 : 8); break;
        case VF_ZOOMSPEED: g_ZoomSpeed = v[0] < 1 ? 0 : v[0] > 100000 ? 100000 : v[0]; break;
        case VF_FONT: ReadFont(line, row.font); break;
        case VF_WINDOW:
            g_MainWindowSetting = {v[0], v[1], v[2], v[3], v[4]};
            break;
        case VF_PATHLIST:
        case VF_TEXT: ReadText(row, line, strlen(key)); break;
        case VF_COMMENT: ReadCommentBlock(file); break;
        case VF_COLOURS: {
            unsigned c[16] = {};
            sscanf(line, "%*s %x %x %x %x %x %x %x %x %x %x %x %x %x %x %x %x", &c[0], &c[1], &c[2], &c[3],
                   &c[4], &c[5], &c[6], &c[7], &c[8], &c[9], &c[10], &c[11], &c[12], &c[13], &c[14], &c[15]);
            for (int i = 0; i < 16; i++)
                CustomColors[i] = c[i];
            break;
        }
        }
        return;
    }
}

void WriteRow(FILE* file, const SettingRow& row)
{
    switch (row.form) {
    case VF_INT:
    case VF_SWITCH:
    case VF_SPEED:
    case VF_DEPTH: fprintf(file, "%s %d\n", row.key, row.getInt()); break;
    case VF_ZOOMSPEED: fprintf(file, "%s %.0f\n", row.key, g_ZoomSpeed); break;
    case VF_FONT: fprintf(file, "%s \"%s\" %d %d\n", row.key, row.font->face, row.font->points, row.font->bold); break;
    case VF_WINDOW: {
        const MainWindowSetting& w = g_MainWindowSetting;
        fprintf(file, "%s %d %d %d %d %d\n", row.key, w.x, w.y, w.width, w.height, w.showCommand);
        break;
    }
    case VF_PATHLIST:
    case VF_TEXT: fprintf(file, "%s %s\n", row.key, row.getText()); break;
    case VF_COMMENT: {
        const char* text = g_DefaultComment ? static_cast<const char*>(g_DefaultComment->GetData()) : NULL;
        if (text != NULL && text[0])
            fprintf(file, "%s\n%s\n%s\n", row.key, text, kCommentEnd);
        break;
    }
    case VF_COLOURS:
        fputs(row.key, file);
        for (COLORREF colour : CustomColors)
            fprintf(file, " %x", (unsigned)colour);
        fputs("\n", file);
        break;
    }
}

}  // namespace

void LoadSettings(const char* fileName)
{
    g_NumberOfOutputMessages = ReadDword("NumberOfOutputMessages", 100);
    g_ProduceCompilerWarnings = ReadDword("ProduceCompilerWarnings", 1);
    g_ProduceCompilerHints = ReadDword("ProduceCompilerHints", 1);
    UseIconsIfThemed = ReadDword("UseIconsIfThemed", 1);
    bool present = false;
    int applyToAll = ReadDword("SizeApplyToAll", 1, &present);
    SizeApplyToAll = present ? applyToAll != 0 : 1;

    char path[MAX_PATH * 2];
    SettingsPath(fileName, path, sizeof path);
    FILE* file = fopen(path, "r");
    if (file == NULL)
        return;
    static char line[SETTINGS_LINE_SIZE + 1];
    while (fgets(line, sizeof line, file) != NULL)
        ApplyLine(file, line);
    fclose(file);
}

int SaveSettings(const char* fileName)
{
    char path[MAX_PATH * 2];
    SettingsPath(fileName, path, sizeof path);
    FILE* file = fopen(path, "w");
    if (file == NULL)
        return 0;
    WriteDword("NumberOfOutputMessages", g_NumberOfOutputMessages);
    WriteDword("ProduceCompilerWarnings", g_ProduceCompilerWarnings);
    WriteDword("ProduceCompilerHints", g_ProduceCompilerHints);
    if (g_ReadMainWindowSetting != NULL)
        g_ReadMainWindowSetting(&g_MainWindowSetting);
    for (const SettingRow& row : kRows)
        WriteRow(file, row);
    bool written = ferror(file) == 0;
    return fclose(file) == 0 && written ? 1 : 0;
}

void ResetSettings()
{
    keyboardMouseMove = keyboardMouseWheel = keyboardZoomIn = keyboardZoomOut = 0;
    keyboardZoomRect = keyboardContext = 1;
    RedrawOnResize = RedrawOnMouseWheel = 1;
    SoundOnFinish = 1;
    g_AnimatedZoom = 1;
    ZoomFactor1 = 2;
    ZoomFactor2 = 4;
    Tipnum = 0;
    DrawingSpeed = 10;
    g_DisplayDepthSetting = 8;
    g_TaskPriority = 0;
    g_ZoomSpeed = 50;
    GUIFont = {"Tahoma", 8, 0};
    SmallFont = {"Tahoma", 8, 0};
    g_MainWindowSetting = {0, 0, 980, 740, 3};
    for (int i = CNF_DelProj; i <= CNF_CvtFormula; ++i)
        FractalTypeFlags[i] = 1;
    g_ConfirmDeleteFormula = 1;
    AutoSave = 1;
    g_UndoSteps = 50;
    for (COLORREF& colour : CustomColors)
        colour = 0;
}
