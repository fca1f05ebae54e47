// The picture's fonts and text, and the drawing context that writes text and lines with them.
#include "cloud/snapshot/SnapshotText.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "cloud/Units.h"

namespace snapshot {

namespace {

// fonts-dejavu-core; a fixed file rather than a font lookup, so that every
// machine draws the same picture and no font configuration is scanned.
const char* const kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kBoldFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

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

}  // namespace

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

void Painter::Colour(Rgb c) { cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0); }

void Painter::Fill(const Panel& p, Rgb c) {
    Colour(c);
    cairo_rectangle(cr, p.x, p.y, p.w, p.h);
    cairo_fill(cr);
}

void Painter::Text(const std::string& text, P2 at, double size, bool bold, Rgb c, Align align,
                   double angle, double maxWidth) {
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

void Painter::Polygon(const std::vector<P2>& corners, Rgb c, double width) {
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

void Painter::Line(P2 a, P2 b, Rgb c, double width, bool dashed) {
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

void Painter::Clip(const Panel& p) {
    cairo_save(cr);
    cairo_rectangle(cr, p.x, p.y, p.w, p.h);
    cairo_clip(cr);
}

void Painter::Unclip() { cairo_restore(cr); }

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

std::string Millimetres(double metres) {
    return Format("%.0f mm", std::round(metres * kMillimetresPerMetre));
}

double UprightAngle(P2 direction) {
    double angle = std::atan2(direction.y, direction.x);
    if (angle > M_PI / 2.0) {
        angle -= M_PI;
    } else if (angle <= -M_PI / 2.0) {
        angle += M_PI;
    }
    return angle;
}

}  // namespace snapshot
