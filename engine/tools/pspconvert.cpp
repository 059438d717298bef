// Developer tool: loads a PSP or BMP file through the engine's reader and saves it as a BMP, printing what
// the reader made of it. Usage: pspconvert input output.bmp [#RRGGBB transparent colour]
#include "cea_graphic.h"
#include "cea_sprite.h"
#include "mem_manager.h"

#include <stdio.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: pspconvert input output.bmp [#RRGGBB]\n");
        return 2;
    }
    COLORREF transparent = kNoColor;
    if (argc > 3) {
        transparent = ColorFromString(argv[3]);
        if (transparent == 0) {
            fprintf(stderr, "pspconvert: \"%s\" is not a colour\n", argv[3]);
            return 2;
        }
        transparent &= 0xFFFFFF;
    }
    Sprite* layers = MEMNEW(Sprite, (argv[1], transparent));
    Graphic* image = layers->GetFrameCount() > 0 ? layers->GetFrame(0) : nullptr;
    if (!image || !image->IsLoaded()) {
        fprintf(stderr, "pspconvert: cannot read %s\n", argv[1]);
        MEMDELETE(layers);
        return 1;
    }
    bool layered = layers->GetSource() && !layers->GetSource()->IsLoaded();
    int depth = image->GetDepth();
    printf("%s: %d x %d, %d bits per pixel\n", argv[1], image->GetWidth(), image->GetHeight(), depth);
    if (depth <= 8) {
        bool used[256] = {};
        int count = 0;
        for (int y = 0; y < image->GetHeight(); ++y)
            for (int x = 0; x < image->GetWidth(); ++x) {
                DWORD v = image->GetPixelValue(x, y) & 255;
                if (!used[v]) used[v] = true, ++count;
            }
        printf("palette: %d of %d entries used\n", count, 1 << depth);
    }
    COLORREF t = image->GetTransparency();
    if (t == kNoColor)
        printf("transparency: none\n");
    else
        printf("transparency: colour %06lX\n", static_cast<unsigned long>(t));
    int mode = 0;
    image->GetTranslucency(&mode, nullptr);
    if (mode == kTranslucencyMap) printf("translucency: per-pixel opacity map\n");
    if (image->HasSelection()) printf("selection: yes\n");
    printf("layers: %lu\n", layered ? static_cast<unsigned long>(layers->GetFrameCount()) : 1ul);
    HANDLE out = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    BOOL saved = out != INVALID_HANDLE_VALUE && image->Save(out);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    MEMDELETE(layers);
    if (!saved) {
        fprintf(stderr, "pspconvert: cannot write %s\n", argv[2]);
        DeleteFileA(argv[2]);
        return 1;
    }
    printf("wrote %s\n", argv[2]);
    return 0;
}
