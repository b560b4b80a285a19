// Light items in both directions. Factors and colour values keep every
// digit they hold; colour components clamp into a byte.
#include "files/entry/LightItems.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "document/QuaternionParameters.h"
#include "files/entry/EntryFormat.h"
#include "files/entry/TextWriter.h"

int PackedColour(const uint8_t* rgb)
{
    return rgb[0] * 65536 + rgb[1] * 256 + rgb[2];
}

void SetPackedColour(uint8_t* rgb, int colour)
{
    rgb[0] = (uint8_t)((colour >> 16) & 0xFF);
    rgb[1] = (uint8_t)((colour >> 8) & 0xFF);
    rgb[2] = (uint8_t)(colour & 0xFF);
}

namespace {

void WriteFlag(TextWriter& writer, int light, const char* name, int value, const int* old)
{
    if (!old || *old != value)
        writer.WriteItem(EntryFormat("light%d%s=%s", light, name, YesNo(value)).c_str());
}

void WriteFactor(TextWriter& writer, int light, const char* name, double value, const double* old)
{
    if (!old || *old != value)
        writer.WriteItem((EntryFormat("light%d%s=", light, name) + ExactNumber("%.2lg", value)).c_str());
}

void WriteColour(TextWriter& writer, int light, const char* name, const uint8_t* rgb, const uint8_t* old)
{
    if (!old || memcmp(old, rgb, 3) != 0)
        writer.WriteItem(EntryFormat("light%d%s=%d/%d/%d", light, name, rgb[0], rgb[1], rgb[2]).c_str());
}

}  // namespace

void WriteLightItems(TextWriter& writer, const LightBlock& l, const LightBlock* d, int i)
{
    int old;
    WriteFlag(writer, i, "Enabled", l.enabled[i], d ? &(old = d->enabled[i]) : nullptr);
    WriteFlag(writer, i, "Shadow", l.shadow[i], d ? &(old = d->shadow[i]) : nullptr);
    WriteFlag(writer, i, "Relative", l.relative[i], d ? &(old = d->relative[i]) : nullptr);
    if (!d || memcmp(d->position[i], l.position[i], sizeof l.position[i]) != 0)
        writer.WriteItem(EntryFormat("light%dPos=%.14lg/%.14lg/%.14lg", i, l.position[i][0], l.position[i][1],
                                     l.position[i][2])
                             .c_str());
    WriteColour(writer, i, "Color", l.colour[i], d ? d->colour[i] : nullptr);
    WriteColour(writer, i, "SpecularColor", l.specular[i], d ? d->specular[i] : nullptr);
    WriteFactor(writer, i, "Intensity", l.intensity[i], d ? &d->intensity[i] : nullptr);
    WriteFactor(writer, i, "Ambient", l.ambient[i], d ? &d->ambient[i] : nullptr);
    WriteFactor(writer, i, "Diffuse", l.diffuse[i], d ? &d->diffuse[i] : nullptr);
    WriteFactor(writer, i, "Shiny", l.shiny[i], d ? &d->shiny[i] : nullptr);
    WriteFactor(writer, i, "Specular", l.specularStrength[i], d ? &d->specularStrength[i] : nullptr);
    WriteFactor(writer, i, "Reflection", l.reflection[i], d ? &d->reflection[i] : nullptr);
}

bool ReadVector(const char* value, double* out, int count)
{
    double v[4] = {0, 0, 0, 0};
    if (count > 4)
        count = 4;
    if (sscanf(value, "%lf/%lf/%lf/%lf", &v[0], &v[1], &v[2], &v[3]) < 1)
        return false;
    for (int k = 0; k < count; ++k)
        out[k] = v[k];
    return true;
}

bool ReadLightKey(LightBlock& lights, const LightColourValues* colourValues, const char* key, const char* value)
{
    if (strncmp(key, "light", 5) != 0 || !isdigit((unsigned char)key[5]))
        return false;
    int i = key[5] - '0';
    if (i > 7)
        return true;
    std::string rest = key + 6;
    for (char& c : rest)
        c = (char)tolower((unsigned char)c);
    double d;
    if (rest == "pos") {
        ReadVector(value, lights.position[i], 3);
    } else if (rest == "color" || rest == "specularcolor") {
        int rgb[3];
        uint8_t* target = rest == "color" ? lights.colour[i] : lights.specular[i];
        int n = sscanf(value, "%d/%d/%d", &rgb[0], &rgb[1], &rgb[2]);
        for (int k = 0; k < n && k < 3; ++k)
            target[k] = (uint8_t)ClampByte(rgb[k]);
    } else if (rest == "enabled" || rest == "relative" || rest == "shadow") {
        uint8_t* flags = rest == "enabled" ? lights.enabled : rest == "relative" ? lights.relative : lights.shadow;
        flags[i] = _stricmp(value, "yes") == 0 ? 1 : 0;
    } else if (sscanf(value, "%lf", &d) == 1) {
        static const char* const kFactors[] = {"intensity", "ambient", "diffuse", "shiny", "specular", "reflection"};
        double* factors[] = {lights.intensity,        lights.ambient,         lights.diffuse,
                             lights.shiny,            lights.specularStrength, lights.reflection};
        static const char* const kColourValues[] = {"intenssat", "intenslum", "specularsat", "specularlum"};
        for (int k = 0; k < 6; ++k)
            if (rest == kFactors[k])
                factors[k][i] = d;
        for (int k = 0; colourValues && k < 4; ++k)
            if (rest == kColourValues[k] && colourValues->values[k])
                colourValues->values[k][i] = d;
    }
    return true;
}
