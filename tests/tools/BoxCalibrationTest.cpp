#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tools/BoxCalibration.h"

namespace {

struct SizeCase {
    const char* text;
    bool parses;
    double l, w, h;
};

TEST(BoxCalibrationSize, ParsesThreeNumbersAndPutsTheLongerSideFirst) {
    const SizeCase cases[] = {
        {"600x400x500", true, 600, 400, 500},
        {"400x600x500", true, 600, 400, 500},
        {"600X400X500", true, 600, 400, 500},
        {"1200.5x800x144.25", true, 1200.5, 800, 144.25},
        {"0.6x0.4x0.5", true, 0.6, 0.4, 0.5},
        {"600x400", false, 0, 0, 0},
        {"600x400x", false, 0, 0, 0},
        {"600x400x500x1", false, 0, 0, 0},
        {"600 x400x500", false, 0, 0, 0},
        {" 600x400x500", false, 0, 0, 0},
        {"600x400x500mm", false, 0, 0, 0},
        {"nanx400x500", false, 0, 0, 0},
        {"infx400x500", false, 0, 0, 0},
        {"", false, 0, 0, 0},
    };
    for (const SizeCase& c : cases) {
        BoxSize size;
        EXPECT_EQ(BoxCalibration::ParseSize(c.text, size), c.parses) << c.text;
        if (c.parses) {
            EXPECT_EQ(size.l, c.l) << c.text;
            EXPECT_EQ(size.w, c.w) << c.text;
            EXPECT_EQ(size.h, c.h) << c.text;
        }
    }
}

TEST(BoxCalibrationSize, RefusesSidesOutsideTheStatedRange) {
    const struct {
        BoxSize size;
        std::string refusal;
    } cases[] = {
        {{600, 400, 500}, ""},
        {{3000, 50, 50}, ""},
        {{0.6, 0.4, 0.5}, "Size not plausible: 0.6 mm is outside 50 to 3000 mm (the size is in millimetres)"},
        {{600, 49.9, 500}, "Size not plausible: 49.9 mm is outside 50 to 3000 mm (the size is in millimetres)"},
        {{3000.5, 400, 500}, "Size not plausible: 3000.5 mm is outside 50 to 3000 mm (the size is in millimetres)"},
        {{600, 400, 0}, "Size not plausible: 0 mm is outside 50 to 3000 mm (the size is in millimetres)"},
        {{600, 400, -500}, "Size not plausible: -500 mm is outside 50 to 3000 mm (the size is in millimetres)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BoxCalibration::CheckPlausible(c.size), c.refusal) << c.size.l << " " << c.size.w;
    }
}

TEST(BoxCalibrationStatistics, MeanSpreadAndRangeOfTheErrors) {
    const BoxCalibration cal({600, 400, 500}, {{606, 407, 503}, {608, 405, 504}, {607, 406, 502}});
    EXPECT_DOUBLE_EQ(cal.Error(1, 0), 8.0);
    EXPECT_DOUBLE_EQ(cal.Error(1, 1), 5.0);
    EXPECT_DOUBLE_EQ(cal.MeanError(0), 7.0);
    EXPECT_DOUBLE_EQ(cal.MeanError(1), 6.0);
    EXPECT_DOUBLE_EQ(cal.MeanError(2), 3.0);
    // Sample standard deviation of 6, 8, 7: sqrt((1 + 1 + 0) / 2) = 1.
    EXPECT_DOUBLE_EQ(cal.Spread(0), 1.0);
    EXPECT_DOUBLE_EQ(cal.Spread(2), 1.0);
    EXPECT_DOUBLE_EQ(cal.Range(0), 2.0);
    EXPECT_DOUBLE_EQ(cal.Range(1), 2.0);
    EXPECT_EQ(cal.CheckUsable("reference"), "");
}

TEST(BoxCalibrationStatistics, RefusesTooFewScansDisagreementAndAnotherBox) {
    const BoxSize truth{600, 400, 500};
    const struct {
        const char* name;
        std::vector<BoxSize> measured;
        std::string refusal;
    } cases[] = {
        {"two scans", {{606, 407, 503}, {606, 407, 503}}, "Need at least 3 scans of the reference box, got 2"},
        {"range at the bound", {{600, 400, 500}, {610, 400, 500}, {605, 400, 500}}, ""},
        {"a moved box", {{600, 400, 500}, {610.5, 400, 500}, {605, 400, 500}},
         "Scans disagree: L ranges over 10.5 mm (bound 10 mm): a moved box or a wrong scan"},
        {"a wrong row", {{606, 407, 503}, {606, 407, 303}, {606, 407, 503}},
         "Scans disagree: H ranges over 200.0 mm (bound 10 mm): a moved box or a wrong scan"},
        {"mean error at the bound", {{630, 400, 500}, {630, 400, 500}, {630, 400, 500}}, ""},
        {"another box", {{600, 400, 531}, {600, 400, 531}, {600, 400, 531}},
         "Measured H is +31.0 mm off the given size on average (bound 30 mm): another box, or the size "
         "given wrongly"},
        {"pallet remnants", {{668, 476, 503}, {668, 476, 503}, {668, 476, 503}},
         "Measured L is +68.0 mm off the given size on average (bound 30 mm): another box, or the size "
         "given wrongly"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BoxCalibration(truth, c.measured).CheckUsable("reference"), c.refusal) << c.name;
    }
}

TEST(BoxCalibrationStatistics, ResidualsBeyondTheParcelDivisionAreRefused) {
    const BoxSize truth{600, 400, 500};
    const struct {
        const char* name;
        std::vector<BoxSize> measured;
        std::string refusal;
    } cases[] = {
        {"nulled", {{600.4, 399.8, 500.1}, {599.7, 400.2, 499.9}, {600, 400, 500}}, ""},
        {"at the bound", {{605, 395, 500}, {600, 400, 505}, {600, 400, 495}}, ""},
        // Corrections of L and W swapped between the sides of the rectangle.
        {"swapped sides", {{600.1, 400, 500}, {591.8, 408.2, 500}, {600, 400, 500}},
         "Corrections do not null the errors: scan 2 is -8.2 mm off in L with them applied (bound 5 mm)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BoxCalibration(truth, c.measured).CheckResidual({"scan 1", "scan 2", "scan 3"}), c.refusal)
            << c.name;
    }
}

}  // namespace
