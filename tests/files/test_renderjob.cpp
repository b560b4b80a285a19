// Render jobs without a calculation thread: the job file against bytes
// packed by hand, loading (and refusing) job files, the output fit,
// effective depth and supersampling, output names, the raw rows of a
// supersampled job from a fake sample source (brute-force rows without
// anti-aliasing, corner colour or 2 x 2 mean with it, a stop at row 57 and
// the resume, stale raw files, solid pixels' opacity), StoreResult's
// averaging and bounds, and the output PNG made from the raw files.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include <png.h>

#include "calc/FractalTask.h"
#include "calc/task/TaskBuffers.h"
#include "document/DocumentHooks.h"
#include "document/Fractal.h"
#include "document/QuaternionParameters.h"
#include "files/entry/EntryWriter.h"
#include "files/image/ImageLoad.h"
#include "files/image/ImageRead.h"
#include "files/renderjob/ImageStore.h"
#include "files/renderjob/RenderJob.h"
#include "foundation/ImageFilter.h"
#include "foundation/List.h"
#include "foundation/Messages.h"
#include "foundation/Thread.h"
#include "tests/calc/TaskTestSupport.h"

namespace {

std::string JobFolder()
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    std::string path = std::string(folder) + "spx_renderjobs";
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

std::vector<unsigned char> FileBytes(const std::string& path)
{
    std::vector<unsigned char> bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    int c;
    while ((c = fgetc(file)) != EOF)
        bytes.push_back((unsigned char)c);
    fclose(file);
    return bytes;
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

std::string RawPath(const RenderJob& job, const char* extension)
{
    char path[260];
    job.RawFilePath(extension, path);
    return path;
}

class RenderJobs : public testing::Test {
protected:
    void SetUp() override
    {
        std::string folder = JobFolder();
        snprintf(g_RenderJobFolder, sizeof(g_RenderJobFolder), "%s", folder.c_str());
        g_RenderJobTempFolder[0] = 0;
    }
};

// A job over a plasma fractal of the given size (plasma: no formulas).
struct JobFixture {
    RenderJob* job = new RenderJob();
    JobFixture(int width, int height)
    {
        job->fractal = new Fractal(FT_PLASMA, 0);
        job->fractal->SetName("Job fractal");
        job->fractal->header->Width = width;
        job->fractal->header->Height = height;
        job->width = width;
        job->height = height;
    }
    ~JobFixture()
    {
        job->DeleteFiles();
        delete job;
    }
};

void Put(std::vector<unsigned char>& out, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        out.push_back((unsigned char)(v >> (8 * i)));
}

void PutText(std::vector<unsigned char>& out, const char* text, size_t size)
{
    std::vector<unsigned char> field(size, 0);
    memcpy(field.data(), text, strlen(text));
    out.insert(out.end(), field.begin(), field.end());
}


// Loads an image into a fresh image-fractal pair; the fractal kept by the
// load, the other one deleted. ReleaseImage frees the kept one.
Fractal* LoadImage(const std::string& path, bool png)
{
    ImageFractalPair pair;
    MakeImageFractalPair("Loaded", &pair);
    Fractal* both[2] = {pair.normal, pair.fixedSize};
    bool ok = png ? LoadPngWithParameters(path.c_str(), &pair) : LoadJpegWithParameters(path.c_str(), &pair);
    Fractal* kept = ok ? (pair.normal ? pair.normal : pair.fixedSize) : nullptr;
    for (Fractal* f : both)
        if (f != kept)
            delete f;
    return kept;
}

void ReleaseImage(Fractal* image)
{
    if (image && image->task) {
        FreeTaskBuffers(image, 1);
        delete image->task;
        image->task = nullptr;
    }
    delete image;
}

}  // namespace

TEST_F(RenderJobs, JobFileMatchesBytesPackedByHand)
{
    JobFixture fixture(640, 480);
    RenderJob& job = *fixture.job;
    strcpy(job.id, "ABCDEFGH");
    strcpy(job.project, "Demo.par");
    strcpy(job.destination, "C:\\out");
    job.width = 1000, job.height = 750, job.fittedWidth = 1000, job.fittedHeight = 750;
    job.keepAspect = 1;
    job.threshold = 0.25;
    job.antiAliasing = 1, job.base3 = 0, job.depth = 2, job.jpeg = 1;
    job.options = {90, 1, 1, 0, 1, 0};

    std::vector<unsigned char> expected;
    Put(expected, 0x1A2B3C4D);
    Put(expected, 35);
    Put(expected, 1000), Put(expected, 750), Put(expected, 1000), Put(expected, 750);
    expected.push_back(1);
    PutText(expected, "ABCDEFGH", 64);
    PutText(expected, "Demo.par", 64);
    PutText(expected, "C:\\out", 310);
    const unsigned char quarter[8] = {0, 0, 0, 0, 0, 0, 0xD0, 0x3F};
    expected.insert(expected.end(), quarter, quarter + 8);
    Put(expected, 1), Put(expected, 0), Put(expected, 2), Put(expected, 1);
    for (uint32_t word : {90u, 1u, 1u, 0u, 1u, 0u})
        Put(expected, word);
    Put(expected, 0x1A2B3C4D);
    PutText(expected, "Job fractal", 64);
    ASSERT_EQ(579u, expected.size());

    ASSERT_TRUE(job.Save());
    std::vector<unsigned char> written = FileBytes(std::string(g_RenderJobFolder) + "\\ABCDEFGH.dat");
    ASSERT_GT(written.size(), 579u);
    EXPECT_EQ(expected, std::vector<unsigned char>(written.begin(), written.begin() + 579));
    char* entry = MakeParameterText(job.fractal, false, -1, true);
    ASSERT_NE(nullptr, entry);
    EXPECT_EQ(std::string(entry), std::string(written.begin() + 579, written.end()));
    free(entry);

    // Loading gives the same record back, the entry kept unparsed.
    RenderJob loaded;
    ASSERT_TRUE(loaded.Load(written.data(), written.size()));
    EXPECT_STREQ("ABCDEFGH", loaded.id);
    EXPECT_STREQ("Demo.par", loaded.project);
    EXPECT_STREQ("C:\\out", loaded.destination);
    EXPECT_EQ(1000, loaded.width);
    EXPECT_EQ(750, loaded.fittedHeight);
    EXPECT_EQ(0.25, loaded.threshold);
    EXPECT_EQ(2, loaded.depth);
    EXPECT_EQ(1, loaded.jpeg);
    EXPECT_EQ(90, loaded.options.jpegQuality);
    EXPECT_EQ(1, loaded.options.jpegForceBaseline);
    ASSERT_NE(nullptr, loaded.fractal);
    EXPECT_STREQ("Job fractal", loaded.fractal->name);
    EXPECT_EQ(FT_PLASMA, loaded.fractal->header->Type);
    ASSERT_NE(nullptr, loaded.fractal->pendingEntryText);
    EXPECT_EQ(std::string(written.begin() + 579, written.end()), loaded.fractal->pendingEntryText);
}

TEST_F(RenderJobs, JobFilesThatDoNotLoadAreDeletedAndLayerFilesSkipped)
{
    JobFixture fixture(64, 48);
    strcpy(fixture.job->id, "GOODJOBA");
    ASSERT_TRUE(fixture.job->Save());
    std::string folder = g_RenderJobFolder;
    std::vector<unsigned char> good = FileBytes(folder + "\\GOODJOBA.dat");
    std::vector<unsigned char> oldVersion = good;
    oldVersion[4] = 34;
    WriteBytes(folder + "\\OLDJOBAA.dat", oldVersion);
    WriteBytes(folder + "\\1_GOODJOBA.dat", oldVersion);

    LoadRenderJobFile(folder.c_str(), "OLDJOBAA.dat");
    LoadRenderJobFile(folder.c_str(), "1_GOODJOBA.dat");
    EXPECT_EQ(0, g_RenderJobs.Count());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder + "\\OLDJOBAA.dat").c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder + "\\1_GOODJOBA.dat").c_str()));

    LoadRenderJobFile(folder.c_str(), "GOODJOBA.dat");
    ASSERT_EQ(1, g_RenderJobs.Count());
    RenderJob* loaded = static_cast<RenderJob*>(g_RenderJobs.GetHead());
    EXPECT_STREQ("GOODJOBA", loaded->id);
    g_RenderJobs.Remove(loaded);
    delete loaded;
    DeleteFileA((folder + "\\1_GOODJOBA.dat").c_str());

    // A cut file or a wrong second magic does not load either.
    RenderJob probe;
    EXPECT_FALSE(probe.Load(good.data(), 500));
    good[511] ^= 1;
    EXPECT_FALSE(probe.Load(good.data(), good.size()));
}

