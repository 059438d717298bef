// Renders UTF-8 text into coverage masks with FreeType, so labels in every language (Esperanto's
// accented letters included) are real typeset glyphs drawn into the generated pictures.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "canvas.h"

std::u32string DecodeUtf8(const std::string& text); // throws std::runtime_error on malformed input

class TextRenderer {
public:
    TextRenderer();
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    // Loads a font file and returns its handle for Render; throws std::runtime_error when it cannot.
    int LoadFont(const std::string& path);

    // The text as one line at `pixelSize` (em height), tightly cropped horizontally; the mask is as high
    // as the font's ascent plus descent, and `baseline` receives the baseline's row. Fails (throws) when
    // the font has no glyph for a character, so a missing accent can never slip through as a box.
    Mask Render(int font, const std::string& utf8, int pixelSize, int* baseline = nullptr,
                float letterSpacing = 0) const;

private:
    struct Library;
    std::unique_ptr<Library> library_;
};
