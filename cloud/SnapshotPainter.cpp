// The picture of a measured cloud. The points go straight into cairo's image
// buffer (one pixel block each, nearest point wins); the rectangle, the
// labels and the text are drawn with cairo on top, and the PNG is encoded in
// memory. Built as the module the tool loads only when it draws a picture.
#include "cloud/SnapshotPainter.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <stdexcept>
#include <vector>

#include "cloud/Cloud.h"
#include "cloud/PngEncoder.h"
#include "cloud/Units.h"

namespace {

// fonts-dejavu-core; a fixed file rather than a font lookup, so that every
// machine draws the same picture and no font configuration is scanned.
const char* const kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kBoldFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

/// A view's area on the picture, in pixels.
struct Panel {
    int x, y, w, h;
};

// The layout docs/outputs.md describes; tests find the corners by it.
constexpr int kHeaderHeight = 100;
constexpr Panel kTopPanel{12, 112, 720, 676};
constexpr Panel kSidePanel{744, 112, 444, 676};
// Room between the drawn box and the panel's edge for the letters, the side
// labels, the title and the scale bar.
constexpr double kFitMargin = 56.0;
// Pixels per metre at most: a box of a few millimetres is not blown up to the panel.
constexpr double kMaxScale = 4000.0;
// Length the scale bar aims at; it takes the nearest 1, 2 or 5 times a power of ten.
constexpr double kScaleBarPixels = 150.0;
// A floor farther than this from the box (metres) is a wrong plane, not drawn.
constexpr double kFarthestFloor = 10.0;
// Largest point block; clouds too sparse to fill the picture with it look dotted.
constexpr int kLargestBlock = 6;

struct Rgb {
    std::uint8_t r, g, b;
};

constexpr Rgb kPage{255, 255, 255};
constexpr Rgb kInk{26, 26, 26};
constexpr Rgb kViewBackground{32, 36, 40};
constexpr Rgb kViewInk{225, 228, 232};
// Amber: no colour of the colour maps, so the box stands out on any of them.
constexpr Rgb kBox{255, 196, 0};
constexpr Rgb kGround{150, 160, 170};
// Heights without a colour map: dark at the floor side, light at the top.
constexpr Rgb kLowShade{40, 70, 140};
constexpr Rgb kHighShade{215, 235, 255};

constexpr double kBoxLineWidth = 3.0;
constexpr double kLetterOffset = 18.0;
constexpr double kSideLabelOffset = 14.0;
// Room for the AWB in the header's first line, left of the time.
constexpr double kAwbWidth = 900.0;

/// A 2D point or direction in metres or pixels.
struct P2 {
    double x = 0.0, y = 0.0;
};
P2 operator+(P2 a, P2 b) { return {a.x + b.x, a.y + b.y}; }
P2 operator-(P2 a, P2 b) { return {a.x - b.x, a.y - b.y}; }
P2 operator*(P2 a, double s) { return {a.x * s, a.y * s}; }
double Dot(P2 a, P2 b) { return a.x * b.x + a.y * b.y; }
double Length(P2 a) { return std::sqrt(Dot(a, a)); }
P2 Unit(P2 a, P2 fallback) {
    const double n = Length(a);
    return n > 0.0 && std::isfinite(n) ? a * (1.0 / n) : fallback;
}

/// Uniform scale of an area of the scene onto a panel, centred, with the margin kept free.
struct Fit {
    double scale = kMaxScale;
    P2 centre;  // of the area, in metres
    P2 middle;  // of the panel, in pixels

