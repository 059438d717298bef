// The reference decoder: bits one at a time, every code looked up by trying each length in turn.
#include "reference_inflate.h"

#include "cetl_exception.h"
#include "deflate.h"

#include <string.h>

#include <vector>

namespace {

const DWORD kCapacity = 0x20000;

struct Slot {
    DWORD used;
    DWORD length;
    DWORD symbol;
};

struct HuffTable {
    DWORD minLength = 0xFFFF;
    DWORD maxLength = 0;
    std::vector<Slot> slots = std::vector<Slot>(kCapacity);
    std::vector<DWORD> filled; // the slots in use, so that clearing the table costs no more than filling it
};

// Fixed literal/length, fixed distance, code-length, dynamic literal/length, dynamic distance.
HuffTable g_tables[5];
enum { kFixedLiteral, kFixedDistance, kCodeLengths, kDynamicLiteral, kDynamicDistance };

const BYTE kNibbleReversed[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
const DWORD kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                               31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const DWORD kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const DWORD kDistanceBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                 33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const DWORD kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                  6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const DWORD kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

struct BlockFailed {};

[[noreturn]] void Throw(const CHAR* text) { throw cetl::exception(text); }

DWORD Reverse16(DWORD v) {
    return (DWORD(kNibbleReversed[v & 15]) << 12) | (DWORD(kNibbleReversed[(v >> 4) & 15]) << 8) |
           (DWORD(kNibbleReversed[(v >> 8) & 15]) << 4) | kNibbleReversed[(v >> 12) & 15];
}

bool Build(HuffTable& table, const BYTE* lengths, DWORD count) {
    DWORD perLength[17] = {};
    for (DWORD i = 0; i < count; ++i) {
        if (lengths[i] > 16) Throw(kInflateInvalidCode);
        ++perLength[lengths[i]];
    }
    perLength[0] = 0;
    DWORD next[17] = {};
    DWORD code = 0;
    for (DWORD bits = 1; bits <= 16; ++bits) {
        code = (code + perLength[bits - 1]) << 1;
        next[bits] = code;
    }
    for (DWORD index : table.filled) table.slots[index] = Slot{0, 0, 0};
    table.filled.clear();
    table.minLength = 0xFFFF;
    table.maxLength = 0;
    bool any = false;
    for (DWORD symbol = 0; symbol < count; ++symbol) {
        DWORD length = lengths[symbol];
        if (!length) continue;
        any = true;
        if (length < table.minLength) table.minLength = length;
        if (length > table.maxLength) table.maxLength = length;
        DWORD index = next[length]++ & ((1u << length) - 1);
        if (index >= kCapacity || table.slots[index].used) return false;
        table.slots[index] = Slot{1, length, symbol};
        table.filled.push_back(index);
    }
    return any;
}

class Reader {
public:
    Reader(const BYTE* input, DWORD size, BYTE* output, DWORD capacity)
        : input_(input), size_(size), pos_(0), output_(output), capacity_(capacity), produced_(0) {}

    DWORD Run() {
        DWORD last;
        do {
            last = Bits(1);
            DWORD type = Bits(2);
            try {
                if (type == 0) {
                    Stored();
                } else if (type == 1) {
                    Huffman(g_tables[kFixedLiteral], g_tables[kFixedDistance]);
                } else if (type == 2) {
                    Dynamic();
                } else {
                    throw BlockFailed();
                }
            } catch (BlockFailed&) {
                Throw(kInflateBadContent);
            }
        } while (!last);
        return produced_;
    }

private:
    DWORD Peek(DWORD count) const {
        if (ULONGLONG(pos_) + count > ULONGLONG(size_) * 8) Throw(kInflateReadPastEnd);
        DWORD value = 0;
        for (DWORD i = 0; i < count; ++i)
            value |= DWORD((input_[(pos_ + i) >> 3] >> ((pos_ + i) & 7)) & 1) << i;
        return value;
    }
    DWORD Bits(DWORD count) {
        DWORD value = Peek(count);
        pos_ += count;
        return value;
    }

    DWORD Decode(const HuffTable& table) {
        for (DWORD length = table.minLength; length <= table.maxLength; ++length) {
            DWORD code = Reverse16(Peek(length)) >> (16 - length);
            const Slot& slot = table.slots[code];
            if (slot.used && slot.length == length) {
                pos_ += length;
                return slot.symbol;
            }
        }
        throw BlockFailed();
    }

    void Put(BYTE b) {
        if (produced_ >= capacity_) throw BlockFailed();
        output_[produced_++] = b;
    }

    void Stored() {
        pos_ = (pos_ + 7) & ~7u;
        DWORD length = Bits(16);
        DWORD check = Bits(16);
        if (length != (~check & 0xFFFF)) throw BlockFailed();
        if (ULONGLONG(pos_ / 8) + length > size_) Throw(kInflateReadPastEnd);
        if (ULONGLONG(produced_) + length > capacity_) throw BlockFailed();
        for (DWORD i = 0; i < length; ++i) Put(BYTE(Bits(8)));
    }

    void Lengths(const HuffTable& table, BYTE* lengths, DWORD count) {
        DWORD i = 0;
        while (i < count) {
            DWORD symbol = Decode(table);
            if (symbol < 16) {
                lengths[i++] = BYTE(symbol);
                continue;
            }
            BYTE value = 0;
            DWORD repeat;
            if (symbol == 16) {
                if (i == 0) throw BlockFailed();
                value = lengths[i - 1];
                repeat = 3 + Bits(2);
            } else if (symbol == 17) {
                repeat = 3 + Bits(3);
            } else {
                repeat = 11 + Bits(7);
            }
            if (i + repeat > count) throw BlockFailed();
            while (repeat--) lengths[i++] = value;
        }
    }

    void Dynamic() {
        DWORD literals = Bits(5) + 257, distances = Bits(5) + 1, codeLengthCodes = Bits(4) + 4;
        BYTE codeLengths[19] = {};
        for (DWORD i = 0; i < codeLengthCodes; ++i) codeLengths[kCodeLengthOrder[i]] = BYTE(Bits(3));
        if (!Build(g_tables[kCodeLengths], codeLengths, 19)) throw BlockFailed();
        BYTE literalLengths[288] = {}, distanceLengths[32] = {};
        Lengths(g_tables[kCodeLengths], literalLengths, literals);
        Lengths(g_tables[kCodeLengths], distanceLengths, distances);
        if (!Build(g_tables[kDynamicLiteral], literalLengths, literals)) throw BlockFailed();
        if (!Build(g_tables[kDynamicDistance], distanceLengths, distances)) throw BlockFailed();
        Huffman(g_tables[kDynamicLiteral], g_tables[kDynamicDistance]);
    }

    void Huffman(const HuffTable& literal, const HuffTable& distance) {
        for (;;) {
            DWORD symbol = Decode(literal);
            if (symbol < 256) {
                Put(BYTE(symbol));
            } else if (symbol == 256) {
                return;
            } else if (symbol <= 285) {
                DWORD length = kLengthBase[symbol - 257] + Bits(kLengthExtra[symbol - 257]);
                DWORD code = Decode(distance);
                if (code >= 30) throw BlockFailed();
                DWORD back = kDistanceBase[code] + Bits(kDistanceExtra[code]);
                if (back > produced_) Throw(kInflateInvalidLookback);
                if (ULONGLONG(produced_) + length > capacity_) throw BlockFailed();
                for (DWORD i = 0; i < length; ++i) Put(output_[produced_ - back]);
            } else {
                throw BlockFailed();
            }
        }
    }

    const BYTE* input_;
    DWORD size_;
    DWORD pos_;
    BYTE* output_;
    DWORD capacity_;
    DWORD produced_;
};

} // namespace

DWORD ReferenceInflate(const BYTE* input, DWORD inputSize, BYTE* output, DWORD outputCapacity) {
    BYTE lengths[288];
    memset(lengths, 8, 144);
    memset(lengths + 144, 9, 112);
    memset(lengths + 256, 7, 24);
    memset(lengths + 280, 8, 8);
    Build(g_tables[kFixedLiteral], lengths, 288);
    memset(lengths, 5, 30);
    Build(g_tables[kFixedDistance], lengths, 30);
    Reader reader(input, input ? inputSize : 0, output, output ? outputCapacity : 0);
    return reader.Run();
}
