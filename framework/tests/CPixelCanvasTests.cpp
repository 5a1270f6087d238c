#include "framework/testing/CPixelCanvas.h"
#include <gtest/gtest.h>

// The canvas is what drawing tests read their pixels from: what GDI draws must be what it reads.
TEST(PixelCanvas, ReadsWhatGdiDrew)
{
    CPixelCanvas canvas(20, 10, RGB(1, 2, 3));
    EXPECT_EQ(canvas.GetPixel(19, 9), RGB(1, 2, 3));
    EXPECT_EQ(canvas.GetPixel(20, 0), CLR_INVALID);

    CGdiHandle<HBRUSH> brush(::CreateSolidBrush(RGB(200, 100, 50)));
    RECT rc{2, 3, 6, 5};
    ASSERT_TRUE(::FillRect(canvas.GetDC(), &rc, brush));
    EXPECT_EQ(canvas.GetPixel(2, 3), RGB(200, 100, 50));
    EXPECT_EQ(canvas.GetPixel(5, 4), RGB(200, 100, 50));
    EXPECT_EQ(canvas.GetPixel(6, 4), RGB(1, 2, 3)); // right and bottom edges are outside
    EXPECT_EQ(canvas.GetPixel(2, 5), RGB(1, 2, 3));
    EXPECT_EQ(canvas.CountPixels(RGB(200, 100, 50), RECT{0, 0, 20, 10}), 8);
    EXPECT_TRUE(canvas.AnyPixelOf(RGB(200, 100, 50), RECT{5, 4, 7, 6}));
    EXPECT_FALSE(canvas.AnyPixelOtherThan(RGB(200, 100, 50), rc));
    EXPECT_TRUE(canvas.AnyPixelOtherThan(RGB(200, 100, 50), RECT{0, 0, 3, 4}));
    EXPECT_FALSE(canvas.AnyPixelOtherThan(RGB(1, 2, 3), RECT{10, 0, 40, 40})); // clipped

    canvas.Fill(RECT{-5, -5, 1, 1}, RGB(0, 0, 255));
    EXPECT_EQ(canvas.GetPixel(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(canvas.GetPixel(1, 0), RGB(1, 2, 3));
}

TEST(PixelCanvas, FreesItsBitmapAndPutsTheDcBack)
{
    HBITMAP bitmap = nullptr;
    {
        CPixelCanvas canvas(4, 4);
        bitmap = canvas.GetBitmap();
        EXPECT_EQ(::GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
        EXPECT_EQ(::GetCurrentObject(canvas.GetDC(), OBJ_BITMAP), bitmap);
    }
    EXPECT_EQ(::GetObjectType(bitmap), 0u);
}
