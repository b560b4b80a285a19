// The render-job record: its id, its job file (fixed little-endian layout,
// text fields written whole), the fit of the output to the fractal's
// aspect, effective depth and supersampling, layer jobs, file names and
// deletion. The fractal's entry is kept unparsed after loading; the job's
// start parses it.
#include "files/renderjob/RenderJob.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/Layer.h"
#include "document/Layers.h"
#include "document/Selection.h"
#include "files/entry/EntryHead.h"
#include "files/entry/EntryWriter.h"
#include "view3d/Parameters3D.h"

char g_RenderJobFolder[260] = "";
char g_RenderJobTempFolder[260] = "";

namespace {

unsigned g_IdState = 1;

int NextIdRandom()
{
    // The C runtime's generator, kept per module so tests can seed it.
    g_IdState = g_IdState * 214013u + 2531011u;
    return (g_IdState >> 16) & 0x7FFF;
}

void CopyText(char* field, size_t size, const char* text)
{
    memset(field, 0, size);
    if (text)
        strncpy(field, text, size - 1);
}

void Put32(std::vector<unsigned char>& out, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        out.push_back((unsigned char)(v >> (8 * i)));
}

uint32_t Get32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }

const char* TemporaryFolder()
{
    return g_RenderJobTempFolder[0] ? g_RenderJobTempFolder : g_RenderJobFolder;
}

bool IsSupersampledByTask(int type)
{
    return type == FT_PLASMA || type == FT_DYNAMICSYSTEM || type == FT_LSYSTEM || type == FT_IFS ||
           type == FT_QUATERNION || type == FT_ATTRACTOR;
}

}  // namespace

void SeedRenderJobIds(unsigned seed) { g_IdState = seed; }

RenderJob::RenderJob()
{
    for (int i = 0; i < 8; i++)
        id[i] = (char)('A' + NextIdRandom() % 26);
    memset(id + 8, 0, sizeof(id) - 8);
    memset(project, 0, sizeof(project));
    memset(destination, 0, sizeof(destination));
    options = g_ImageSaveOptions;
}

// ----- The job file

bool RenderJob::MakeFileBytes(unsigned char** bytes, size_t* size)
{
    std::vector<unsigned char> out;
    Put32(out, RENDER_JOB_MAGIC);
    Put32(out, version);
    Put32(out, width);
    Put32(out, height);
    Put32(out, fittedWidth);
    Put32(out, fittedHeight);
    out.push_back(keepAspect);
    out.insert(out.end(), id, id + sizeof(id));
    out.insert(out.end(), project, project + sizeof(project));
    out.insert(out.end(), destination, destination + sizeof(destination));
    unsigned char number[8];
    memcpy(number, &threshold, 8);
    out.insert(out.end(), number, number + 8);
    Put32(out, antiAliasing);
    Put32(out, base3);
    Put32(out, depth);
    Put32(out, jpeg);
    const int32_t* words = &options.jpegQuality;
    for (int i = 0; i < 6; i++)
        Put32(out, words[i]);
    Put32(out, RENDER_JOB_MAGIC);
    char name[64];
    CopyText(name, sizeof(name), fractal ? fractal->name : "");
    out.insert(out.end(), name, name + sizeof(name));
    if (fractal) {
        char* entry = MakeParameterText(fractal, false, -1, true);
        if (entry)
            out.insert(out.end(), entry, entry + strlen(entry));
        free(entry);
    }
    *size = out.size();
    *bytes = static_cast<unsigned char*>(malloc(out.size()));
    if (!*bytes)
        return false;
    memcpy(*bytes, out.data(), out.size());
    return true;
}

bool RenderJob::Save()
{
    char path[MAX_PATH];
    snprintf(path, sizeof(path), "%s\\%s.dat", g_RenderJobFolder, id);
    unsigned char* bytes = nullptr;
    size_t size = 0;
    if (!MakeFileBytes(&bytes, &size))
        return false;
    FILE* file = fopen(path, "wb");
    bool ok = file && fwrite(bytes, 1, size, file) == size;
    if (file)
        fclose(file);
    free(bytes);
    return ok;
}