    Fit(const Panel& panel, double minA, double maxA, double minB, double maxB) {
        const double spanA = maxA - minA;
        const double spanB = maxB - minB;
        if (spanA > 0.0) {
            scale = std::min(scale, (panel.w - 2.0 * kFitMargin) / spanA);
        }
        if (spanB > 0.0) {
            scale = std::min(scale, (panel.h - 2.0 * kFitMargin) / spanB);
        }
        centre = {(minA + maxA) / 2.0, (minB + maxB) / 2.0};
        middle = {panel.x + panel.w / 2.0, panel.y + panel.h / 2.0};
    }
    P2 operator()(P2 scene) const { return middle + (scene - centre) * scale; }
};

/// Side of the pixel block a point gets: about enough to close the gaps
/// between neighbours when n points spread over areaPixels.
int BlockSize(double areaPixels, std::size_t n) {
    if (n == 0 || !(areaPixels > 0.0)) {
        return 1;
    }
    const double side = std::ceil(2.5 * std::sqrt(areaPixels / static_cast<double>(n)));
    return static_cast<int>(std::clamp(side, 1.0, static_cast<double>(kLargestBlock)));
}

/// Pixels of the image surface, written directly.
class Pixels {
public:
    explicit Pixels(cairo_surface_t* surface)
        : data(cairo_image_surface_get_data(surface)),
          stride(cairo_image_surface_get_stride(surface)) {}

    void Set(int x, int y, Rgb c) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        row[x] = (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
    }

private:
    unsigned char* data;
    int stride;
};

/// Points of one view: each one's pixel block, the point nearest to the
/// viewer winning, clipped to the panel.
class PointLayer {
public:
    PointLayer(const Panel& panel, int block)
        : panel(panel), block(block),
          depth(static_cast<std::size_t>(panel.w) * panel.h, std::numeric_limits<float>::infinity()) {}

    /// A point at pixel position at, depth d (smaller is nearer), colour c.
    void Put(Pixels& pixels, P2 at, float d, Rgb c) {
        // The block is centred on the point and always covers the pixel it falls in.
        const double left = at.x + 0.5 - block / 2.0 - panel.x;
        const double top = at.y + 0.5 - block / 2.0 - panel.y;
        // Also false for NaN: such a point has no place.
        if (!(left >= 0.0 && top >= 0.0 && left <= panel.w - block && top <= panel.h - block)) {
            return;
        }
        const int x0 = static_cast<int>(left);
        const int y0 = static_cast<int>(top);
        for (int y = y0; y < y0 + block; ++y) {
            float* row = &depth[static_cast<std::size_t>(y) * panel.w];
            for (int x = x0; x < x0 + block; ++x) {
                if (d < row[x]) {
                    row[x] = d;
                    pixels.Set(panel.x + x, panel.y + y, c);
                }
            }
        }
    }

private:
    Panel panel;
    int block;
    std::vector<float> depth;
};

/// The two DejaVu faces, loaded once per process and kept to its end.
struct Fonts {
    cairo_font_face_t* regular = nullptr;
    cairo_font_face_t* bold = nullptr;
    std::string fault;
};

cairo_font_face_t* LoadFace(FT_Library library, const char* file, std::string& fault) {
    FT_Face face = nullptr;
    if (FT_New_Face(library, file, 0, &face) != 0) {
        fault = std::string("font not readable: ") + file + " (package fonts-dejavu-core)";
        return nullptr;
    }
    cairo_font_face_t* cairoFace = cairo_ft_font_face_create_for_ft_face(face, 0);
    if (cairo_font_face_status(cairoFace) != CAIRO_STATUS_SUCCESS) {
        fault = std::string("font not usable: ") + file;
        return nullptr;
    }
    return cairoFace;
}

const Fonts& TheFonts() {
    static const Fonts fonts = [] {
        Fonts f;
        FT_Library library = nullptr;
        if (FT_Init_FreeType(&library) != 0) {
            f.fault = "no font library";
            return f;
        }
        f.regular = LoadFace(library, kFontFile, f.fault);
        f.bold = f.regular ? LoadFace(library, kBoldFontFile, f.fault) : nullptr;
        return f;
    }();
    if (fonts.regular == nullptr || fonts.bold == nullptr) {
        throw std::runtime_error(fonts.fault);
    }
    return fonts;
}

enum class Align { Left, Centre, Right };

/// The drawing context with the fonts; text and lines in one colour each call.
class Painter {
public:
    Painter(cairo_t* cr, const Fonts& fonts) : cr(cr), fonts(fonts) {}

