// A floating-point RGBA drawing surface for the asset generators: anti-aliased shapes given by signed
// distance functions, gradients, blits and text masks, so every picture is drawn from code, not pixels.
#pragma once

#include <functional>
#include <vector>

struct Color {
    float r = 0, g = 0, b = 0; // 0 to 255
};

inline Color Mix(Color a, Color b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
inline Color Scale(Color c, float f) { return {c.r * f, c.g * f, c.b * f}; }
// Moves a colour towards white (amount > 0) or black (amount < 0).
Color Shade(Color c, float amount);

// A distance function: negative inside the shape, positive outside, in pixels.
using Sdf = std::function<float(float x, float y)>;
// Colour of a shape at a point (for gradients and patterns).
using Paint = std::function<Color(float x, float y)>;

float SdfCircle(float x, float y, float cx, float cy, float radius);
float SdfRoundBox(float x, float y, float cx, float cy, float halfWidth, float halfHeight, float radius);
// Convex or concave polygon, points in order.
float SdfPolygon(float x, float y, const std::vector<float>& points);
float SdfSegment(float x, float y, float ax, float ay, float bx, float by, float halfThickness);

// Coverage-weighted alpha mask with a size, used for text and for shape stamps.
struct Mask {
    int width = 0, height = 0;
    std::vector<float> value; // 0 to 1
    float At(int x, int y) const {
        return x < 0 || y < 0 || x >= width || y >= height ? 0.0f : value[y * width + x];
    }
};

// Grows a mask by `radius` pixels (round pen), for outlines.
Mask Dilate(const Mask& mask, float radius);

class Canvas {
public:
    Canvas() = default;
    Canvas(int width, int height, Color fill, float alpha = 1.0f);

    int Width() const { return width_; }
    int Height() const { return height_; }
    Color At(int x, int y) const { return rgb_[Index(x, y)]; }
    float AlphaAt(int x, int y) const { return alpha_[Index(x, y)]; }
    void Set(int x, int y, Color c, float alpha = 1.0f);

    // Composites `c` over the pixel with the given coverage (source-over).
    void Blend(int x, int y, Color c, float coverage);
    // Fills the shape inside the rectangle [x0,x1) x [y0,y1) (the whole canvas by default).
    void Fill(const Sdf& shape, const Paint& paint, float opacity = 1.0f);
    void Fill(const Sdf& shape, Color c, float opacity = 1.0f);
    void FillRect(int x, int y, int width, int height, Color c);
    // Draws the mask at (x, y) in one colour or with a paint (in canvas coordinates).
    void Stamp(const Mask& mask, int x, int y, const Paint& paint, float opacity = 1.0f);
    void Stamp(const Mask& mask, int x, int y, Color c, float opacity = 1.0f);
    // Copies `source` with its alpha composited at (x, y).
    void Draw(const Canvas& source, int x, int y);
    // Copies pixels and alpha unchanged (for assembling tiles into a picture).
    void Put(const Canvas& source, int x, int y);

private:
    size_t Index(int x, int y) const { return static_cast<size_t>(y) * width_ + x; }
    int width_ = 0, height_ = 0;
    std::vector<Color> rgb_;
    std::vector<float> alpha_;
};