TEST_F(RenderJobs, FitKeepsTheFractalsAspectOnce)
{
    struct Case {
        int fractalWidth, fractalHeight, width, height;
    } cases[] = {{640, 480, 1000, 750}, {480, 640, 750, 1000}, {1000, 1000, 1000, 1000}};
    for (const Case& c : cases) {
        JobFixture fixture(c.fractalWidth, c.fractalHeight);
        RenderJob& job = *fixture.job;
        job.width = job.height = 1000;
        job.keepAspect = 1;
        job.FitSize();
        EXPECT_EQ(c.width, job.width) << c.fractalWidth << "x" << c.fractalHeight;
        EXPECT_EQ(c.height, job.height);
        EXPECT_EQ(c.width, job.fittedWidth);
        EXPECT_EQ(c.height, job.fittedHeight);
        job.fractal->header->Width = 10;   // the fit is made once
        job.FitSize();
        EXPECT_EQ(c.width, job.width);
    }
}

TEST_F(RenderJobs, EffectiveDepthAndSupersampling)
{
    struct Case {
        int type, dims, depth, base3, effective, supersampling;
    } cases[] = {
        {FT_ESCAPETIME, 0, 3, 0, 3, 1},   // supersamples inside its own calculation
        {FT_ESCAPETIME, 1, 3, 0, 0, 1},   // 3D escape-time: no depth
        {FT_LAYERED, 0, 2, 0, 0, 1},
        {FT_PLASMA, 0, 1, 0, 1, 2},
        {FT_PLASMA, 0, 0, 0, 0, 1},
        {FT_QUATERNION, 1, 3, 1, 1, 3},
        {FT_ATTRACTOR, 0, 2, 0, 1, 2},
        {FT_IFS, 0, 1, 1, 1, 3},
    };
    for (const Case& c : cases) {
        JobFixture fixture(10, 10);
        fixture.job->fractal->header->Type = c.type;
        fixture.job->fractal->header->Dims = c.dims;
        fixture.job->depth = c.depth;
        fixture.job->base3 = c.base3;
        EXPECT_EQ(c.effective, fixture.job->GetEffectiveDepth(fixture.job->fractal)) << c.type << " " << c.dims;
        EXPECT_EQ(c.supersampling, fixture.job->GetSupersampling(fixture.job->fractal)) << c.type;
        fixture.job->fractal->header->Type = FT_PLASMA;
    }
}