    void Colour(Rgb c) { cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0); }

    void Fill(const Panel& p, Rgb c) {
        Colour(c);
        cairo_rectangle(cr, p.x, p.y, p.w, p.h);
        cairo_fill(cr);
    }

    /// One line of text; at is its baseline (Left/Right) or its centre (Centre),
    /// turned by angle radians about that point.
    /// A text wider than maxWidth pixels is drawn smaller to fit.
    void Text(const std::string& text, P2 at, double size, bool bold, Rgb c, Align align,
              double angle = 0.0, double maxWidth = 0.0) {
        cairo_save(cr);
        cairo_set_font_face(cr, bold ? fonts.bold : fonts.regular);
        cairo_set_font_size(cr, size);
        Colour(c);
        cairo_translate(cr, at.x, at.y);
        cairo_rotate(cr, angle);
        cairo_text_extents_t e;
        cairo_text_extents(cr, text.c_str(), &e);
        if (maxWidth > 0.0 && e.x_advance > maxWidth) {
            cairo_set_font_size(cr, size * maxWidth / e.x_advance);
            cairo_text_extents(cr, text.c_str(), &e);
        }
        double dx = 0.0, dy = 0.0;
        switch (align) {
            case Align::Left:
                break;
            case Align::Right:
                dx = -e.x_advance;
                break;
            case Align::Centre:
                dx = -(e.x_bearing + e.width / 2.0);
                dy = -(e.y_bearing + e.height / 2.0);
                break;
        }
        cairo_move_to(cr, dx, dy);
        cairo_show_text(cr, text.c_str());
        cairo_restore(cr);
    }

    void Polygon(const std::vector<P2>& corners, Rgb c, double width) {
        Colour(c);
        cairo_set_line_width(cr, width);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
        cairo_move_to(cr, corners[0].x, corners[0].y);
        for (std::size_t i = 1; i < corners.size(); ++i) {
            cairo_line_to(cr, corners[i].x, corners[i].y);
        }
        cairo_close_path(cr);
        cairo_stroke(cr);
    }

    void Line(P2 a, P2 b, Rgb c, double width, bool dashed = false) {
        cairo_save(cr);
        Colour(c);
        cairo_set_line_width(cr, width);
        if (dashed) {
            const double dash[] = {8.0, 6.0};
            cairo_set_dash(cr, dash, 2, 0.0);
        }
        cairo_move_to(cr, a.x, a.y);
        cairo_line_to(cr, b.x, b.y);
        cairo_stroke(cr);
        cairo_restore(cr);
    }

    /// Keeps what follows inside the panel.
    void Clip(const Panel& p) {
        cairo_save(cr);
        cairo_rectangle(cr, p.x, p.y, p.w, p.h);
        cairo_clip(cr);
    }
    void Unclip() { cairo_restore(cr); }

private:
    cairo_t* cr;
    const Fonts& fonts;
};

/// Length of the valid UTF-8 sequence at text[i], 0 when there is none.
std::size_t Utf8Length(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned long code = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return overlong || surrogate || code > 0x10FFFF ? 0 : length;
}

/// A text from the database as one line the font can draw: control
/// characters and bytes that are no UTF-8 become U+FFFD (cairo refuses
/// invalid UTF-8, and the picture would fail for one odd byte of an AWB).
std::string Drawable(const std::string& text) {
    static const char* const kReplacement = "\xEF\xBF\xBD";
    std::string line;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8Length(text, i);
        const auto lead = static_cast<unsigned char>(text[i]);
        if (length == 0 || (length == 1 && (lead < 0x20 || lead == 0x7F))) {
            line += kReplacement;
            ++i;
        } else {
            line.append(text, i, length);
            i += length;
        }
    }
    return line;
}

std::string Format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

/// A length in metres as whole millimetres.
std::string Millimetres(double metres) { return Format("%.0f mm", std::round(metres * kMillimetresPerMetre)); }

