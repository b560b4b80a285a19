// Surface lighting, the tone step and the integer power. The lighting
// cases use a head-on geometry (light and viewer at the origin, the point
// straight ahead, the normal facing back), where every dot product is 1, D
// and G are 1 and the Fresnel factor is the specular colour, so the screen
// blends can be worked out by hand.
#include <gtest/gtest.h>
#include <math.h>

#include "fractals/attractor/Lighting.h"

namespace {

LightEntry HeadOnLight() {
    LightEntry l = {};
    l.shininess = 0.5f;
    l.reflection = (float)(exp(1.0) - 1);
    l.intensity = 1;
    for (int c = 0; c < 3; ++c)
        l.colour[c] = 1;
    l.enabled = 1;
    return l;
}

void Light(const LightEntry& l, float point0z, float shadow, float acc[3], const float* start = nullptr) {
    const float normal[3] = {0, 0, -1};
    float point[3] = {0, 0, point0z};
    for (int c = 0; c < 3; ++c)
        acc[c] = start ? start[c] : 0;
    ComputeLighting(l, normal, point, nullptr, acc, shadow);
}

}  // namespace

TEST(ComputeLighting, HeadOnBlendsByTheScreenRule) {
    struct Case {
        float ambient, specular, specularColour, diffuse, shadow, expected;
        const char* what;
    } cases[] = {
        {0.2f, 0.5f, 0.5f, 0.5f, 0, 0.7f, "ambient 0.2, specular 0.25, diffuse 0.5"},
        {0.2f, 0.5f, 0.5f, 0.5f, 1, 0.4f, "full shadow: no specular, half the diffuse"},
        {0.2f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5625f, "half shadow: specular halved, diffuse x 0.75"},
        {0, 0, 0, 0, 0, 0, "nothing"},
        {0, 2, 1, 0, 0, 1, "a specular term above 1 stops at 1"},
        {0, 0, 0, 3, 0, 1, "a diffuse term above 1 stops at 1"},
    };
    for (const Case& c : cases) {
        LightEntry l = HeadOnLight();
        l.ambient = c.ambient;
        l.specular = c.specular;
        for (int k = 0; k < 3; ++k)
            l.specularColour[k] = c.specularColour;
        l.diffuse = c.diffuse;
        float acc[3];
        Light(l, 5, c.shadow, acc);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(acc[k], c.expected, 1e-5) << c.what;
    }
}

// With the reflection parameter 0 (reflection 0) the Fresnel factor is the
// specular colour itself: the channels keep its proportions. A light behind
// the surface adds no diffuse light, but its ambient share stays.
TEST(ComputeLighting, FresnelAndBackLight) {
    LightEntry l = HeadOnLight();
    l.reflection = 0;
    l.specular = 0.5f;
    l.specularColour[0] = 0.8, l.specularColour[1] = 0.4, l.specularColour[2] = 0.2;
    float acc[3];
    Light(l, 5, 0, acc);
    EXPECT_NEAR(acc[0], 0.4f, 1e-5);
    EXPECT_NEAR(acc[1], 0.2f, 1e-5);
    EXPECT_NEAR(acc[2], 0.1f, 1e-5);

    LightEntry back = HeadOnLight();
    back.position[2] = 10;   // beyond the point, behind the surface
    back.ambient = 0.3f;
    back.diffuse = 1;
    const float normal[3] = {0, 0, -1};
    float point[3] = {0.5f, 0, 5};
    float acc2[3] = {0, 0, 0};
    ComputeLighting(back, normal, point, nullptr, acc2, 0);
    EXPECT_NEAR(acc2[0], 0.3f, 1e-5);   // ambient only: diffuse 0, specular 0
}

TEST(ComputeLighting, ViewerShiftsThePointAndChannelsStayAtMostOne) {
    LightEntry l = HeadOnLight();
    l.position[2] = 3;
    l.diffuse = 0.5f;
    // The viewer at (0, 0, 3) with the point at (0, 0, 8): the same head-on
    // case as viewer and light at the origin and the point at 5.
    const float viewer[3] = {0, 0, 3};
    const float normal[3] = {0, 0, -1};
    float point[3] = {0, 0, 8};
    float acc[3] = {0, 0, 0};
    LightEntry atOrigin = l;
    atOrigin.position[2] = 0;
    ComputeLighting(atOrigin, normal, point, viewer, acc, 0);
    EXPECT_FLOAT_EQ(point[2], 5);
    EXPECT_NEAR(acc[0], 0.5f, 1e-5);

    const float start[3] = {0.9f, 1.0f, 0.99f};
    l.position[2] = 0;
    l.ambient = 0.9f;
    l.specular = 5;
    l.specularColour[0] = l.specularColour[1] = l.specularColour[2] = 1;
    l.diffuse = 5;
    Light(l, 5, 0, acc, start);
    for (int k = 0; k < 3; ++k)
        EXPECT_LE(acc[k], 1.0f);
}

TEST(ScaleColour, GammaAndContrast) {
    float linear[256], squared[256];
    for (int i = 0; i < 256; ++i) {
        linear[i] = (float)(i / 255.0);
        squared[i] = (float)pow(i / 255.0, 2);
    }
    struct Case {
        const float* table;
        double contrast;
        int in[3], out[3];
    } cases[] = {
        {linear, 1.0, {0, 128, 255}, {0, 128, 255}},
        {linear, 2.0, {100, 128, 200}, {200, 255, 255}},   // above 255 becomes 255
        {squared, 1.0, {0, 51, 255}, {0, 10, 255}},        // (0.2)^2 x 255 + 0.5 = 10.7
        {linear, 0.5, {255, 100, 2}, {128, 50, 1}},
    };
    for (const Case& c : cases) {
        int32_t colour[3] = {c.in[0], c.in[1], c.in[2]};
        ScaleColour(colour, c.table, c.contrast);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(colour[k], c.out[k]) << "in " << c.in[k] << " contrast " << c.contrast;
    }
}

TEST(IntPower, Table) {
    struct Case {
        double x;
        int n;
        double expected;
    } cases[] = {
        {2, 10, 1024}, {2, -2, 0.25}, {7.5, 0, 1}, {0, 0, 1}, {-3, 3, -27}, {-3, 4, 81}, {1.5, 1, 1.5},
        {10, -3, 0.001}, {2, 31, 2147483648.0}, {2, -31, 1.0 / 2147483648.0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(IntPower(c.x, c.n), c.expected) << c.x << "^" << c.n;
    // The most negative exponent has no positive counterpart in 32 bits.
    EXPECT_DOUBLE_EQ(IntPower(1.0, INT32_MIN), 1.0);
    EXPECT_DOUBLE_EQ(IntPower(2.0, INT32_MIN), 0.0);
}
