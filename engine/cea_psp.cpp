// PSP reader: blocks, general attributes, palette, layers with their channels and masks, selection.
#include "cea_psp.h"

#include "cea_graphic.h"
#include "cea_sprite.h"
#include "mem_manager.h"

#include <string.h>
#include <zlib.h>

namespace {

const DWORD kFileHeaderSize = 36;
const DWORD kBlockSignature = 0x004B427E; // "~BK" and a zero byte
const DWORD kLayerBitmapChunkSize = 8;
const LONG kMaxDimension = 32767;

enum BlockId { kGeneral = 0, kPalette = 2, kLayerStart = 3, kLayer = 4, kChannel = 5, kSelection = 6 };
enum BitmapType { kImage = 0, kTransparencyMask = 1, kUserMask = 2, kSelectionBitmap = 3 };
enum ChannelType { kComposite = 0, kRed = 1, kGreen = 2, kBlue = 3 };

// Bounded reader: a read that would pass the end yields 0 and does not move.
struct Cursor {
    const BYTE* data;
    DWORD size;
    DWORD pos;

    bool Has(DWORD n) const { return pos <= size && n <= size - pos; }
    DWORD Read(DWORD n) {
        if (!Has(n)) return 0;
        DWORD value = 0;
        for (DWORD i = 0; i < n; ++i) value |= static_cast<DWORD>(data[pos + i]) << (8 * i);
        pos += n;
        return value;
    }
    DWORD U8() { return Read(1); }
    DWORD U16() { return Read(2); }
    DWORD U32() { return Read(4); }
    bool Skip(DWORD n) {
        if (!Has(n)) return false;
        pos += n;
        return true;
    }
    // Moves to the end of a chunk of `length` bytes at `start`; false (not moved) when that lies beyond
    // the data, however large the length.
    bool MoveToEnd(DWORD start, DWORD length) {
        if (start > size || length > size - start) return false;
        pos = start + length;
        return true;
    }
};

struct BlockHeader {
    DWORD id;
    DWORD start; // first byte after the header
    DWORD end;   // bounded by the data
};

bool ReadBlockHeader(Cursor& c, DWORD limit, BlockHeader& block) {
    if (!c.Has(10) || c.pos + 10 > limit) return false;
    if (c.U32() != kBlockSignature) {
        c.pos -= 4;
        return false;
    }
    block.id = c.U16();
    DWORD length = c.U32();
    block.start = c.pos;
    block.end = length <= limit - c.pos ? c.pos + length : limit;
    return true;
}

struct Rect32 {
    LONG left, top, right, bottom;
};

Rect32 ReadRect(Cursor& c) {
    Rect32 r;
    r.left = static_cast<LONG>(c.U32());
    r.top = static_cast<LONG>(c.U32());
    r.right = static_cast<LONG>(c.U32());
    r.bottom = static_cast<LONG>(c.U32());
    return r;
}

struct General {
    DWORD width, height, compression, depth, layerCount;
};

struct LoadState {
    General general;
    RGBQUAD palette[256];
    bool hasPalette;
    bool maskSeen;
    bool red, green, blue;
};

struct Channel {
    DWORD bitmapType;
    DWORD channelType;
    const BYTE* data;
    DWORD compressedLength;
    DWORD uncompressedLength;
};

// Reads one channel block at the cursor; the cursor ends at the block's end.
bool ReadChannel(Cursor& c, DWORD limit, Channel& channel) {
    BlockHeader block;
    if (!ReadBlockHeader(c, limit, block)) return false;
    if (block.id != kChannel) {
        c.pos = block.end;
        channel.bitmapType = 0xFFFF;
        return true;
    }
    Cursor inner = {c.data, block.end, block.start};
    DWORD chunkStart = inner.pos;
    DWORD chunkSize = inner.U32();
    channel.compressedLength = inner.U32();
    channel.uncompressedLength = inner.U32();
    channel.bitmapType = inner.U16();
    channel.channelType = inner.U16();
    c.pos = block.end;
    if (chunkSize < 16 || !inner.MoveToEnd(chunkStart, chunkSize) || !inner.Has(channel.compressedLength)) {
        channel.bitmapType = 0xFFFF; // unreadable: skipped
        return true;
    }
    channel.data = c.data + inner.pos;
    return true;
}

void ApplyImageChannel(Graphic* target, const Rect32& rect, const BYTE* bytes, DWORD length,
                       DWORD channelType, LoadState& state) {
    static const int shifts[4] = {0, 16, 8, 0};
    // The channel's rows are as wide as its rectangle, which may reach far
    // outside the picture; only the part inside the picture is walked.
    LONG rectWidth = rect.right - rect.left;
    LONG top = rect.top > 0 ? rect.top : 0, left = rect.left > 0 ? rect.left : 0;
    LONG bottom = rect.bottom < target->GetHeight() ? rect.bottom : target->GetHeight();
    LONG right = rect.right < target->GetWidth() ? rect.right : target->GetWidth();
    // An 8-bit picture's composite channel is its rows of palette indices as they are: whole spans are
    // copied, which is what the pixel-by-pixel walk below writes, only without a call per pixel.
    BYTE* bits = target->IsChild() ? nullptr : target->GetBits();
    bool copyRows = channelType == kComposite && target->GetDepth() == 8 && bits != nullptr;
    DWORD pitch = target->GetPitch();
    for (LONG y = top; y < bottom; ++y) {
        ULONGLONG rowStart = static_cast<ULONGLONG>(y - rect.top) * static_cast<ULONGLONG>(rectWidth);
        if (rowStart >= length) break;
        if (copyRows) {
            ULONGLONG first = rowStart + static_cast<ULONGLONG>(left - rect.left);
            if (first >= length || right <= left) continue;
            ULONGLONG count = static_cast<ULONGLONG>(right - left);
            if (count > length - first) count = length - first;
            memcpy(bits + static_cast<DWORD>(y) * pitch + left, bytes + first, static_cast<size_t>(count));
            continue;
        }
        for (LONG x = left; x < right; ++x) {
            ULONGLONG i = rowStart + static_cast<ULONGLONG>(x - rect.left);
            if (i >= length) break;
            if (channelType == kComposite) {
                target->SetPixelValue(x, y, bytes[i]);
            } else {
                DWORD value = target->GetPixelValue(x, y);
                int shift = shifts[channelType];
                target->SetPixelValue(x, y,
                                      (value & ~(0xFFu << shift)) | static_cast<DWORD>(bytes[i]) << shift);
            }
        }
    }
    if (channelType == kComposite || channelType == kRed) state.red = true;
    if (channelType == kComposite || channelType == kGreen) state.green = true;
    if (channelType == kComposite || channelType == kBlue) state.blue = true;
}

BYTE MaskAt(const Rect32& rect, const BYTE* bytes, DWORD length, LONG x, LONG y) {
    if (x < rect.left || x >= rect.right || y < rect.top || y >= rect.bottom) return 0;
    DWORD index = static_cast<DWORD>(y - rect.top) * static_cast<DWORD>(rect.right - rect.left) +
                  static_cast<DWORD>(x - rect.left);
    return index < length ? bytes[index] : 0;
}

void ApplyMaskChannel(Graphic* target, const Rect32& rect, const BYTE* bytes, DWORD length, bool& graded) {
    bool belowFull = false, between = false;
    for (DWORD i = 0; i < length; ++i) {
        if (bytes[i] < 255) belowFull = true;
        if (bytes[i] > 0 && bytes[i] < 255) between = true;
    }
    int width = target->GetWidth(), height = target->GetHeight();
    if (between) {
        BYTE* map = target->SetTranslucency(kTranslucencyMap, 128) ? target->GetOpacityMap() : nullptr;
        if (!map) return;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                BYTE m = MaskAt(rect, bytes, length, x, y);
                BYTE& cell = map[y * width + x];
                cell = graded ? static_cast<BYTE>(cell * m / 255) : m;
            }
        }
        graded = true;
        if (target->GetTransparency() == kMaskColor) {
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    if (target->GetPixelColor(x, y) == kMaskColor) map[y * width + x] = 0;
        }
    } else if (belowFull) {
        BYTE* map = target->GetOpacityMap();
        // One palette look-up for the whole mask, not one per transparent pixel.
        DWORD maskValue = target->ColorToValue(kMaskColor);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (MaskAt(rect, bytes, length, x, y) != 0) continue;
                target->SetPixelValue(x, y, maskValue);
                if (map) map[y * width + x] = 0;
            }
        }
        target->SetTransparency(kMaskColor);
    }
}