/// 1, 2 or 5 times a power of ten metres, near the length kScaleBarPixels stands for.
double ScaleBarLength(double scale) {
    const double target = kScaleBarPixels / scale;
    const double power = std::pow(10.0, std::floor(std::log10(target)));
    double best = power;
    for (const double step : {1.0, 2.0, 5.0, 10.0}) {
        if (std::fabs(step * power - target) < std::fabs(best - target)) {
            best = step * power;
        }
    }
    return best;
}

void ScaleBar(Painter& painter, const Panel& panel, double scale) {
    if (!(scale > 0.0) || !std::isfinite(scale)) {
        return;
    }
    const double metres = ScaleBarLength(scale);
    const double pixels = metres * scale;
    const P2 left{panel.x + 16.0, panel.y + panel.h - 16.0};
    const P2 right = left + P2{pixels, 0.0};
    painter.Line(left, right, kViewInk, 3.0);
    painter.Line(left - P2{0.0, 6.0}, left, kViewInk, 2.0);
    painter.Line(right - P2{0.0, 6.0}, right, kViewInk, 2.0);
    const std::string label = metres >= 1.0 ? Format("%g m", metres) : Millimetres(metres);
    painter.Text(label, left + P2{pixels + 10.0, 0.0}, 14.0, false, kViewInk, Align::Left);
}

/// Angle of a direction on the picture, turned so that text along it reads upright.
double UprightAngle(P2 direction) {
    double angle = std::atan2(direction.y, direction.x);
    if (angle > M_PI / 2.0) {
        angle -= M_PI;
    } else if (angle <= -M_PI / 2.0) {
        angle += M_PI;
    }
    return angle;
}

/// What a picture draws of one cloud, gathered once.
struct Scene {
    std::array<P2, 4> base;  // A..D in x, y
    P2 centre;
    P2 along;   // unit direction of the longer side, rightward on the top view
    P2 across;  // unit direction of the shorter side, downward on the top view
    double length = 0.0;  // of the longer side, metres, as drawn
    double zTop = 0.0;    // smallest z: nearest the camera
    double zBottom = 0.0;
    bool longSideAB = true;

    explicit Scene(const Cloud& cloud) {
        for (int i = 0; i < 4; ++i) {
            base[i] = {cloud.GetInboundCorner(0, i), cloud.GetInboundCorner(1, i)};
            centre = centre + base[i] * 0.25;
        }
        zTop = cloud.GetInboundCorner(2, 0);
        zBottom = cloud.GetInboundCorner(2, 4);
        const double ab = Length(base[1] - base[0]);
        const double bc = Length(base[2] - base[1]);
        longSideAB = !(bc > ab);
        const P2 longSide = longSideAB ? base[1] - base[0] : base[2] - base[1];
        length = longSideAB ? ab : bc;
        along = Unit(longSide, {1.0, 0.0});
        // Seen from the top view's lower edge: t grows to the right there too.
        if (along.x < 0.0 || (along.x == 0.0 && along.y < 0.0)) {
            along = along * -1.0;
        }
        across = {-along.y, along.x};
    }
};

/// Colour of a point: its own after a colour map, else its height in the box.
class Shade {
public:
    Shade(bool mapped, double zTop, double zBottom) : mapped(mapped) {
        const double span = zBottom - zTop;
        top = zTop;
        perMetre = span > 0.0 ? 255.0 / span : 0.0;
        for (int i = 0; i < 256; ++i) {
            const double f = i / 255.0;
            const auto mix = [f](std::uint8_t low, std::uint8_t high) {
                return static_cast<std::uint8_t>(std::lround(low + (high - low) * f));
            };
            ramp[i] = {mix(kLowShade.r, kHighShade.r), mix(kLowShade.g, kHighShade.g),
                       mix(kLowShade.b, kHighShade.b)};
        }
    }
    Rgb operator()(const pcl::PointXYZRGB& p) const {
        if (mapped) {
            return {p.r, p.g, p.b};
        }
        const double level = 255.0 - (p.z - top) * perMetre;
        return ramp[static_cast<int>(std::clamp(std::isfinite(level) ? level : 0.0, 0.0, 255.0))];
    }

private:
    bool mapped;
    double top = 0.0;
    double perMetre = 0.0;
    std::array<Rgb, 256> ramp;
};

