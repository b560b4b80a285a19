// The writer lays the body out in the order the reader expects: info items,
// version, base keys, the type's descriptor items, dims:, the type's own
// sections, gradient: and alpha:. "Differs" tests compare against a fresh
// fractal of the same type and subtype made for every call.
#include "files/entry/EntryWriter.h"

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "foundation/FileUtil.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/FractalType.h"
#include "document/Layer.h"
#include "document/EscapetimeParameters.h"
#include "document/ParameterTables.h"
#include "files/entry/AttractorSections.h"
#include "files/entry/BaseKeys.h"
#include "files/entry/ColourSections.h"
#include "files/entry/CommentLines.h"
#include "files/entry/EntryFormat.h"
#include "files/entry/EscapeTimeSections.h"
#include "files/entry/NamedValues.h"
#include "files/entry/ParameterFile.h"
#include "files/entry/QuaternionSections.h"
#include "files/entry/TextWriter.h"
#include "formulas/FormulaEdit.h"
#include "foundation/Buffers.h"
#include "foundation/MessageBox.h"
#include "view3d/Parameters3D.h"

namespace {

const char* BufferText(const GrowBuffer* buffer)
{
    return buffer && buffer->GetData() ? (const char*)buffer->GetData() : "";
}

// A multi-line text as one quoted value: line feeds become the two
// characters '\' 'n', carriage returns are dropped.
std::string EscapeLines(const char* text)
{
    std::string out;
    for (const char* p = text; *p; p++) {
        if (*p == '\n')
            out += "\\n";
        else if (*p != '\r')
            out += *p;
    }
    return out;
}

std::string TimeItem(const char* key, const SYSTEMTIME& t)
{
    return EntryFormat("%s=%d/%d/%d/%d/%d/%d", key, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

void WriteInfoItems(TextWriter& writer, Fractal* fractal)
{
    FractalHeader& h = *fractal->header;
    if (fractal->credits.GetHead()) {
        std::string credits = "credits=\"";
        for (ListNode* n = fractal->credits.GetHead(); n; n = n->next) {
            const CreditEntry* c = static_cast<const CreditEntry*>(n);
            credits += EntryFormat("%s;%d/%d/%d/%d/%d;", c->author ? c->author : "", c->month, c->day, c->year,
                                   c->hour, c->minute);
        }
        credits.back() = '"';
        writer.WriteItem(credits.c_str());
    }
    fractal->ExpandCommentTemplate();
    WriteCommentLines(fractal, writer);
    const char* commentTemplate = BufferText(fractal->commentTemplate);
    if (commentTemplate[0])
        writer.WriteItem(("commentTemplate=\"" + EscapeLines(commentTemplate) + "\"").c_str());
    const char* commentText = BufferText(fractal->commentText);
    if (commentText[0])
        writer.WriteItem(("CommentText=\"" + EscapeLines(commentText) + "\"").c_str());
    writer.WriteItem(TimeItem("creationTime", h.CreationTime).c_str());
    writer.WriteItem(TimeItem("saveTime", h.SaveTime).c_str());
    writer.WriteItem(("Creator=\"" + std::string(BufferText(h.Author)) + "\"").c_str());
    const char* modifiedBy = BufferText(h.ModifiedBy);
    if (modifiedBy[0])
        writer.WriteItem(("ModifiedBy=\"" + std::string(modifiedBy) + "\"").c_str());
    int estimate = fractal->GetEstimatedCalculationTime();
    if (estimate > 0)
        h.CalcTime = estimate;
    writer.WriteItem(EntryFormat("calcTime=%d", h.CalcTime).c_str());
}

void WriteBody(TextWriter& writer, Fractal* fractal, Fractal* defaultFractal, bool withInfo, int mask,
               int presetType, bool withBraces)
{
    int type = fractal->header->Type;
    if (withInfo && (mask & 0x1))
        WriteInfoItems(writer, fractal);
    if (withBraces)
        writer.WriteItem("version=4.0");
    if (fractal->paletteAnimation)
        writer.WriteItem("PaletteAnimation=1");
    if (presetType)
        writer.WriteItem(EntryFormat("presetType=%d", presetType).c_str());
    WriteBaseKeys(writer, defaultFractal, fractal, mask);
    if ((mask & 0x8) && fractal->typeParameters) {
        const ParameterDescriptor* table = GetParameterTable(type);
        WriteParamsKey(writer, table, defaultFractal->typeParameters, fractal->typeParameters);
        WriteNamedValues(writer, table, defaultFractal->typeParameters, fractal->typeParameters);
    }
    if ((mask & 0x10) && (type == FT_PLASMA || type == FT_ESCAPETIME) && fractal->params3D) {
        writer.WriteSection("dims:");
        WriteNamedValues(writer, GetDimsTable(), defaultFractal->params3D, fractal->params3D);
        WriteHeightKnots(writer, fractal);
    }
    switch (type) {
    case FT_ESCAPETIME: WriteEscapeTimeSections(writer, fractal, mask); break;
    case FT_LAYERED: WriteLayers(writer, fractal); break;
    case FT_QUATERNION: WriteQuaternionSections(writer, fractal, defaultFractal, mask); break;
    case FT_ATTRACTOR: WriteAttractorSections(writer, fractal, mask); break;
    default: break;
    }
    if ((mask & 0x20) && type != FT_LAYERED) {
        WriteGradientSection(writer, fractal);
        WriteAlphaSection(writer, fractal);
    }
    writer.WriteRaw("\n");
    writer.column = 0;
    if (withBraces)
        writer.WriteRaw("}");
}

std::string ReadText(const char* path)
{
    std::string text;
    ReadWholeFile(path, text);
    return text;
}

void ReportWriteError(const char* path)
{
    std::string text = "Error while writing to file " + std::string(path) +
                       ".\nEither it is write protected or another application is blocking it\n";
    g_ErrorBox.Show("Error", text.c_str());
}

bool AskYes(const char* text)
{
    return PMessageBox(MB_STYLE_YESNOCANCEL).Show("Saving parameters", text) == IDYES;
}

const char kOddBytes[] =
    "The file you chose already exists. I'd like\nto append the parameters at the end of the file,\nbut after "
    "looking more closely at it I found out\nthat it contains non standard characters.\nThus I assume that this "
    "file is not a valid\nparameter file.\n\nShould I really append your parameters to this file?";
const char kBrokenAgain[] =
    "I'm very sorry to annoy you again, but after\nchecking the internal format of the file I still\nthink that it "
    "is not a valid parameter file.\n\nAgain, should I really append YOUR parameters\nto THIS file?";
const char kBroken[] =
    "The file you chose already exists. I'd like\nto append the parameters at the end of the file,\nbut after "
    "looking quite closely at it I found\nout that it does not conform to the format of a\nlegal parameter "
    "file.\nThus I assume that this file is not a valid\nparameter file.\n\nShould I really append your "
    "parameters to this file?";
const char kSameName[] =
    "The parameter file you chose already contains\nan entry with the same name as that to be\nadded. Should I "
    "replace that entry or\nshould I just add the new entry to the file?\n\nChoose:\n- YES to overwrite the "
    "existing entry.\n- NO to add the entry\n- CANCEL to abort without saving anything.";

}  // namespace

void WriteLayers(TextWriter& writer, Fractal* layered)
{
    if (!layered || layered->header->Type != FT_LAYERED || !layered->typeParameters)
        return;
    LayeredParameters* block = static_cast<LayeredParameters*>(layered->typeParameters);
    for (ListNode* n = block->layers.GetHead(); n; n = n->next)
        WriteLayer(writer, static_cast<Layer*>(n), layered);
}

void WriteCommentLines(Fractal* fractal, TextWriter& writer)
{
    if (!fractal->commentLines)
        return;
    CommentTagValues values = CommentTagsNow();
    values.xdots = fractal->header->Width;
    values.ydots = fractal->header->Height;
    values.calcMilliseconds = fractal->GetEstimatedCalculationTime();
    WriteCommentText(writer, fractal->commentLines, values);
}

void WriteParameterEntry(FILE* stream, Fractal* fractal, const char* path, const char* fileName, bool append,
                         bool withInfo, int mask, int presetType, bool withBraces)
{
    if (!fractal)
        return;
    FILE* file = stream;
    if (!file) {
        std::string target;
        if (path && fileName)
            target = std::string(path) + "\\" + fileName;
        else if (path || fileName)
            target = path ? path : fileName;
        else
            return;
        file = fopen(target.c_str(), append ? "a" : "w");
        if (!file)
            return;
        withBraces = true;
    }
    Fractal* defaultFractal = new Fractal(fractal->header->Type, fractal->header->Subtype);
    if (fractal->pendingEntryText) {
        fprintf(file, "%s  %s", fractal->name, fractal->pendingEntryText);
    } else {
        TextWriter writer(file, 70);
        if (withBraces)
            fprintf(file, "%s  {\n", fractal->name);
        GetLocalTime(&fractal->header->SaveTime);
        WriteBody(writer, fractal, defaultFractal, withInfo, mask, presetType, withBraces);
    }
    delete defaultFractal;
    if (!stream) {
        if (append)
            fputs("\n\n\n", file);
        fclose(file);
    }
}

char* MakeParameterText(Fractal* fractal, bool withInfo, int mask, bool withBraces)
{
    FILE* file = OpenScratchFile();
    if (!file)
        return nullptr;
    WriteParameterEntry(file, fractal, nullptr, nullptr, false, withInfo, mask, 0, withBraces);
    long size = ftell(file);
    rewind(file);
    char* text = (char*)calloc(size + 1, 1);
    size_t n = fread(text, 1, size, file);
    text[n] = 0;
    fclose(file);
    return text;
}

bool SaveFractalToParameterFile(Fractal* fractal, const char* path)
{
    std::string folder = path;
    size_t slash = folder.find_last_of("\\/");
    folder = slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
    std::string temporary = folder + "\\~tmp0091.bac";
    WriteParameterEntry(nullptr, fractal, folder.c_str(), "~tmp0091.bac", false, true, -1, 0, true);

    int start = 0, end = 0;
    int flags = CheckParameterFile(path, fractal->name, &start, &end);
    std::string entry;
    bool ok = ReadWholeFile(temporary.c_str(), entry) && !entry.empty();
    // The temporary file was written in text mode: its CR LF go back to LF,
    // and PlaceEntryInFile writes the new file in text mode again.
    std::string plain;
    for (char c : entry)
        if (c != '\r')
            plain += c;
    EntryPlacement placement = flags & PF_MISSING ? EP_CREATE : EP_APPEND;
    bool proceed = true;
    if (ok && (flags & PF_NOT_TEXT))
        proceed = AskYes(kOddBytes);
    if (ok && proceed && (flags & PF_BROKEN))
        proceed = AskYes(flags & PF_NOT_TEXT ? kBrokenAgain : kBroken);
    if (ok && proceed && (flags & PF_NAME_EXISTS)) {
        int answer = PMessageBox(MB_STYLE_YESNOCANCEL).Show("Saving parameters", kSameName);
        if (answer == IDYES)
            placement = EP_REPLACE;
        else if (answer != IDNO)
            proceed = false;
    }
    if (ok && proceed)
        ok = PlaceEntryInFile(path, plain, placement, start, end, 1);
    remove(temporary.c_str());
    if (!ok) {
        ReportWriteError(path);
        return false;
    }
    if (!proceed)
        return false;
    free(fractal->keptEntryText);
    fractal->keptEntryText = _strdup(plain.c_str());
    FractalModified(fractal) = 0;
    return true;
}

bool SaveFolderAsParameterFile(FractalFolder* folder, const char* path)
{
    FILE* file = OpenWritableFile(path, "w", 1);
    if (!file) {
        ReportWriteError(path);
        return false;
    }
    fclose(file);
    for (ListNode* n = folder->fractals.GetHead(); n; n = n->next) {
        Fractal* fractal = static_cast<Fractal*>(n);
        if (fractal->baseFractal || fractal->layer)
            continue;
        WriteParameterEntry(nullptr, fractal, path, nullptr, true, true, -1, 0, true);
        FractalModified(fractal) = 0;
    }
    folder->int2 = 0;
    return true;
}