TEST_F(RenderJobs, OutputPathUsesProjectAndACleanedName)
{
    JobFixture fixture(10, 10);
    RenderJob& job = *fixture.job;
    strcpy(job.destination, "C:\\out");
    strcpy(job.project, "Demo.par");
    char path[600];
    job.OutputPath(path, sizeof(path));
    EXPECT_STREQ("C:\\out\\Demo\\Job fractal.png", path);
    job.fractal->SetName("..\\..\\a/b:c");
    job.jpeg = 1;
    job.OutputPath(path, sizeof(path));
    EXPECT_STREQ("C:\\out\\Demo\\____a_b_c.jpg", path);
}

namespace {

// A deterministic picture over the supersampled grid; counts the samples
// it computes and can stop once, at a given row.
struct FakeSamples {
    int computed = 0;
    bool solidColumnZero = false;

    static void Colour(int line, int column, uint8_t* bgr)
    {
        // Flat bands of four lines (one colour per six columns) between
        // noisy bands: some blocks' corners agree, others do not.
        bool flat = (line / 4) % 2 == 0;
        bgr[0] = (uint8_t)(flat ? 40 * ((column / 6) % 3) : (line * 7 + column * 13) % 251);
        bgr[1] = (uint8_t)(flat ? 90 : line * 3);
        bgr[2] = (uint8_t)(flat ? 200 : column * 5);
    }