/// Where the top view puts the scene: the rectangle A..D fitted into its panel.
Fit TopFit(const Scene& s) {
    double minX = s.base[0].x, maxX = minX, minY = s.base[0].y, maxY = minY;
    for (const P2& c : s.base) {
        minX = std::min(minX, c.x);
        maxX = std::max(maxX, c.x);
        minY = std::min(minY, c.y);
        maxY = std::max(maxY, c.y);
    }
    return Fit(kTopPanel, minX, maxX, minY, maxY);
}

void PutTopPoints(Pixels& pixels, const Cloud& cloud, const Scene& s, const Fit& fit,
                  const Shade& shade) {
    const PointCloudRGB& points = *cloud.getCloud();
    const double areaPixels =
        Length(s.base[1] - s.base[0]) * Length(s.base[2] - s.base[1]) * fit.scale * fit.scale;
    PointLayer layer(kTopPanel, BlockSize(areaPixels, points.size()));
    for (const pcl::PointXYZRGB& p : points.points) {
        layer.Put(pixels, fit(P2{p.x, p.y}), p.z, shade(p));
    }
}

void DrawTopOverlay(Painter& painter, const Cloud& cloud, const Scene& s, const Fit& fit) {
    painter.Clip(kTopPanel);
    std::vector<P2> corners;
    for (const P2& c : s.base) {
        corners.push_back(fit(c));
    }
    painter.Polygon(corners, kBox, kBoxLineWidth);
    const P2 middle = fit(s.centre);
    for (int i = 0; i < 4; ++i) {
        const P2 out = Unit(corners[i] - middle, {-1.0, -1.0});
        painter.Text(std::string(1, static_cast<char>('A' + i)), corners[i] + out * kLetterOffset,
                     18.0, true, kBox, Align::Centre);
    }
    // L along the longer side as drawn, W along the other, outside the box.
    const auto sideLabel = [&](int from, const std::string& text) {
        const P2 a = corners[from], b = corners[(from + 1) % 4];
        const P2 mid = (a + b) * 0.5;
        const P2 out = Unit(mid - middle, {0.0, 1.0});
        painter.Text(text, mid + out * kSideLabelOffset, 16.0, true, kBox, Align::Centre,
                     UprightAngle(b - a));
    };
    sideLabel(s.longSideAB ? 0 : 1, "L " + Millimetres(cloud.GetL()));
    sideLabel(s.longSideAB ? 1 : 0, "W " + Millimetres(cloud.GetW()));
    painter.Text("Top view, as the camera sees it", {kTopPanel.x + 12.0, kTopPanel.y + 24.0}, 15.0,
                 false, kViewInk, Align::Left);
    ScaleBar(painter, kTopPanel, fit.scale);
    painter.Unclip();
}

