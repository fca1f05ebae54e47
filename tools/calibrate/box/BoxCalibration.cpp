#include "tools/calibrate/box/BoxCalibration.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

std::string Format(const char* format, double a, double b = 0.0, double c = 0.0) {
    char text[256];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

/// One decimal number filling the whole text; false on anything else.
bool ParseNumber(const std::string& text, double& value) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) {
        return false;
    }
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value);
}

}  // namespace

const std::array<const char*, 3>& BoxCalibration::Names() {
    static const std::array<const char*, 3> names = {"L", "W", "H"};
    return names;
}

bool BoxCalibration::ParseSize(const std::string& text, BoxSize& size) {
    double v[3];
    std::size_t begin = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t end = i < 2 ? text.find_first_of("xX", begin) : text.size();
        if (end == std::string::npos || !ParseNumber(text.substr(begin, end - begin), v[i])) {
            return false;
        }
        begin = end + 1;
    }
    size.l = std::max(v[0], v[1]);
    size.w = std::min(v[0], v[1]);
    size.h = v[2];
    return true;
}

std::string BoxCalibration::CheckPlausible(const BoxSize& size) {
    for (int i = 0; i < 3; ++i) {
        if (!(size[i] >= kMinSideMm && size[i] <= kMaxSideMm)) {
            return Format("Size not plausible: %g mm is outside %g to %g mm (the size is in millimetres)",
                          size[i], kMinSideMm, kMaxSideMm);
        }
    }
    return std::string();
}

BoxCalibration::BoxCalibration(BoxSize truth, std::vector<BoxSize> measured)
    : truth(truth), measured(std::move(measured)) {}

double BoxCalibration::MeanError(int dim) const {
    double sum = 0.0;
    for (int s = 0; s < Scans(); ++s) {
        sum += Error(s, dim);
    }
    return Scans() ? sum / Scans() : 0.0;
}

double BoxCalibration::Spread(int dim) const {
    if (Scans() < 2) {
        return 0.0;
    }
    const double mean = MeanError(dim);
    double squares = 0.0;
    for (int s = 0; s < Scans(); ++s) {
        squares += (Error(s, dim) - mean) * (Error(s, dim) - mean);
    }
    return std::sqrt(squares / (Scans() - 1));
}

double BoxCalibration::Range(int dim) const {
    double lo = 0.0, hi = 0.0;
    for (int s = 0; s < Scans(); ++s) {
        const double v = measured[s][dim];
        lo = s == 0 ? v : std::min(lo, v);
        hi = s == 0 ? v : std::max(hi, v);
    }
    return hi - lo;
}

std::string BoxCalibration::CheckUsable(const char* what) const {
    if (Scans() < kMinScans) {
        return std::string("Need at least ") + std::to_string(kMinScans) + " scans of the " + what +
               " box, got " + std::to_string(Scans());
    }
    for (int dim = 0; dim < 3; ++dim) {
        if (Range(dim) > kMaxScanRangeMm) {
            return std::string("Scans disagree: ") + Names()[dim] +
                   Format(" ranges over %.1f mm (bound %g mm): a moved box or a wrong scan", Range(dim),
                          kMaxScanRangeMm);
        }
    }
    for (int dim = 0; dim < 3; ++dim) {
        if (std::fabs(MeanError(dim)) > kMaxMeanErrorMm) {
            return std::string("Measured ") + Names()[dim] +
                   Format(" is %+.1f mm off the given size on average (bound %g mm): another box, or the "
                          "size given wrongly",
                          MeanError(dim), kMaxMeanErrorMm);
        }
    }
    return std::string();
}

std::string BoxCalibration::CheckResidual(const std::vector<std::string>& labels) const {
    for (int s = 0; s < Scans(); ++s) {
        for (int dim = 0; dim < 3; ++dim) {
            if (std::fabs(Error(s, dim)) > kMaxResidualMm) {
                return "Corrections do not null the errors: " + labels[s] + " is " +
                       Format("%+.1f mm off in ", Error(s, dim)) + Names()[dim] +
                       Format(" with them applied (bound %g mm)", kMaxResidualMm);
            }
        }
    }
    return std::string();
}
