// The picture's fonts and text, and the drawing context that writes text and lines with them.
#pragma once

#include <string>
#include <vector>

#include "cloud/snapshot/SnapshotLayout.h"

// cairo's types are only named here; the files that call cairo include it.
typedef struct _cairo cairo_t;
typedef struct _cairo_font_face cairo_font_face_t;

namespace snapshot {

/// The two DejaVu faces, loaded once per process and kept to its end.
struct Fonts {
    cairo_font_face_t* regular = nullptr;
    cairo_font_face_t* bold = nullptr;
    std::string fault;
};

/// The faces, loaded at the first call; throws std::runtime_error when a font
/// file cannot be read or used.
const Fonts& TheFonts();

enum class Align { Left, Centre, Right };

/// The drawing context with the fonts; text and lines in one colour each call.
class Painter {
public:
    Painter(cairo_t* cr, const Fonts& fonts) : cr(cr), fonts(fonts) {}

    void Colour(Rgb c);
    void Fill(const Panel& p, Rgb c);

    /// One line of text; at is its baseline (Left/Right) or its centre (Centre),
    /// turned by angle radians about that point.
    /// A text wider than maxWidth pixels is drawn smaller to fit.
    void Text(const std::string& text, P2 at, double size, bool bold, Rgb c, Align align,
              double angle = 0.0, double maxWidth = 0.0);

    void Polygon(const std::vector<P2>& corners, Rgb c, double width);
    void Line(P2 a, P2 b, Rgb c, double width, bool dashed = false);

    /// Keeps what follows inside the panel.
    void Clip(const Panel& p);
    void Unclip();

private:
    cairo_t* cr;
    const Fonts& fonts;
};

/// A text from the database as one line the font can draw: control
/// characters and bytes that are no UTF-8 become U+FFFD (cairo refuses
/// invalid UTF-8, and the picture would fail for one odd byte of an AWB).
std::string Drawable(const std::string& text);

/// A number printed by a printf pattern that takes one double.
std::string Format(const char* pattern, double value);

/// A length in metres as whole millimetres.
std::string Millimetres(double metres);

/// Angle of a direction on the picture, turned so that text along it reads upright.
double UprightAngle(P2 direction);

}  // namespace snapshot
