#include "text.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include <ft2build.h>
#include FT_FREETYPE_H

struct TextRenderer::Library {
    FT_Library library = nullptr;
    std::vector<FT_Face> faces;
};

std::u32string DecodeUtf8(const std::string& text) {
    std::u32string out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        int extra = lead < 0x80         ? 0
                    : (lead >> 5) == 6  ? 1
                    : (lead >> 4) == 14 ? 2
                    : (lead >> 3) == 30 ? 3
                                        : -1;
        if (extra < 0 || i + extra >= text.size() + (extra == 0 ? 1 : 0))
            throw std::runtime_error("malformed UTF-8 in \"" + text + "\"");
        char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) throw std::runtime_error("malformed UTF-8 in \"" + text + "\"");
            code = (code << 6) | (next & 0x3F);
        }
        out.push_back(code);
        i += extra + 1;
    }
    return out;
}

TextRenderer::TextRenderer() : library_(new Library) {
    if (FT_Init_FreeType(&library_->library)) throw std::runtime_error("FreeType cannot start");
}

TextRenderer::~TextRenderer() {
    for (FT_Face face : library_->faces) FT_Done_Face(face);
    FT_Done_FreeType(library_->library);
}

int TextRenderer::LoadFont(const std::string& path) {
    FT_Face face = nullptr;
    if (FT_New_Face(library_->library, path.c_str(), 0, &face))
        throw std::runtime_error("cannot load the font " + path);
    library_->faces.push_back(face);
    return static_cast<int>(library_->faces.size()) - 1;
}

Mask TextRenderer::Render(int font, const std::string& utf8, int pixelSize, int* baseline,
                          float letterSpacing) const {
    if (font < 0 || font >= static_cast<int>(library_->faces.size()))
        throw std::runtime_error("no such font");
    FT_Face face = library_->faces[font];
    FT_Set_Pixel_Sizes(face, 0, pixelSize);
    const int ascent = static_cast<int>(std::ceil(face->size->metrics.ascender / 64.0));
    const int descent = static_cast<int>(std::ceil(-face->size->metrics.descender / 64.0));
    const std::u32string text = DecodeUtf8(utf8);

    struct Placed {
        int x, y, width, height;
        std::vector<float> pixels;
    };
    std::vector<Placed> glyphs;
    float pen = 0;
    FT_UInt previous = 0;
    int left = 1 << 30, right = -(1 << 30);
    for (char32_t code : text) {
        const FT_UInt index = FT_Get_Char_Index(face, code);
        if (index == 0 && code != U' ')
            throw std::runtime_error("the font has no glyph for U+" +
                                     std::to_string(static_cast<unsigned>(code)));
        if (previous && FT_HAS_KERNING(face)) {
            FT_Vector kern;
            FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &kern);
            pen += kern.x / 64.0f;
        }
        if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) ||
            FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL))
            throw std::runtime_error("FreeType cannot render a glyph");
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        Placed placed{static_cast<int>(std::lround(pen)) + face->glyph->bitmap_left,
                      ascent - face->glyph->bitmap_top,
                      static_cast<int>(bitmap.width),
                      static_cast<int>(bitmap.rows),
                      {}};
        for (int y = 0; y < placed.height; ++y)
            for (int x = 0; x < placed.width; ++x)
                placed.pixels.push_back(bitmap.buffer[y * bitmap.pitch + x] / 255.0f);
        if (placed.width > 0) {
            left = std::min(left, placed.x);
            right = std::max(right, placed.x + placed.width);
        }
        glyphs.push_back(std::move(placed));
        pen += face->glyph->advance.x / 64.0f + letterSpacing;
        previous = index;
    }
    Mask mask;
    if (right <= left) return mask;
    mask.width = right - left;
    mask.height = ascent + descent;
    mask.value.assign(static_cast<size_t>(mask.width) * mask.height, 0.0f);
    for (const Placed& g : glyphs)
        for (int y = 0; y < g.height; ++y)
            for (int x = 0; x < g.width; ++x) {
                const int mx = g.x - left + x, my = g.y + y;
                if (my < 0 || my >= mask.height) continue;
                float& v = mask.value[static_cast<size_t>(my) * mask.width + mx];
                v = std::min(1.0f, v + g.pixels[y * g.width + x]);
            }
    if (baseline) *baseline = ascent;
    return mask;
}