// Reads one layer block into `target`.
void ReadLayer(Cursor& c, const BlockHeader& layerBlock, Graphic* target, LoadState& state, bool& ended) {
    Cursor inner = {c.data, layerBlock.end, layerBlock.start};
    DWORD chunkStart = inner.pos;
    DWORD chunkSize = inner.U32();
    inner.Skip(inner.U16()); // name
    inner.U8();              // layer type
    Rect32 image = ReadRect(inner);
    Rect32 saved = ReadRect(inner);
    inner.Skip(5); // opacity, blend mode, visible, protected, link group
    Rect32 mask = ReadRect(inner);
    if (!inner.MoveToEnd(chunkStart, chunkSize) || chunkSize == 0) {
        ended = true;
        return;
    }
    if (inner.U32() != kLayerBitmapChunkSize) {
        ended = true;
        return;
    }
    inner.U16(); // bitmap count
    DWORD channels = inner.U16();
    bool graded = false;
    int targetHeight = target->GetHeight();
    for (DWORD k = 0; k < channels; ++k) {
        Channel channel;
        if (!ReadChannel(inner, layerBlock.end, channel)) break;
        if (channel.bitmapType > kUserMask || (channel.bitmapType == kImage && channel.channelType > kBlue))
            continue;
        Rect32 rect = channel.bitmapType == kUserMask && mask.right != 0 ? mask : saved;
        rect.left += image.left;
        rect.right += image.left;
        rect.top += image.top;
        rect.bottom += image.top;
        if (rect.right <= rect.left || rect.bottom <= rect.top || rect.right - rect.left > kMaxDimension ||
            rect.bottom - rect.top > kMaxDimension)
            continue;
        DWORD width = static_cast<DWORD>(rect.right - rect.left);
        DWORD limit = ((width + 3) / 4 * 4) * static_cast<DWORD>(targetHeight);
        DWORD expected = channel.uncompressedLength < limit ? channel.uncompressedLength : limit;
        // An unpacked channel is read where it lies, up to the length unpacking would have copied.
        BYTE* unpacked = nullptr;
        const BYTE* bytes = channel.data;
        if (state.general.compression == kPspNone) {
            if (channel.compressedLength < expected) expected = channel.compressedLength;
        } else {
            unpacked =
                PspDecompress(channel.data, channel.compressedLength, &expected, state.general.compression);
            if (!unpacked) continue;
            bytes = unpacked;
        }
        if (channel.bitmapType == kImage) {
            ApplyImageChannel(target, rect, bytes, expected, channel.channelType, state);
        } else {
            state.maskSeen = true;
            ApplyMaskChannel(target, rect, bytes, expected, graded);
        }
        if (unpacked) MEMFREE(unpacked);
    }
    c.pos = layerBlock.end;
}

