#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/calibrate/box/BoxCalibration.h"

namespace {

TEST(BoxCalibrationSize, ParsesThreeNumbersPutsTheLongerSideFirstAndBoundsThem) {
    const std::string metres = "Size not plausible: 0.6 mm is outside 50 to 3000 mm (the size is in millimetres)";
    const struct {
        const char* text;
        double l, w, h;  ///< l 0: not parsed
        std::string refusal;
    } cases[] = {
        {"400x600x500", 600, 400, 500, ""},
        {"1200.5X800x144.25", 1200.5, 800, 144.25, ""},
        {"3000x50x50", 3000, 50, 50, ""},
        {"0.6x0.4x0.5", 0.6, 0.4, 0.5, metres},
        {"600x49.9x500", 600, 49.9, 500,
         "Size not plausible: 49.9 mm is outside 50 to 3000 mm (the size is in millimetres)"},
        {"3000.5x400x500", 3000.5, 400, 500,
         "Size not plausible: 3000.5 mm is outside 50 to 3000 mm (the size is in millimetres)"},
        {"600x400", 0, 0, 0, ""},
        {"600x400x500x1", 0, 0, 0, ""},
        {" 600x400x500", 0, 0, 0, ""},
        {"600x400x500mm", 0, 0, 0, ""},
        {"nanx400x500", 0, 0, 0, ""},
        {"", 0, 0, 0, ""},
    };
    for (const auto& c : cases) {
        BoxSize size;
        ASSERT_EQ(BoxCalibration::ParseSize(c.text, size), c.l != 0) << c.text;
        if (c.l != 0) {
            EXPECT_EQ(size.l, c.l) << c.text;
            EXPECT_EQ(size.w, c.w) << c.text;
            EXPECT_EQ(size.h, c.h) << c.text;
            EXPECT_EQ(BoxCalibration::CheckPlausible(size), c.refusal) << c.text;
        }
    }
}

TEST(BoxCalibrationStatistics, MeanSpreadAndRangeOfTheErrors) {
    const BoxCalibration cal({600, 400, 500}, {{606, 407, 503}, {608, 405, 504}, {607, 406, 502}});
    EXPECT_DOUBLE_EQ(cal.Error(1, 0), 8.0);
    EXPECT_DOUBLE_EQ(cal.MeanError(1), 6.0);
    // Sample standard deviation of 6, 8, 7: sqrt((1 + 1 + 0) / 2) = 1.
    EXPECT_DOUBLE_EQ(cal.Spread(0), 1.0);
    EXPECT_DOUBLE_EQ(cal.Range(1), 2.0);
}

TEST(BoxCalibrationStatistics, RefusesDisagreementAnotherBoxAndCorrectionsThatDoNotNull) {
    const struct {
        const char* name;
        std::vector<BoxSize> measured;
        std::string usable;
        const char* residual;  ///< nullptr: not a case of corrected errors
    } cases[] = {
        {"range and residual at the bounds", {{595, 395, 500}, {605, 400, 505}, {600, 405, 495}}, "", ""},
        {"a moved box", {{600, 400, 500}, {610.5, 400, 500}, {605, 400, 500}},
         "Scans disagree: L ranges over 10.5 mm (bound 10 mm): a moved box or a wrong scan", nullptr},
        {"mean error at the bound", {{630, 400, 500}, {630, 400, 500}, {630, 400, 500}}, "", nullptr},
        {"another box", {{600, 400, 531}, {600, 400, 531}, {600, 400, 531}},
         "Measured H is +31.0 mm off the given size on average (bound 30 mm): another box, or the size "
         "given wrongly",
         nullptr},
        // Corrections of L and W swapped between the sides of the rectangle.
        {"swapped sides", {{600.1, 400, 500}, {591.8, 408.2, 500}, {600, 400, 500}}, "",
         "Corrections do not null the errors: scan 2 is -8.2 mm off in L with them applied (bound 5 mm)"},
    };
    for (const auto& c : cases) {
        const BoxCalibration cal({600, 400, 500}, c.measured);
        EXPECT_EQ(cal.CheckUsable("reference"), c.usable) << c.name;
        if (c.residual != nullptr) {
            EXPECT_EQ(cal.CheckResidual({"scan 1", "scan 2", "scan 3"}), c.residual) << c.name;
        }
    }
}

}  // namespace