    static bool Source(void* context, const SampleRequest& r)
    {
        FakeSamples& self = *static_cast<FakeSamples*>(context);
        ImageStore& s = *r.store;
        for (int y = r.firstSubRow; y < r.endSubRow; y += r.step)
            for (int x = r.firstColumn; x < s.SamplesPerSubRow(); x += r.step) {
                if (s.flags[y][x] & PF_CALCULATED)
                    continue;
                self.computed++;
                Colour(r.firstLine + y, x, &s.colours[y][3 * x]);
                s.flags[y][x] = PF_CALCULATED;
                s.firstValues[y][x] = -1.0f;
                s.thirdValues[y][x] = 65535;
                if (self.solidColumnZero && x == 0) {
                    s.flags[y][x] |= PF_SOLID;
                    s.thirdValues[y][x] = 0;   // a packed colour, not an opacity
                    s.firstValues[y][x] = 0.5f;
                }
            }
        return true;
    }
};

struct StopAt {
    int row;
    int seen = 0;
    static bool Check(void* context)
    {
        StopAt& self = *static_cast<StopAt*>(context);
        return self.seen++ == self.row;
    }
};

// Brute-force rows without anti-aliasing: each pixel is its one sample.
std::vector<unsigned char> PlainRows(int width, int height)
{
    std::vector<unsigned char> bits;
    for (int r = 0; r < height; r++)
        for (int x = 0; x < width; x++) {
            uint8_t bgr[3];
            FakeSamples::Colour(r, x, bgr);
            bits.insert(bits.end(), bgr, bgr + 3);
        }
    return bits;
}

}  // namespace

TEST_F(RenderJobs, RowsWithoutAntiAliasingAreTheSamples)
{
    JobFixture fixture(5, 64);
    FakeSamples samples;
    EXPECT_EQ(JR_DONE, fixture.job->CalculateRows(fixture.job->fractal, FakeSamples::Source, &samples, nullptr,
                                                  nullptr));
    EXPECT_EQ(PlainRows(5, 64), FileBytes(RawPath(*fixture.job, "bits")));
    std::vector<unsigned char> flags = FileBytes(RawPath(*fixture.job, "flags"));
    ASSERT_EQ(5u * 64, flags.size());
    EXPECT_EQ(PF_CALCULATED, flags[0]);
    std::vector<unsigned char> alpha = FileBytes(RawPath(*fixture.job, "alpha"));
    ASSERT_EQ(4u * 5 * 64, alpha.size());
    float first;
    memcpy(&first, alpha.data(), 4);
    EXPECT_EQ(1.0f, first);
}

