#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "PngImage.h"
#include "cloud/CloudTestAccess.h"
#include "cloud/PngEncoder.h"

namespace {

/// Pixels as cairo keeps them: one native word 0x00RRGGBB each, rows padded to stride bytes.
struct Surface {
    int width, height, stride;
    std::vector<unsigned char> bytes;
    Surface(int w, int h, int s) : width(w), height(h), stride(s), bytes(static_cast<std::size_t>(s) * h, 0xAB) {}
    void Set(int x, int y, std::uint32_t rgb) {
        std::memcpy(&bytes[static_cast<std::size_t>(y) * stride + 4 * x], &rgb, 4);
    }
};

}  // namespace

TEST(PngEncoder, AnIndependentReaderSeesEveryPixelAsItWasWritten) {
    struct Case {
        int width, height, stride;
    };
    for (const Case& c : {Case{1, 1, 4}, Case{3, 2, 16}, Case{17, 5, 68}, Case{64, 33, 300}}) {
        SCOPED_TRACE(c.width);
        Surface surface(c.width, c.height, c.stride);
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                surface.Set(x, y, static_cast<std::uint32_t>((x * 37 + y * 11) % 256) << 16 |
                                      static_cast<std::uint32_t>((x * y) % 256) << 8 |
                                      static_cast<std::uint32_t>(255 - x % 256));
            }
        }
        TempFolder folder;
        const auto file = folder.path() / "p.png";
        WriteFile(file, PngEncoder::Encode(surface.bytes.data(), c.width, c.height, c.stride));
        EXPECT_TRUE(kelvo_test::PngCheckAccepts(file));
        const kelvo_test::PngImage image = kelvo_test::ReadPng(file);
        ASSERT_EQ(image.width, c.width);
        ASSERT_EQ(image.height, c.height);
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                const kelvo_test::Colour want{(x * 37 + y * 11) % 256, (x * y) % 256, 255 - x % 256};
                ASSERT_EQ(image.At(x, y), want) << x << "," << y;
            }
        }
    }
}

TEST(PngEncoder, AnImageThePngFormatCannotHoldIsRefused) {
    const unsigned char pixel[4] = {};
    try {
        PngEncoder::Encode(pixel, 0, 1, 4);
        ADD_FAILURE() << "no failure";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("PNG encoding failed: ", 0), 0u) << e.what();
    }
}