/// z of the floor plane under a point of the footprint; NaN without a usable plane.
double FloorZ(const CloudInfo& info, P2 at) {
    const double c = info.GetCoeffC();
    if (!(std::fabs(c) > 1e-6)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return -(info.GetCoeffA() * at.x + info.GetCoeffB() * at.y + info.GetCoeffD()) / c;
}

/// The side view: t along the longer side from the box's centre, z down.
struct SideView {
    double half = 0.0;  // half the longer side
    // The base line's z under the box's two ends.
    double groundLeft = 0.0, groundRight = 0.0;
    Fit fit;

    SideView(const Cloud& cloud, const Scene& s, Snapshot::Ground ground)
        : half(s.length / 2.0), groundLeft(s.zBottom), groundRight(s.zBottom),
          fit(Place(cloud, s, ground)) {}

    /// The base line's point at the picture's column px.
    P2 GroundAt(double px) const {
        const double slope = half > 0.0 ? (groundRight - groundLeft) / (2.0 * half) : 0.0;
        const double t = (px - fit.middle.x) / fit.scale + fit.centre.x;
        return fit({t, groundLeft + (t + half) * slope});
    }

private:
    // After a cut the goods stood on the pallet's top, the box's floor side;
    // else on the session's floor, taken under the box's two ends.
    Fit Place(const Cloud& cloud, const Scene& s, Snapshot::Ground ground) {
        if (ground == Snapshot::Ground::Floor) {
            const double left = FloorZ(cloud.GetCloudInfo(), s.centre - s.along * half);
            const double right = FloorZ(cloud.GetCloudInfo(), s.centre + s.along * half);
            if (std::fabs(left - s.zBottom) <= kFarthestFloor &&
                std::fabs(right - s.zBottom) <= kFarthestFloor) {
                groundLeft = left;
                groundRight = right;
            }
        }
        const double lowest = std::max({s.zBottom, groundLeft, groundRight});
        const double highest = std::min({s.zTop, groundLeft, groundRight});
        return Fit(kSidePanel, -half, half, highest, lowest);
    }
};

void PutSidePoints(Pixels& pixels, const Cloud& cloud, const Scene& s, const SideView& view,
                   const Shade& shade) {
    const PointCloudRGB& points = *cloud.getCloud();
    const double areaPixels = s.length * (s.zBottom - s.zTop) * view.fit.scale * view.fit.scale;
    PointLayer layer(kSidePanel, BlockSize(areaPixels, points.size()));
    for (const pcl::PointXYZRGB& p : points.points) {
        const P2 d = P2{p.x, p.y} - s.centre;
        // The viewer stands beyond the top view's lower edge: larger across is nearer.
        layer.Put(pixels, view.fit(P2{Dot(d, s.along), p.z}), static_cast<float>(-Dot(d, s.across)),
                  shade(p));
    }
}

void DrawSideOverlay(Painter& painter, const Cloud& cloud, const Scene& s, const SideView& view,
                     Snapshot::Ground ground) {
    const Fit& fit = view.fit;
    painter.Clip(kSidePanel);
    const P2 groundFrom = view.GroundAt(kSidePanel.x);
    const P2 groundTo = view.GroundAt(kSidePanel.x + kSidePanel.w);
    painter.Line(groundFrom, groundTo, kGround, 2.0, true);
    painter.Text(ground == Snapshot::Ground::PalletTop ? "pallet top" : "floor",
                 {kSidePanel.x + 12.0, groundFrom.y + 20.0}, 14.0, false, kGround, Align::Left);

    const P2 topRight = fit({view.half, s.zTop});
    const P2 bottomRight = fit({view.half, s.zBottom});
    painter.Polygon({fit({-view.half, s.zTop}), topRight, bottomRight, fit({-view.half, s.zBottom})},
                    kBox, kBoxLineWidth);

    // H beside the box's right edge, with arrow heads at both ends.
    const P2 arrowTop = topRight + P2{18.0, 0.0};
    const P2 arrowBottom = bottomRight + P2{18.0, 0.0};
    painter.Line(arrowTop, arrowBottom, kBox, 2.0);
    for (const double dir : {1.0, -1.0}) {
        const P2 tip = dir > 0.0 ? arrowTop : arrowBottom;
        painter.Line(tip, tip + P2{-5.0, 8.0 * dir}, kBox, 2.0);
        painter.Line(tip, tip + P2{5.0, 8.0 * dir}, kBox, 2.0);
    }
    painter.Text("H " + Millimetres(cloud.GetH()), (arrowTop + arrowBottom) * 0.5 + P2{16.0, 0.0},
                 16.0, true, kBox, Align::Centre, -M_PI / 2.0);
    painter.Text("Side view of the long side", {kSidePanel.x + 12.0, kSidePanel.y + 24.0}, 15.0,
                 false, kViewInk, Align::Left);
    ScaleBar(painter, kSidePanel, fit.scale);
    painter.Unclip();
}

std::string RunTimeText(std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
    return text;
}

void DrawHeader(Painter& painter, const Cloud& cloud, std::time_t runTime) {
    const CloudInfo info = cloud.GetCloudInfo();
    const Panel header{0, 0, Snapshot::kWidth, kHeaderHeight};
    painter.Fill(header, kPage);
    const double left = 16.0;
    const double right = Snapshot::kWidth - 16.0;
    painter.Text("AWB " + Drawable(info.GetAwb()), {left, 32.0}, 24.0, true, kInk, Align::Left,
                 0.0, kAwbWidth);
    painter.Text(RunTimeText(runTime), {right, 32.0}, 16.0, false, kInk, Align::Right);

    // A cluster has no row of its own: it is part of the row that was split.
    std::string row = "Row " + std::to_string(info.GetId() > 0 ? info.GetId() : info.GetParentId());
    if (info.GetId() <= 0) {
        row += " (split)";
    }
    painter.Text(row + "    Session " + Drawable(info.GetSid()) + "    n " + std::to_string(info.GetN()),
                 {left, 60.0}, 17.0, false, kInk, Align::Left);

    const auto mm = [](float metres) {
        return Format("%.0f", std::round(metres * kMillimetresPerMetre));
    };
    painter.Text("L \u00d7 W \u00d7 H  " + mm(cloud.GetL()) + " \u00d7 " + mm(cloud.GetW()) +
                     " \u00d7 " + mm(cloud.GetH()) + " mm",
                 {left, 90.0}, 20.0, true, kInk, Align::Left);
    painter.Text("Inbound " + Format("%.3f", cloud.GetVolInbound()) + " m\u00b3    Package " +
                     Format("%.3f", cloud.GetVolPackage()) + " m\u00b3",
                 {right, 90.0}, 17.0, false, kInk, Align::Right);
}

void Check(cairo_status_t status) {
    if (status != CAIRO_STATUS_SUCCESS) {
        throw std::runtime_error(cairo_status_to_string(status));
    }
}

}  // namespace