TEST_F(RenderJobs, StopAtRow57LeavesACheckpointAndTheResumeContinues)
{
    JobFixture fixture(5, 64);
    RenderJob& job = *fixture.job;
    // Stale rows of an earlier run must not survive a fresh start.
    WriteBytes(RawPath(job, "bits"), std::vector<unsigned char>(3 * 5 * 80, 0xEE));
    FakeSamples samples;
    StopAt stop{57};
    EXPECT_EQ(JR_INTERRUPTED, job.CalculateRows(job.fractal, FakeSamples::Source, &samples, StopAt::Check, &stop));
    std::vector<unsigned char> hist = FileBytes(RawPath(job, "hist"));
    ASSERT_GE(hist.size(), 8u);
    EXPECT_EQ(35, hist[0]);
    EXPECT_EQ(57, hist[4] | hist[5] << 8);
    EXPECT_EQ(3u * 5 * 57, FileBytes(RawPath(job, "bits")).size());

    // Rows written after the checkpoint (a crash before the next start)
    // are cut away before the rows continue.
    FILE* extra = fopen(RawPath(job, "bits").c_str(), "ab");
    fwrite("junkjunkjunkjunk", 1, 15, extra);
    fclose(extra);
    EXPECT_EQ(JR_DONE, job.CalculateRows(job.fractal, FakeSamples::Source, &samples, nullptr, nullptr));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(RawPath(job, "hist").c_str()));
    EXPECT_EQ(PlainRows(5, 64), FileBytes(RawPath(job, "bits")));
    EXPECT_EQ(5u * 64, FileBytes(RawPath(job, "flags")).size());
    EXPECT_EQ(4u * 5 * 64, FileBytes(RawPath(job, "alpha")).size());
}

TEST_F(RenderJobs, CheckpointOfAnotherVersionStartsAfresh)
{
    JobFixture fixture(4, 6);
    RenderJob& job = *fixture.job;
    std::vector<unsigned char> hist = {34, 0, 0, 0, 3, 0, 0, 0};
    WriteBytes(RawPath(job, "hist"), hist);
    WriteBytes(RawPath(job, "bits"), std::vector<unsigned char>(3 * 4 * 3, 0xEE));
    FakeSamples samples;
    EXPECT_EQ(JR_DONE, job.CalculateRows(job.fractal, FakeSamples::Source, &samples, nullptr, nullptr));
    EXPECT_EQ(PlainRows(4, 6), FileBytes(RawPath(job, "bits")));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(RawPath(job, "hist").c_str()));
}

TEST_F(RenderJobs, AntiAliasedPixelIsCornerColourOrTheMeanOfItsSamples)
{
    // Base 2, depth 1, threshold 0.
    const int width = 6, height = 8;
    JobFixture fixture(width, height);
    RenderJob& job = *fixture.job;
    job.antiAliasing = 1;
    job.depth = 1;
    FakeSamples samples;
    ASSERT_EQ(JR_DONE, job.CalculateRows(job.fractal, FakeSamples::Source, &samples, nullptr, nullptr));
    std::vector<unsigned char> bits = FileBytes(RawPath(job, "bits"));
    ASSERT_EQ(3u * width * height, bits.size());
    int uniform = 0;
    for (int r = 0; r < height; r++)
        for (int x = 0; x < width; x++) {
            uint8_t c[4][3];
            FakeSamples::Colour(2 * r, 2 * x, c[0]);
            FakeSamples::Colour(2 * r, 2 * x + 2, c[1]);
            FakeSamples::Colour(2 * r + 2, 2 * x, c[2]);
            FakeSamples::Colour(2 * r + 2, 2 * x + 2, c[3]);
            bool agree = x < width - 1 && !memcmp(c[0], c[1], 3) && !memcmp(c[0], c[2], 3) && !memcmp(c[0], c[3], 3);
            uint8_t expected[3];
            if (agree) {
                memcpy(expected, c[0], 3);
                uniform++;
            } else {
                uint8_t s[4][3];
                FakeSamples::Colour(2 * r, 2 * x, s[0]);
                FakeSamples::Colour(2 * r, 2 * x + 1, s[1]);
                FakeSamples::Colour(2 * r + 1, 2 * x, s[2]);
                FakeSamples::Colour(2 * r + 1, 2 * x + 1, s[3]);
                for (int k = 0; k < 3; k++)
                    expected[k] = (uint8_t)((s[0][k] + s[1][k] + s[2][k] + s[3][k]) >> 2);
            }
            const unsigned char* got = &bits[3 * (r * width + x)];
            EXPECT_EQ(0, memcmp(expected, got, 3)) << "row " << r << " pixel " << x;
        }
    EXPECT_GT(uniform, 0);
    // The inner samples of uniform blocks were never calculated.
    int allSamples = (2 * height + 2) * (2 * width + 1);
    EXPECT_LT(samples.computed, allSamples);
}

