// The layer record: its defaults and the two copies a layered fractal's
// copy uses; neither touches the layer fractal.
#include <gtest/gtest.h>

#include "document/Layer.h"

TEST(Layer, DefaultsAndCopies)
{
    Layer a;
    EXPECT_STREQ(a.name, "");
    EXPECT_EQ(a.mergeMode, 0);
    EXPECT_EQ(a.opacity, 100.0);
    EXPECT_EQ(a.visible, 1);
    EXPECT_EQ(a.autoUpdate, 1);
    EXPECT_EQ(a.windowShown, 1);
    EXPECT_EQ(a.autoZoom, 1);
    EXPECT_EQ(a.usesAlpha, 1);
    EXPECT_EQ(a.mask, 0);
    EXPECT_EQ(a.fractal, nullptr);

    a.SetName("Clouds");
    a.mergeMode = 4;
    a.leftOffset = -12.5;
    a.bottomOffset = 3;
    a.opacity = 40;
    a.visible = 0;
    a.windowShown = 0;
    a.usesAlpha = 0;
    a.mask = 1;
    a.fractal = reinterpret_cast<Fractal*>(&a);

    Layer copy(a);
    EXPECT_STREQ(copy.name, "Clouds");
    EXPECT_EQ(copy.fractal, nullptr);
    Layer fields;
    fields.SetName("Own");
    fields.CopyFieldsFrom(a);
    EXPECT_STREQ(fields.name, "Own");
    EXPECT_EQ(fields.fractal, nullptr);
    for (const Layer* l : { &copy, &fields }) {
        EXPECT_EQ(l->mergeMode, 4);
        EXPECT_EQ(l->leftOffset, -12.5);
        EXPECT_EQ(l->bottomOffset, 3);
        EXPECT_EQ(l->opacity, 40);
        EXPECT_EQ(l->visible, 0);
        EXPECT_EQ(l->windowShown, 0);
        EXPECT_EQ(l->usesAlpha, 0);
        EXPECT_EQ(l->mask, 1);
        EXPECT_EQ(l->autoZoom, 1);
    }
}