bool RenderJob::Load(const unsigned char* file, size_t size)
{
    if (size < JOB_FILE_ENTRY_OFFSET || Get32(file) != RENDER_JOB_MAGIC || Get32(file + 4) != RENDER_JOB_VERSION ||
        Get32(file + 511) != RENDER_JOB_MAGIC)
        return false;
    version = Get32(file + 4);
    width = Get32(file + 8);
    height = Get32(file + 12);
    fittedWidth = Get32(file + 16);
    fittedHeight = Get32(file + 20);
    keepAspect = file[24];
    memcpy(id, file + 25, 64);
    memcpy(project, file + 89, 64);
    memcpy(destination, file + 153, 310);
    id[63] = project[63] = destination[309] = 0;
    memcpy(&threshold, file + 463, 8);
    antiAliasing = Get32(file + 471);
    base3 = Get32(file + 475);
    depth = Get32(file + 479);
    jpeg = Get32(file + 483);
    int32_t* words = &options.jpegQuality;
    for (int i = 0; i < 6; i++)
        words[i] = Get32(file + 487 + 4 * i);

    Fractal* made = new Fractal();
    char name[65] = "";
    memcpy(name, file + JOB_FILE_NAME_OFFSET, 64);
    made->SetName(name);
    size_t entryLength = size - JOB_FILE_ENTRY_OFFSET;
    made->pendingEntryText = static_cast<char*>(calloc(entryLength + 1, 1));
    memcpy(made->pendingEntryText, file + JOB_FILE_ENTRY_OFFSET, entryLength);
    const char* brace = strchr(made->pendingEntryText, '{');
    if (brace) {
        EntryTypeScan scan = ScanEntryType(brace);
        if (scan.type >= 0 && !scan.unknownType)
            made->header->Type = scan.type, made->header->Subtype = scan.subtype;
    }
    made->renderJob = this;
    fractal = made;
    return true;
}

// ----- Names and files

void RenderJob::RawFilePath(const char* extension, char* path) const
{
    snprintf(path, 260, "%s\\%s.%s", TemporaryFolder(), id, extension);
}

void RenderJob::OutputPath(char* path, size_t size) const
{
    std::string folder = project;
    size_t dot = folder.find('.');
    if (dot != std::string::npos)
        folder.resize(dot);
    // The fractal's name becomes a file name: no folder may be named by it.
    std::string name = fractal ? fractal->name : "";
    std::string clean;
    for (size_t i = 0; i < name.size(); i++) {
        char c = name[i];
        if (c == '.' && i + 1 < name.size() && name[i + 1] == '.') {
            clean += '_';
            i++;
        } else {
            clean += (c == '\\' || c == '/' || c == ':') ? '_' : c;
        }
    }
    if (clean.empty())
        clean = "Unnamed";
    snprintf(path, size, "%s\\%s\\%s.%s", destination, folder.c_str(), clean.c_str(), jpeg ? "jpg" : "png");
}

void RenderJob::DeleteFiles()
{
    char path[MAX_PATH];
    snprintf(path, sizeof(path), "%s\\%s.dat", g_RenderJobFolder, id);
    DeleteFileA(path);
    static const char* const kExtensions[] = {"hist", "bits", "alpha", "flags"};
    for (const char* extension : kExtensions) {
        RawFilePath(extension, path);
        DeleteFileA(path);
    }
    for (ListNode* n = layerJobs.GetHead(); n; n = n->next)
        static_cast<RenderJob*>(n)->DeleteFiles();
}

RenderJob* RenderJob::CreateLayerJob(int layerNumber)
{
    RenderJob* job = new RenderJob();
    snprintf(job->id, sizeof(job->id), "%d_%s", layerNumber, id);
    job->runState = runState;
    job->width = width;
    job->height = height;
    job->keepAspect = keepAspect;
    memcpy(job->project, project, sizeof(project));
    memcpy(job->destination, destination, sizeof(destination));
    job->threshold = threshold;
    job->antiAliasing = antiAliasing;
    job->base3 = base3;
    job->jpeg = jpeg;
    job->options = options;
    job->depth = depth;
    return job;
}

// ----- Size and sampling

int RenderJob::GetEffectiveDepth(Fractal* f) const
{
    int type = f->header->Type;
    if (type == FT_LAYERED)
        return 0;
    if (f->header->Dims && type != FT_QUATERNION && type != FT_ATTRACTOR)
        return 0;
    if (IsSupersampledByTask(type))
        return depth > 1 ? 1 : depth;
    return depth;
}

int RenderJob::GetSupersampling(Fractal* f) const
{
    int type = f->header->Type;
    if ((type == FT_ESCAPETIME && !f->header->Dims) || type == FT_LAYERED)
        return 1;
    return (int)floor(pow(base3 ? 3.0 : 2.0, GetEffectiveDepth(f)) + 0.5);
}

void RenderJob::FitSize()
{
    if (fittedWidth != 0 || !keepAspect || !fractal || fractal->header->Width <= 0)
        return;
    double ratio = (double)fractal->header->Height / fractal->header->Width;
    int m = (int)floor(width * ratio + 0.5);
    if (height < m)
        width = (int)floor(height / ratio + 0.5);
    else
        height = m;
    fittedWidth = width;
    fittedHeight = height;
}

char* RenderJob::GetParameterText()
{
    std::string text;
    if (!fractal || !MakeEmbeddedEntryText(fractal, text))
        return nullptr;
    return strdup(text.c_str());
}

RenderJob::~RenderJob()
{
    if (runner) {
        runner->Stop();
        delete runner;
        runner = nullptr;
    }
    layerJobs.DeleteAllNodes();
    // Layer jobs (ids beginning with a digit) share their layered fractal's layers.
    if (fractal && id[0] >= 'A') {
        fractal->renderJob = nullptr;
        if (fractal->folder)
            DeleteFractal(fractal, false, false);
        else
            delete fractal;
    }
}
