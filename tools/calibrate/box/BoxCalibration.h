#pragma once

#include <array>
#include <string>
#include <vector>

/// Length, width and height of a box in millimetres; L is the longer side of
/// the base, as the measurement reports it.
struct BoxSize {
    double l = 0.0;
    double w = 0.0;
    double h = 0.0;

    double operator[](int i) const { return i == 0 ? l : i == 1 ? w : h; }
};

/// The arithmetic of calibrating on a reference box: the errors of several
/// scans of one box against its true size, their mean (which the corrections
/// null), spread and range, and the bounds that tell a usable set of scans
/// from a moved box, a wrong row or a size typed in the wrong unit.
class BoxCalibration {
public:
    /// A side outside this range (mm) is no parcel or pallet a station
    /// measures: most likely metres typed for millimetres, or a digit too many.
    static constexpr double kMinSideMm = 50.0;
    static constexpr double kMaxSideMm = 3000.0;
    /// Fewer scans give no spread worth the name.
    static constexpr int kMinScans = 3;
    /// Scans of one box standing still agree within the camera's noise; a
    /// range wider than this (mm, per dimension) means the box moved, or a
    /// row names another box.
    static constexpr double kMaxScanRangeMm = 10.0;
    /// A mean error beyond this (mm) is not something to correct: the given
    /// size or the box is not the one scanned, or something else is measured
    /// with it (remnants of the pallet when the cut does not clear its noise).
    static constexpr double kMaxMeanErrorMm = 30.0;
    /// Corrections that leave a scan further off than this (mm, the parcel
    /// division) do not calibrate the station: they are not written.
    static constexpr double kMaxResidualMm = 5.0;

    static const std::array<const char*, 3>& Names();

    /// Parses "LxWxH" (millimetres, decimals allowed, 'x' or 'X'); orders the
    /// base so that l >= w. False when the text is not three numbers.
    static bool ParseSize(const std::string& text, BoxSize& size);
    /// Empty when every side lies in the plausible range, else the refusal.
    static std::string CheckPlausible(const BoxSize& size);

    BoxCalibration(BoxSize truth, std::vector<BoxSize> measured);

    const BoxSize& Truth() const { return truth; }
    int Scans() const { return static_cast<int>(measured.size()); }
    const BoxSize& Measured(int scan) const { return measured[scan]; }
    /// Measured minus true, mm.
    double Error(int scan, int dim) const { return measured[scan][dim] - truth[dim]; }
    double MeanError(int dim) const;
    /// Sample standard deviation (n - 1) of the measured values, mm.
    double Spread(int dim) const;
    /// Largest minus smallest measured value, mm.
    double Range(int dim) const;

    /// Empty when the scans are too few, disagree or miss the size by far
    /// (with the bound in the message), else the refusal.
    std::string CheckUsable(const char* what) const;
    /// Empty when every error lies within kMaxResidualMm, else the refusal
    /// naming the first scan and dimension beyond it.
    std::string CheckResidual(const std::vector<std::string>& labels) const;

private:
    BoxSize truth;
    std::vector<BoxSize> measured;
};