// Layer start block: the first layer into the graphic, or every layer into a sprite frame.
bool ReadLayers(Cursor& c, const BlockHeader& block, Graphic* graphic, Sprite* sprite, LoadState& state) {
    Cursor inner = {c.data, block.end, block.start};
    const General& g = state.general;
    bool intoSprite = sprite && g.layerCount > 1;
    for (DWORD i = 0; i < g.layerCount; ++i) {
        if (!intoSprite && i > 0) break;
        Graphic* target = graphic;
        if (intoSprite) {
            target = MEMNEW(Graphic, ());
            if (!target->Create(g.width, g.height, g.depth, state.hasPalette ? state.palette : nullptr)) {
                MEMDELETE(target);
                return false;
            }
            if (!sprite->AppendFrame(target)) return false;
        } else if (!graphic->Create(g.width, g.height, g.depth, state.hasPalette ? state.palette : nullptr)) {
            return false;
        }
        BlockHeader layer;
        if (!ReadBlockHeader(inner, block.end, layer) || layer.id != kLayer) break;
        bool ended = false;
        ReadLayer(inner, layer, target, state, ended);
        if (ended) break;
    }
    return true;
}

void ReadSelection(Cursor& c, const BlockHeader& block, Graphic* graphic, const LoadState& state) {
    Cursor inner = {c.data, block.end, block.start};
    DWORD chunkStart = inner.pos;
    DWORD chunkSize = inner.U32();
    ReadRect(inner);
    Rect32 saved = ReadRect(inner);
    if (chunkSize == 0 || !inner.MoveToEnd(chunkStart, chunkSize)) return;
    if (inner.U32() != kLayerBitmapChunkSize || inner.U16() != 1 || inner.U16() != 1) return;
    Channel channel;
    if (!ReadChannel(inner, block.end, channel) || channel.bitmapType != kSelectionBitmap) return;
    const General& g = state.general;
    if (saved.left < 0 || saved.top < 0 || saved.right <= saved.left || saved.bottom <= saved.top ||
        saved.right > static_cast<LONG>(g.width) || saved.bottom > static_cast<LONG>(g.height))
        return;
    DWORD width = saved.right - saved.left;
    DWORD expected = channel.uncompressedLength;
    DWORD limit = width * (saved.bottom - saved.top);
    if (expected > limit) expected = limit;
    BYTE* bytes = PspDecompress(channel.data, channel.compressedLength, &expected, g.compression);
    if (!bytes) return;
    DWORD cbSelection = g.width * g.height;
    BYTE* selection = static_cast<BYTE*>(MEMALLOC(cbSelection));
    if (selection) {
        memset(selection, 0, cbSelection);
        DWORD i = 0;
        for (LONG y = saved.top; y < saved.bottom; ++y)
            for (LONG x = saved.left; x < saved.right; ++x, ++i)
                if (i < expected) selection[y * g.width + x] = bytes[i];
        graphic->AdoptSelection(selection, cbSelection);
    }
    MEMFREE(bytes);
}

} // namespace