std::string SnapshotPainter::Paint(const Cloud& cloud, std::time_t runTime, Snapshot::Ground ground) {
    const Fonts& fonts = TheFonts();
    const std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, Snapshot::kWidth, Snapshot::kHeight), cairo_surface_destroy);
    Check(cairo_surface_status(surface.get()));
    const std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(surface.get()),
                                                                cairo_destroy);
    Check(cairo_status(cr.get()));
    Painter painter(cr.get(), fonts);

    painter.Fill({0, 0, Snapshot::kWidth, Snapshot::kHeight}, kPage);
    painter.Fill(kTopPanel, kViewBackground);
    painter.Fill(kSidePanel, kViewBackground);

    const Scene scene(cloud);
    const Shade shade(cloud.IsColorMapped(), scene.zTop, scene.zBottom);
    const Fit top = TopFit(scene);
    const SideView side(cloud, scene, ground);
    // The points go into the buffer between cairo's fills and its strokes.
    cairo_surface_flush(surface.get());
    Pixels pixels(surface.get());
    PutTopPoints(pixels, cloud, scene, top, shade);
    PutSidePoints(pixels, cloud, scene, side, shade);
    cairo_surface_mark_dirty(surface.get());

    DrawTopOverlay(painter, cloud, scene, top);
    DrawSideOverlay(painter, cloud, scene, side, ground);
    DrawHeader(painter, cloud, runTime);
    Check(cairo_status(cr.get()));

    // cairo's own PNG writer has no settings, and its default compression
    // took four fifths of a picture's time.
    cairo_surface_flush(surface.get());
    return PngEncoder::Encode(cairo_image_surface_get_data(surface.get()), Snapshot::kWidth, Snapshot::kHeight,
                              cairo_image_surface_get_stride(surface.get()));
}

extern "C" __attribute__((visibility("default"))) bool kelvo_snapshot_paint(
    const Cloud* cloud, std::time_t runTime, int ground, std::string* png, std::string* fault) noexcept {
    try {
        *png = SnapshotPainter::Paint(*cloud, runTime, static_cast<Snapshot::Ground>(ground));
        return true;
    } catch (const std::exception& e) {
        *fault = e.what();
    } catch (...) {
        *fault = "unexpected failure";
    }
    return false;
}