TEST_F(RenderJobs, SolidPixelsKeepTheirSolidOpacity)
{
    // A solid colour's cell holds a packed colour, not an opacity: the
    // pixel gets the solid colour's opacity (opaque for this type).
    JobFixture fixture(3, 2);
    FakeSamples samples;
    samples.solidColumnZero = true;
    ASSERT_EQ(JR_DONE, fixture.job->CalculateRows(fixture.job->fractal, FakeSamples::Source, &samples, nullptr,
                                                  nullptr));
    std::vector<unsigned char> alpha = FileBytes(RawPath(*fixture.job, "alpha"));
    ASSERT_EQ(4u * 3 * 2, alpha.size());
    float solid, plain;
    memcpy(&solid, &alpha[0], 4);
    memcpy(&plain, &alpha[4], 4);
    EXPECT_EQ(1.0f, solid);
    EXPECT_EQ(1.0f, plain);
}

TEST_F(RenderJobs, RawFilesThatCannotBeOpenedAreAFailure)
{
    JobFixture fixture(3, 2);
    snprintf(g_RenderJobTempFolder, sizeof(g_RenderJobTempFolder), "Z:\\no\\such\\folder");
    FakeSamples samples;
    EXPECT_EQ(JR_FILE_FAILED, fixture.job->CalculateRows(fixture.job->fractal, FakeSamples::Source, &samples,
                                                         nullptr, nullptr));
    g_RenderJobTempFolder[0] = 0;
    g_Messages.DeleteAllNodes();
}

TEST_F(RenderJobs, StoreResultAveragesAndStaysInsideItsSource)
{
    // A plasma job of 2 x 1 pixels calculated at 4 x 2 (depth 1, base 2).
    TestTask task(4, 2, 24, 24, FT_PLASMA);
    RenderJob job;
    job.width = 2, job.height = 1, job.depth = 1;
    job.fractal = nullptr;
    int stride = task.Stride() * 3;
    uint8_t* bits = task.task->imageBits;
    const uint8_t blue[2][4] = {{10, 11, 40, 40}, {12, 13, 40, 44}};
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 4; x++)
            bits[y * stride + 3 * x] = blue[y][x];
    RenderJob::StoreResult(task.fractal, &job);
    std::vector<unsigned char> out = FileBytes(RawPath(job, "bits"));
    ASSERT_EQ(6u, out.size());
    EXPECT_EQ(11, out[0]);
    EXPECT_EQ(41, out[3]);
    // Plasma has no opacity cells: its pixels are opaque, not transparent.
    std::vector<unsigned char> alpha = FileBytes(RawPath(job, "alpha"));
    ASSERT_EQ(8u, alpha.size());
    float opacity[2];
    memcpy(opacity, alpha.data(), 8);
    EXPECT_EQ(1.0f, opacity[0]);
    EXPECT_EQ(1.0f, opacity[1]);
    // A job larger than its source writes whole rows, black beyond it.
    job.width = 5, job.height = 3;
    RenderJob::StoreResult(task.fractal, &job);
    out = FileBytes(RawPath(job, "bits"));
    ASSERT_EQ(3u * 5 * 3, out.size());
    EXPECT_EQ(0, out[3 * 4]);
    EXPECT_EQ(11, out[0]);
    job.DeleteFiles();
}