BYTE* PspDecompress(const BYTE* data, DWORD length, DWORD* expected, int compression) {
    DWORD cbNorm = *expected;
    *expected = 0;
    if (compression < kPspNone || compression > kPspDeflate || (!data && length)) return nullptr;
    DWORD* pcbNorm = &cbNorm;
    BYTE* out = static_cast<BYTE*>(MEMALLOC(*pcbNorm ? *pcbNorm : 1));
    if (!out) return nullptr;
    memset(out, 0, cbNorm ? cbNorm : 1);
    bool ok = true;
    DWORD produced = cbNorm;
    if (compression == kPspNone) {
        produced = length < cbNorm ? length : cbNorm;
        memcpy(out, data, produced);
    } else if (compression == kPspRunLength) {
        DWORD in = 0, o = 0;
        while (in < length && o < cbNorm) {
            DWORD count = data[in++];
            if (count > 128) {
                if (in >= length) break;
                BYTE value = data[in++];
                for (DWORD k = 0; k < count - 128 && o < cbNorm; ++k) out[o++] = value;
            } else {
                for (DWORD k = 0; k < count && in < length && o < cbNorm; ++k) out[o++] = data[in++];
            }
        }
    } else {
        z_stream stream;
        memset(&stream, 0, sizeof stream);
        stream.next_in = const_cast<Bytef*>(data);
        stream.avail_in = length;
        stream.next_out = out;
        stream.avail_out = cbNorm;
        ok = inflateInit(&stream) == Z_OK;
        if (ok) {
            ok = inflate(&stream, Z_FINISH) == Z_STREAM_END;
            DWORD got = cbNorm - stream.avail_out;
            // A short channel repeats its last byte to the expected length.
            if (ok && got > 0 && got < cbNorm) memset(out + got, out[got - 1], cbNorm - got);
            inflateEnd(&stream);
        }
    }
    if (!ok) {
        MEMFREE(out);
        return nullptr;
    }
    *expected = produced;
    return out;
}

BOOL ReadPsp(Graphic* graphic, Sprite* sprite, const BYTE* data, DWORD size, COLORREF transparent) {
    if (!graphic || !data || size < kFileHeaderSize) return FALSE;
    Cursor c = {data, size, kFileHeaderSize};
    LoadState state;
    memset(&state, 0, sizeof state);
    BlockHeader block;
    if (!ReadBlockHeader(c, size, block) || block.id != kGeneral) return FALSE;
    Cursor inner = {data, block.end, block.start};
    DWORD chunkSize = inner.U32();
    General& g = state.general;
    g.width = inner.U32();
    g.height = inner.U32();
    inner.Skip(8); // resolution
    inner.U8();    // resolution unit
    g.compression = inner.U16();
    g.depth = inner.U16();
    inner.U16(); // planes
    inner.U32(); // colours
    inner.U8();  // greyscale
    inner.U32(); // total image size
    inner.U32(); // active layer
    g.layerCount = inner.U16();
    if (chunkSize == 0 || !inner.Has(4)) return FALSE;
    if (g.width == 0 || g.height == 0 || g.width > kMaxDimension || g.height > kMaxDimension) return FALSE;
    DWORD sprites = sprite ? sprite->GetFrameCount() : 0;
    c.pos = block.end;
    while (ReadBlockHeader(c, size, block)) {
        switch (block.id) {
        case kPalette: {
            Cursor p = {data, block.end, block.start};
            DWORD start = p.pos;
            DWORD paletteChunk = p.U32();
            DWORD count = p.U32();
            if (paletteChunk >= 8 && p.MoveToEnd(start, paletteChunk)) {
                memset(state.palette, 0, sizeof state.palette);
                for (DWORD i = 0; i < count && i < 256 && p.Has(4); ++i) {
                    memcpy(&state.palette[i], data + p.pos, 4);
                    p.pos += 4;
                }
                state.palette[255].rgbBlue = state.palette[255].rgbGreen = state.palette[255].rgbRed = 255;
                state.hasPalette = true;
            }
            break;
        }
        case kLayerStart:
            if (!ReadLayers(c, block, graphic, sprite, state)) return FALSE;
            break;
        case kSelection:
            ReadSelection(c, block, graphic, state);
            break;
        default:
            break;
        }
        c.pos = block.end;
    }
    if (!state.maskSeen) {
        bool framesMade = sprite && sprite->GetFrameCount() > sprites;
        if (framesMade) {
            for (DWORD i = sprites; i < sprite->GetFrameCount(); ++i)
                sprite->GetFrame(i)->SetTransparency(transparent);
        } else {
            graphic->SetTransparency(transparent);
        }
    }
    return state.red && state.green && state.blue;
}
