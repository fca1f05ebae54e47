#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "PngImage.h"
#include "cloud/CloudTestAccess.h"
#include "cloud/snapshot/PngEncoder.h"

TEST(PngEncoder, AnIndependentReaderSeesEveryPixelAsItWasWritten) {
    struct Case {
        int width, height, stride;
    };
    for (const Case& c : {Case{1, 1, 4}, Case{3, 2, 16}, Case{17, 5, 68}, Case{64, 33, 300}}) {
        SCOPED_TRACE(c.width);
        // As cairo keeps pixels: a native word xRGB each, whatever the unused
        // byte and the rows' padding hold.
        std::vector<unsigned char> pixels(static_cast<std::size_t>(c.stride) * c.height, 0xAB),
            want;
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                const int rgb[3] = {(x * 37 + y * 11) % 256, x * y % 256, 255 - x % 256};
                want.insert(want.end(), rgb, rgb + 3);
                const std::uint32_t word = 0xAB000000u | rgb[0] << 16 | rgb[1] << 8 | rgb[2];
                std::memcpy(&pixels[static_cast<std::size_t>(y) * c.stride + 4 * x], &word, 4);
            }
        }
        TempFolder folder;
        WriteFile(folder.path() / "p.png",
                  PngEncoder::Encode(pixels.data(), c.width, c.height, c.stride));
        const kelvo_test::PngImage image = kelvo_test::ReadPng(folder.path() / "p.png");
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
        EXPECT_EQ(image.rgb, want);
    }
}
