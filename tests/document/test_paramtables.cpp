// The parameter tables against the blocks they describe: the walk with the
// rows' field widths must land on the block's fields (a row too many or a
// wrong width shifts every later key), and the type flags.
#include <gtest/gtest.h>
#include <stddef.h>
#include <string.h>
#include <string>

#include "document/EscapetimeParameters.h"
#include "document/FractalType.h"
#include "document/ParameterTables.h"
#include "document/PlainBlocks.h"
#include "document/QuaternionParameters.h"

namespace {

// Byte offset of the n-th row whose key is key (n from 1); -1 when none.
int OffsetOf(const ParameterDescriptor* table, const char* key, int n = 1)
{
    int offset = 0;
    for (int i = 0; table[i].valueType != PT_END; ++i) {
        if (table[i].key && strcmp(table[i].key, key) == 0 && --n == 0)
            return offset;
        offset += DescriptorFieldWidth(table[i]);
    }
    return -1;
}

const ParameterDescriptor* Row(const ParameterDescriptor* table, const char* key)
{
    for (int i = 0; table[i].valueType != PT_END; ++i)
        if (table[i].key && strcmp(table[i].key, key) == 0)
            return &table[i];
    return nullptr;
}

TEST(ParameterTables, RowCountsAndEmptyTables)
{
    const struct {
        int type, rows;
    } cases[] = {
        {FT_PLASMA, 27}, {FT_DYNAMICSYSTEM, 32}, {FT_LSYSTEM, 20}, {FT_IFS, 29}, {FT_ESCAPETIME, 60},
        {FT_LAYERED, 0}, {FT_QUATERNION, 248}, {FT_IMAGE, 0}, {FT_ATTRACTOR, 175}, {7, 0}, {25, 0},
    };
    for (const auto& c : cases) {
        const ParameterDescriptor* t = GetParameterTable(c.type);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(DescriptorRowCount(t), c.rows) << c.type;
        EXPECT_STREQ(t[0].key, c.rows ? "TopLeftR" : nullptr) << c.type;
    }
}

// The rows cover each block up to its first runtime field.
TEST(ParameterTables, WalksEndAtTheFirstRuntimeField)
{
    EXPECT_EQ(DescriptorBlockSize(GetParameterTable(FT_PLASMA)), 160);
    EXPECT_EQ(DescriptorBlockSize(GetParameterTable(FT_PLASMA)), (int)sizeof(PlasmaParameters));
    EXPECT_EQ(DescriptorBlockSize(GetParameterTable(FT_DYNAMICSYSTEM)), (int)sizeof(DynamicSystemParameters));
    EXPECT_EQ(DescriptorBlockSize(GetParameterTable(FT_LSYSTEM)), (int)sizeof(LSystemParameters));
    EXPECT_EQ(DescriptorBlockSize(GetParameterTable(FT_IFS)), (int)offsetof(IFSParameters, Reserved));
    EXPECT_EQ(DescriptorBlockSize(GetParameterTable(FT_ESCAPETIME)), (int)offsetof(EscapetimeParameters, panelState));
    EXPECT_EQ(DescriptorBlockSize(GetParameterTable(FT_QUATERNION)), (int)offsetof(QuaternionParameters, savedCamera));
    EXPECT_EQ(DescriptorBlockSize(GetParameterTable(FT_ATTRACTOR)),
              (int)offsetof(AttractorParameters, rendererGroups));
}

// Keys land on their fields, across the lists, slots and light runs.
TEST(ParameterTables, KeysLandOnTheirFields)
{
    const ParameterDescriptor* e = GetParameterTable(FT_ESCAPETIME);
    EXPECT_EQ(OffsetOf(e, "MaxIter"), (int)offsetof(EscapetimeParameters, MaxIter));
    EXPECT_EQ(OffsetOf(e, "Formula Name", 2), (int)offsetof(EscapetimeParameters, iteration.foundName));
    EXPECT_EQ(OffsetOf(e, "Inside Coloring"), (int)offsetof(EscapetimeParameters, inside.holder));
    EXPECT_EQ(OffsetOf(e, "Solid Opacity (outside)"), (int)offsetof(EscapetimeParameters, outsideColouring.SolidOpacity));
    EXPECT_EQ(OffsetOf(e, "Solid Color (Transformation)"),
              (int)offsetof(EscapetimeParameters, SolidColorTransformation));

    const ParameterDescriptor* q = GetParameterTable(FT_QUATERNION);
    EXPECT_EQ(OffsetOf(q, "Formula Filename", 2), (int)offsetof(QuaternionParameters, colouring.fileName));
    EXPECT_EQ(OffsetOf(q, "MaxIter"), (int)offsetof(QuaternionParameters, MaxIter));
    EXPECT_EQ(OffsetOf(q, "Light3_y"), (int)offsetof(QuaternionParameters, lights.position[2][1]));
    EXPECT_EQ(OffsetOf(q, "LightSpec8_color"), (int)offsetof(QuaternionParameters, lights.specular[7]));
    EXPECT_EQ(OffsetOf(q, "Light1Reflection"), (int)offsetof(QuaternionParameters, lights.reflection[0]));
    EXPECT_EQ(OffsetOf(q, "Light1Luminance", 2), (int)offsetof(QuaternionParameters, luminance2[0]));
    EXPECT_EQ(OffsetOf(q, "Obs_z"), (int)offsetof(QuaternionParameters, Obs_z));
    EXPECT_EQ(OffsetOf(q, "FogExp"), (int)offsetof(QuaternionParameters, FogExp));

    const ParameterDescriptor* a = GetParameterTable(FT_ATTRACTOR);
    EXPECT_EQ(OffsetOf(a, "Randomness"), (int)offsetof(AttractorParameters, Randomness));
    EXPECT_EQ(OffsetOf(a, "Light8Reflection"), (int)offsetof(AttractorParameters, lights.reflection[7]));
    EXPECT_EQ(OffsetOf(a, "POR"), (int)offsetof(AttractorParameters, POR));
    EXPECT_EQ(OffsetOf(a, "Gamma"), (int)offsetof(AttractorParameters, Gamma));
    EXPECT_EQ(OffsetOf(a, "opacity"), (int)offsetof(AttractorParameters, opacity));

    const ParameterDescriptor* i = GetParameterTable(FT_IFS);
    EXPECT_EQ(OffsetOf(i, "Formula"), (int)offsetof(IFSParameters, Formula));
}

// Which rows the generic writer writes and the animation interpolates.
TEST(ParameterTables, RowColumns)
{
    const struct {
        int type;
        const char* key;
        int group, written, animatable;
        const char* display;
    } cases[] = {
        {FT_ESCAPETIME, "MaxIter", PG_GENERAL, 0, 1, "MaxIter"},
        {FT_ESCAPETIME, "TopRightR", PG_HIDDEN, 0, 0, "TopRightR"},
        {FT_ESCAPETIME, "Angle", PG_GENERAL, 1, 1, "Angle"},
        {FT_PLASMA, "TopLeftR", PG_GENERAL, 0, 0, "TopLeftR"},
        {FT_PLASMA, "Stretch", PG_GENERAL, 1, 1, "Stretch"},
        {FT_PLASMA, "InvRadius", PG_GENERAL, 0, 1, "InvRadius"},
        {FT_PLASMA, "ColorSmoothing", PG_COLOUR, 1, 1, "ColorSmoothing"},
        {FT_IFS, "Colormode", PG_HIDDEN, 1, 1, "Colormode"},
        {FT_QUATERNION, "insideOut", PG_GENERAL, 1, 1, "insideOut"},
        {FT_QUATERNION, "Angle", PG_HIDDEN, 0, 0, "Angle"},
        {FT_QUATERNION, "Light2_z", PG_HIDDEN, 0, 1, "Light #2: z"},
        {FT_QUATERNION, "FogDensity", PG_COLOUR, 1, 1, "Fig: Density"},
        {FT_QUATERNION, "Dummy", PG_COLOUR, 0, 1, "Dummy"},
        {FT_QUATERNION, "LightModel", PG_COLOUR, 0, 1, "lightModel"},
        {FT_ATTRACTOR, "POR", PG_HIDDEN, 1, 1, "POR"},
        {FT_ATTRACTOR, "Obs_x", PG_HIDDEN, 0, 0, "Obs_x"},
        {FT_ATTRACTOR, "WhiteLevel", PG_GENERAL, 0, 1, "White Level"},
    };
    for (const auto& c : cases) {
        const ParameterDescriptor* r = Row(GetParameterTable(c.type), c.key);
        ASSERT_NE(r, nullptr) << c.key;
        EXPECT_EQ(r->group, c.group) << c.type << " " << c.key;
        EXPECT_EQ(r->written, c.written) << c.type << " " << c.key;
        EXPECT_EQ(r->animatable, c.animatable) << c.type << " " << c.key;
        EXPECT_STREQ(r->displayName, c.display);
    }
    const ParameterDescriptor* q = GetParameterTable(FT_QUATERNION);
    EXPECT_EQ(Row(q, "frontClippingPlane")->step, 0.2);
    EXPECT_EQ(Row(q, "Viewangle")->step, 20);
    EXPECT_EQ(Row(q, "InvCenterX")->maximum, 1e7);
    // Only the quaternion table has steps.
    for (int type : {FT_PLASMA, FT_ESCAPETIME, FT_ATTRACTOR}) {
        const ParameterDescriptor* t = GetParameterTable(type);
        for (int i = 0; t[i].valueType != PT_END; ++i)
            EXPECT_EQ(t[i].step, 0.0) << type << " " << i;
    }
}

TEST(FractalTypeFlagsTable, OptionsAndColumns)
{
    for (int i = CNF_DelProj; i <= CNF_CvtFormula; ++i)
        EXPECT_EQ(FractalTypeFlags[i], 1) << i;
    EXPECT_EQ(FractalTypeFlags[0], 0);
    EXPECT_EQ(FractalTypeFlags[1], 0);
    const struct {
        int column;
        const char* realTypes;   // of 6, 8, 9, 10, 14, 15, 16, 17, 18: which are set
    } cases[] = {
        {TF_VIEW_AREA, "1111 1 0000"}, {TF_COLUMN2, "1000 1 0000"},  {TF_HEIGHT_FIELD, "1000 1 0000"},
        {TF_COLUMN4, "0000 1 0000"},   {TF_ZOOM_BOX, "1111 1 1000"}, {TF_MOVE, "1111 1 1000"},
        {TF_COLUMN7, "0000 1 0000"},   {TF_IMAGE_FILTER, "0000 1 0000"},
    };
    const int types[] = {6, 8, 9, 10, 14, 15, 16, 17, 18};
    for (const auto& c : cases) {
        std::string marks;
        for (const char* p = c.realTypes; *p; ++p)
            if (*p != ' ')
                marks += *p;
        for (int k = 0; k < 9; ++k)
            EXPECT_EQ(TypeFlag(c.column, types[k]), marks[k] - '0') << "column " << c.column << " type " << types[k];
    }
    EXPECT_EQ(TypeFlag(TF_HEIGHT_FIELD, 13), 1);
    EXPECT_EQ(TypeFlag(TF_VIEW_AREA, 13), 0);
    EXPECT_EQ(TypeFlag(TF_IMAGE_FILTER, 25), 2);
}

}  // namespace