TEST_F(RenderJobs, OutputPngHoldsTheRawRowsAndTheEntry)
{
    const int width = 5, height = 4;
    JobFixture fixture(width, height);
    RenderJob& job = *fixture.job;
    FakeSamples samples;
    ASSERT_EQ(JR_DONE, job.CalculateRows(job.fractal, FakeSamples::Source, &samples, nullptr, nullptr));
    std::string path = std::string(g_RenderJobFolder) + "\\job_output.png";
    ASSERT_TRUE(job.WriteImage(path.c_str()));
    int w = 0, h = 0;
    unsigned char* rgb = ReadPngFile(path.c_str(), &w, &h);
    ASSERT_NE(nullptr, rgb);
    ASSERT_EQ(width, w);
    ASSERT_EQ(height, h);
    std::vector<unsigned char> expected = PlainRows(width, height);
    for (int row = 0; row < height; row++)   // the file's top row is the last raw row
        for (int x = 0; x < width; x++)
            for (int k = 0; k < 3; k++)
                EXPECT_EQ(expected[3 * ((height - 1 - row) * width + x) + 2 - k], rgb[3 * (row * width + x) + k]);
    delete[] rgb;

    // The entry comes back as the linked fractal.
    Fractal* image = LoadImage(path, true);
    ASSERT_NE(nullptr, image);
    ASSERT_NE(nullptr, image->linkedFractal);
    EXPECT_STREQ("Job fractal", image->linkedFractal->name);
    EXPECT_EQ(FT_PLASMA, image->linkedFractal->header->Type);
    ReleaseImage(image);
    DeleteFileA(path.c_str());
}

namespace {

int g_OpenCalls = 0;
int RefuseToOpen(Fractal*, int, int, int, int, int, int)
{
    g_OpenCalls++;
    return 2;
}

std::string AllMessages()
{
    std::string all;
    for (ListNode* n = g_Messages.GetHead(); n; n = n->next)
        all += std::string(static_cast<MessageNode*>(n)->text) + "\n";
    return all;
}

}  // namespace

TEST_F(RenderJobs, StartAdjustsWhatJobsCannotDoAndReportsEachChange)
{
    // An 8-bit plasma with an image filter and depth 3: filter removed,
    // 24 bits, depth 1, each with its message; the runner sizes the
    // fractal at twice the output (plasma supersamples in its task) and
    // reports the fractal that cannot be opened.
    int (*savedOpen)(Fractal*, int, int, int, int, int, int) = g_OpenTask;
    g_OpenTask = RefuseToOpen;
    g_OpenCalls = 0;
    g_Messages.DeleteAllNodes();
    {
        JobFixture fixture(64, 48);
        RenderJob& job = *fixture.job;
        job.width = 100, job.height = 100, job.keepAspect = 1, job.depth = 3;
        ImageFilter filter;
        job.fractal->header->ImageFilter = &filter;
        job.fractal->header->DisplayDepth = 8;
        EXPECT_EQ(1, job.Start());
        EXPECT_EQ(nullptr, job.fractal->header->ImageFilter);
        EXPECT_EQ(24, job.fractal->header->DisplayDepth);
        EXPECT_EQ(1, job.depth);
        EXPECT_EQ(100, job.width);
        EXPECT_EQ(75, job.height);
        EXPECT_EQ(200, job.fractal->header->Width);
        EXPECT_EQ(150, job.fractal->header->Height);
        EXPECT_EQ(1, g_OpenCalls);
        EXPECT_EQ(RJ_RUNNING, job.runState);
        ASSERT_NE(nullptr, job.runner);
        EXPECT_EQ(nullptr, job.runner->thread);
        std::string messages = AllMessages();
        EXPECT_NE(std::string::npos, messages.find("Renderjob \"Job fractal\" adjusted\n"
                                                   "Renderjobs don't support image filters. Image filter will be "
                                                   "ignored.\n")) << messages;
        EXPECT_NE(std::string::npos, messages.find("changed to \"Interpolated\", i.e. 24 bit")) << messages;
        EXPECT_NE(std::string::npos, messages.find("Depth>1 not supported for this fractal, Depth set to 1"));
        EXPECT_NE(std::string::npos, messages.find("Renderjob \"Job fractal\" cannot be rendered\n"
                                                   "Not enough memory available"));
    }
    g_OpenTask = savedOpen;
    g_Messages.DeleteAllNodes();
}

