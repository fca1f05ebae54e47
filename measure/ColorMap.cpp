#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>

#include "cloud/Cloud.h"
#include "cloud/Units.h"
#include "config/Config.h"
#include "measure/ConfigAccess.h"

namespace {

constexpr float kColorLevels = 255.0f;
constexpr int kHalfLevel = 128;
constexpr int kGrayLevel = 128;
constexpr int kFullLevel = 255;

constexpr int kBlueRed = 0;
constexpr int kGreenMagenta = 1;
constexpr int kWhiteRed = 2;
constexpr int kGrayRed = 3;
// Internal code of the "#RRGGBBAA" type; a plain 100 selects it too, with black.
constexpr int kCustom = 100;

constexpr char kCustomPrefix = '#';
constexpr std::size_t kCustomLength = 9;
constexpr int kHexBase = 16;
constexpr const char* kInvalidType = "Set value to 0. Invalid argument (pcl.color.map.type): ";

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
};

/// The type of map the setting selects; false (after the message) when it names none.
bool ParseType(const std::string& text, int& type, Rgb& custom) {
    custom = Rgb();
    if (text.empty()) {
        std::cerr << kInvalidType << std::endl;
        return false;
    }
    if (text.size() == kCustomLength && text[0] == kCustomPrefix) {
        const unsigned long value = std::strtol(text.c_str() + 1, nullptr, kHexBase);
        custom.r = static_cast<std::uint8_t>(value >> 24);
        custom.g = static_cast<std::uint8_t>(value >> 16);
        custom.b = static_cast<std::uint8_t>(value >> 8);
        type = kCustom;
        return true;
    }
    try {
        type = std::stoi(text, nullptr, 10);
    } catch (const std::invalid_argument& e) {
        std::cerr << kInvalidType << e.what() << std::endl;
        return false;
    } catch (const std::out_of_range& e) {
        // A number too large for a type code names no map either.
        std::cerr << kInvalidType << e.what() << std::endl;
        return false;
    }
    return true;
}

/// The colour of index v (0..255) in the given map; channels keep the low 8 bits.
Rgb Paint(int type, int v, const Rgb& custom) {
    const auto byte = [](int x) { return static_cast<std::uint8_t>(x); };
    const auto inverse = [](int x) { return static_cast<std::uint8_t>(~x); };
    Rgb c;
    switch (type) {
        case kBlueRed:
            c = {byte(v), 0, inverse(v)};
            break;
        case kGreenMagenta:
            c = {byte(v), inverse(v), byte(v)};
            break;
        case kWhiteRed:
            c = {byte(kFullLevel), inverse(v), inverse(v)};
            break;
        case kGrayRed:
            if (v > kHalfLevel) {
                c = {byte(kFullLevel), 0, 0};
            } else {
                c = {byte(kGrayLevel), byte(kGrayLevel), byte(kGrayLevel)};
            }
            break;
        case kCustom:
            c = custom;
            break;
        default: {
            const int up = 2 * (v - kHalfLevel);
            c.r = v > kHalfLevel ? byte(up) : 0;
            c.g = v > kHalfLevel - 1 ? inverse(up) : byte(2 * v);
            c.b = v > kHalfLevel - 1 ? 0 : inverse(2 * v);
            break;
        }
    }
    return c;
}

/// Whole millimetres of a length in metres, truncated toward zero.
double WholeMillimetres(double metres) { return std::trunc(metres * kMillimetresPerMetre); }

}  // namespace

void Cloud::ColorMap() {
    if (cloud->empty()) {
        return;
    }
    const Config& config = ConfigAccess::Get();
    const float minC = config.GetMinColorMap() / kMillimetresPerMetre;
    const float maxC = config.GetMaxColorMap() / kMillimetresPerMetre;
    float scale = kColorLevels / (maxC - minC);
    if (std::trunc(kMillimetresPerMetre * minC) == std::trunc(kMillimetresPerMetre * maxC)) {
        scale = 1.0f;
    }

    int type = 0;
    Rgb custom;
    if (!ParseType(config.GetColorMapType(), type, custom)) {
        return;
    }

    const float a = cloudInfo.GetCoeffA();
    const float b = cloudInfo.GetCoeffB();
    const float c = cloudInfo.GetCoeffC();
    const float d = cloudInfo.GetCoeffD();
    const float n = std::sqrt(a * a + b * b + c * c);
    // Without a plane (all normal coefficients 0) no distance exists, and a
    // point without finite coordinates has none either: both get index 0.
    const bool havePlane = n > 0.0f && std::isfinite(n);
    const double maxMm = WholeMillimetres(maxC);
    const double minMm = WholeMillimetres(minC);

    for (pcl::PointXYZRGB& p : cloud->points) {
        long v = 0;
        float dist = havePlane ? std::fabs(a * p.x + b * p.y + c * p.z + d) / n : 0.0f;
        if (havePlane && std::isfinite(dist)) {
            if (WholeMillimetres(dist) >= maxMm) {
                dist = maxC;
            }
            if (WholeMillimetres(dist) <= minMm) {
                dist = minC;
            }
            const float level = (dist - minC) * scale;
            v = std::isfinite(level) ? std::lround(level) : 0;
        }
        const Rgb color = Paint(type, static_cast<int>(v), custom);
        p.r = color.r;
        p.g = color.g;
        p.b = color.b;
    }
    colorMapped = true;
}
