#include "canvas.h"

#include <algorithm>
#include <cmath>

Color Shade(Color c, float amount) {
    return amount >= 0 ? Mix(c, Color{255, 255, 255}, amount) : Mix(c, Color{0, 0, 0}, -amount);
}

float SdfCircle(float x, float y, float cx, float cy, float radius) {
    return std::hypot(x - cx, y - cy) - radius;
}

float SdfRoundBox(float x, float y, float cx, float cy, float halfWidth, float halfHeight, float radius) {
    const float qx = std::fabs(x - cx) - halfWidth + radius;
    const float qy = std::fabs(y - cy) - halfHeight + radius;
    const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

float SdfPolygon(float x, float y, const std::vector<float>& points) {
    const size_t n = points.size() / 2;
    float best = 1e30f;
    bool inside = false;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        const float ax = points[2 * j], ay = points[2 * j + 1], bx = points[2 * i], by = points[2 * i + 1];
        const float ex = bx - ax, ey = by - ay, wx = x - ax, wy = y - ay;
        const float t = std::clamp((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0f, 1.0f);
        best = std::min(best, std::hypot(wx - ex * t, wy - ey * t));
        if ((ay > y) != (by > y) && x < ax + (y - ay) * ex / ey) inside = !inside;
    }
    return inside ? -best : best;
}

float SdfSegment(float x, float y, float ax, float ay, float bx, float by, float halfThickness) {
    const float ex = bx - ax, ey = by - ay, wx = x - ax, wy = y - ay;
    const float len2 = ex * ex + ey * ey;
    const float t = len2 > 0 ? std::clamp((wx * ex + wy * ey) / len2, 0.0f, 1.0f) : 0.0f;
    return std::hypot(wx - ex * t, wy - ey * t) - halfThickness;
}

Mask Dilate(const Mask& mask, float radius) {
    const int r = static_cast<int>(std::ceil(radius));
    Mask out;
    out.width = mask.width + 2 * r;
    out.height = mask.height + 2 * r;
    out.value.assign(static_cast<size_t>(out.width) * out.height, 0.0f);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            float best = 0;
            for (int dy = -r; dy <= r; ++dy)
                for (int dx = -r; dx <= r; ++dx) {
                    const float weight =
                        std::clamp(radius + 0.5f - std::hypot(float(dx), float(dy)), 0.0f, 1.0f);
                    if (weight > 0) best = std::max(best, weight * mask.At(x - r + dx, y - r + dy));
                }
            out.value[static_cast<size_t>(y) * out.width + x] = best;
        }
    return out;
}

Canvas::Canvas(int width, int height, Color fill, float alpha)
    : width_(width), height_(height), rgb_(static_cast<size_t>(width) * height, fill),
      alpha_(static_cast<size_t>(width) * height, alpha) {}

void Canvas::Set(int x, int y, Color c, float alpha) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    rgb_[Index(x, y)] = c;
    alpha_[Index(x, y)] = alpha;
}

void Canvas::Blend(int x, int y, Color c, float coverage) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || coverage <= 0) return;
    coverage = std::min(coverage, 1.0f);
    const size_t i = Index(x, y);
    const float below = alpha_[i] * (1 - coverage);
    const float out = coverage + below;
    rgb_[i] = out > 0 ? Color{(c.r * coverage + rgb_[i].r * below) / out,
                              (c.g * coverage + rgb_[i].g * below) / out,
                              (c.b * coverage + rgb_[i].b * below) / out}
                      : c;
    alpha_[i] = out;
}

void Canvas::Fill(const Sdf& shape, const Paint& paint, float opacity) {
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            const float px = x + 0.5f, py = y + 0.5f;
            const float coverage = std::clamp(0.5f - shape(px, py), 0.0f, 1.0f);
            if (coverage > 0) Blend(x, y, paint(px, py), coverage * opacity);
        }
}

void Canvas::Fill(const Sdf& shape, Color c, float opacity) {
    Fill(
        shape, [c](float, float) { return c; }, opacity);
}

void Canvas::FillRect(int x, int y, int width, int height, Color c) {
    for (int yy = y; yy < y + height; ++yy)
        for (int xx = x; xx < x + width; ++xx) Set(xx, yy, c);
}

void Canvas::Stamp(const Mask& mask, int x, int y, const Paint& paint, float opacity) {
    for (int my = 0; my < mask.height; ++my)
        for (int mx = 0; mx < mask.width; ++mx) {
            const float v = mask.At(mx, my);
            if (v > 0) Blend(x + mx, y + my, paint(x + mx + 0.5f, y + my + 0.5f), v * opacity);
        }
}

void Canvas::Stamp(const Mask& mask, int x, int y, Color c, float opacity) {
    Stamp(
        mask, x, y, [c](float, float) { return c; }, opacity);
}

void Canvas::Draw(const Canvas& source, int x, int y) {
    for (int sy = 0; sy < source.height_; ++sy)
        for (int sx = 0; sx < source.width_; ++sx)
            Blend(x + sx, y + sy, source.At(sx, sy), source.AlphaAt(sx, sy));
}

void Canvas::Put(const Canvas& source, int x, int y) {
    for (int sy = 0; sy < source.height_; ++sy)
        for (int sx = 0; sx < source.width_; ++sx)
            Set(x + sx, y + sy, source.At(sx, sy), source.AlphaAt(sx, sy));
}