TEST_F(RenderJobs, JobsThatCannotStartAreRemovedWithTheirFiles)
{
    // An entry the reader refuses finishes the job at its start; the walk
    // removes it with its files and starts nothing.
    JobFixture broken(8, 8);
    RenderJob* job = broken.job;
    broken.job = new RenderJob();   // the fixture now owns a spare job
    ASSERT_TRUE(job->Save());
    char path[MAX_PATH];
    snprintf(path, sizeof(path), "%s\\%s.dat", g_RenderJobFolder, job->id);
    job->fractal->pendingEntryText = strdup("no entry here");
    g_RenderJobs.Append(job);
    EXPECT_EQ(nullptr, StartNextRenderJob(nullptr));
    EXPECT_EQ(0, g_RenderJobs.Count());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path));
    EXPECT_FALSE(IsAnyRenderJobActive());
    g_Messages.DeleteAllNodes();
}

TEST_F(RenderJobs, JobJpegAndAttractorPngCarryWhatTheirViewersNeed)
{
    {
        // A job JPEG loads back with its parameters.
        JobFixture fixture(6, 4);
        RenderJob& job = *fixture.job;
        FakeSamples samples;
        ASSERT_EQ(JR_DONE, job.CalculateRows(job.fractal, FakeSamples::Source, &samples, nullptr, nullptr));
        job.jpeg = 1;
        std::string path = std::string(g_RenderJobFolder) + "\\job_output.jpg";
        ASSERT_TRUE(job.WriteImage(path.c_str()));
        Fractal* image = LoadImage(path, false);
        ASSERT_NE(nullptr, image);
        EXPECT_EQ(6, image->header->Width);
        ASSERT_NE(nullptr, image->linkedFractal);
        EXPECT_STREQ("Job fractal", image->linkedFractal->name);
        ReleaseImage(image);
        DeleteFileA(path.c_str());
    }
    {
        // An attractor PNG with transparency: RGBA and a background chunk
        // holding the attractor's background colour.
        JobFixture fixture(2, 2);
        RenderJob& job = *fixture.job;
        delete job.fractal;
        job.fractal = new Fractal(FT_ATTRACTOR, 0);
        job.fractal->SetName("Attractor job");
        uint8_t* background = static_cast<AttractorParameters*>(job.fractal->typeParameters)->BackgroundColor;
        background[0] = 11, background[1] = 22, background[2] = 33;
        WriteBytes(RawPath(job, "bits"), std::vector<unsigned char>(3 * 4, 200));
        std::vector<unsigned char> alpha(4 * 4);
        const float half = 0.5f;
        for (int i = 0; i < 4; i++)
            memcpy(&alpha[4 * i], &half, 4);
        WriteBytes(RawPath(job, "alpha"), alpha);
        std::string path = std::string(g_RenderJobFolder) + "\\job_attractor.png";
        ASSERT_TRUE(job.WriteImage(path.c_str()));
        std::vector<unsigned char> bytes = FileBytes(path);
        bool sawBackground = false;
        int colourType = -1;
        for (size_t at = 8; at + 12 <= bytes.size();) {
            uint32_t length = (uint32_t)bytes[at] << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3];
            std::string type(reinterpret_cast<const char*>(&bytes[at + 4]), 4);
            const unsigned char* data = &bytes[at + 8];
            if (type == "IHDR")
                colourType = data[9];
            if (type == "bKGD") {
                sawBackground = true;
                EXPECT_EQ(11, data[1]);
                EXPECT_EQ(22, data[3]);
                EXPECT_EQ(33, data[5]);
            }
            at += 12 + length;
        }
        EXPECT_EQ(6, colourType);
        EXPECT_TRUE(sawBackground);
        DeleteFileA(path.c_str());
    }
}
