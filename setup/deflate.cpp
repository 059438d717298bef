// DEFLATE decoding: the table builder, a bounded bit reader and the block decoder, with a fast loop for
// the stretches where neither the input nor the output can run out.
#include "deflate.h"

#include "cetl_exception.h"
#include "mem_manager.h"

#include <string.h>

const CHAR kInflateReadPastEnd[] = "unzip read past end of stream";
const CHAR kInflateInvalidCode[] = "unzip encountered invalid code index";
const CHAR kInflateInvalidLookback[] = "unzip encountered invalid lookback index";
const CHAR kInflateBadContent[] = "unable to deflate .ZIP file content";

namespace {

// A table entry is one 32-bit word:
//   bits 0-7    the bits the entry consumes (the code's length; for a link, the main table's bits)
//   bits 8-11   extra bits of a length or distance; for a link, the bits of the subtable
//   bits 12-15  what the entry is (the flags below); none with a non-zero length is a symbol that is
//               a valid code but may not occur (literal/length 286-287, distance 30-31)
//   bits 16-31  the literal byte, length base, distance base, code-length symbol or subtable start
// A zero entry is a bit pattern that no code of the set begins with.
const DWORD kLiteral = 0x8000; // also the symbols of the code-length code
const DWORD kMatch = 0x4000;   // a length, or in a distance table a distance
const DWORD kEndOfBlock = 0x2000;
const DWORD kLink = 0x1000;

const DWORD kMaxCodeLength = 15;
const DWORD kLiteralMainBits = 9;
const DWORD kDistanceMainBits = 8;
const DWORD kCodeLengthMainBits = 7; // code-length codes are at most 7 bits: no subtables

// A subtable holds the codes longer than the main table that share one main-table prefix; with at
// most 288 long codes of at most 15 bits this bounds the space every possible code set needs.
const DWORD kLiteralTableSize = (1 << kLiteralMainBits) + 288 * (1 << (kMaxCodeLength - kLiteralMainBits));
const DWORD kDistanceTableSize = (1 << kDistanceMainBits) + 32 * (1 << (kMaxCodeLength - kDistanceMainBits));
const DWORD kCodeLengthTableSize = 1 << kCodeLengthMainBits;

constexpr WORD kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr BYTE kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                   2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr WORD kDistanceBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                    33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr BYTE kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                     6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const BYTE kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

[[noreturn]] void Fail(const CHAR* text) { throw cetl::exception(text); }

constexpr DWORD LiteralSymbolEntry(DWORD symbol) {
    if (symbol < 256) return kLiteral | (symbol << 16);
    if (symbol == 256) return kEndOfBlock;
    if (symbol <= 285)
        return kMatch | (DWORD(kLengthBase[symbol - 257]) << 16) | (kLengthExtra[symbol - 257] << 8);
    return 0;
}

constexpr DWORD DistanceSymbolEntry(DWORD symbol) {
    if (symbol < 30) return kMatch | (DWORD(kDistanceBase[symbol]) << 16) | (kDistanceExtra[symbol] << 8);
    return 0;
}

constexpr DWORD CodeLengthSymbolEntry(DWORD symbol) { return kLiteral | (symbol << 16); }

// The entries of every symbol of an alphabet, computed by the compiler.
template <DWORD count, DWORD (*symbolEntry)(DWORD)>
struct SymbolEntries {
    DWORD entry[count];
    constexpr SymbolEntries() : entry() {
        for (DWORD symbol = 0; symbol < count; ++symbol) entry[symbol] = symbolEntry(symbol);
    }
};
constexpr SymbolEntries<288, LiteralSymbolEntry> kLiteralEntries;
constexpr SymbolEntries<32, DistanceSymbolEntry> kDistanceEntries;
constexpr SymbolEntries<19, CodeLengthSymbolEntry> kCodeLengthEntries;

struct HuffmanTable {
    DWORD* entries;
    DWORD mainBits;
    DWORD maxLength; // the longest code: deciding whether a failed lookup ran out of input
};

// The low `length` bits of `code` in reverse order: codes are sent from their most significant bit.
DWORD Reverse(DWORD code, DWORD length) {
    static const BYTE kNibble[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
    DWORD reversed = (DWORD(kNibble[code & 15]) << 12) | (DWORD(kNibble[(code >> 4) & 15]) << 8) |
                     (DWORD(kNibble[(code >> 8) & 15]) << 4) | kNibble[(code >> 12) & 15];
    return reversed >> (16 - length);
}

// Fills `table` with the canonical code of `lengths` (RFC 1951, 3.2.2). Returns false for a set without
// codes and for an over-subscribed set, which cannot be a prefix code; an incomplete set is kept, and
// the patterns no code begins with stay zero. Lengths above 15 are refused as an invalid code index;
// they cannot come from a stream, whose code lengths are at most 15.
bool BuildTable(HuffmanTable& table, DWORD* entries, DWORD mainBits, const BYTE* lengths, DWORD count,
                const DWORD* symbolEntries) {
    DWORD perLength[kMaxCodeLength + 1] = {};
    for (DWORD symbol = 0; symbol < count; ++symbol) {
        if (lengths[symbol] > kMaxCodeLength) Fail(kInflateInvalidCode);
        ++perLength[lengths[symbol]];
    }
    perLength[0] = 0;
    LONG left = 1;
    DWORD maxLength = 0;
    for (DWORD length = 1; length <= kMaxCodeLength; ++length) {
        left = (left << 1) - LONG(perLength[length]);
        if (left < 0) return false;
        if (perLength[length]) maxLength = length;
    }
    if (maxLength == 0) return false;

    DWORD nextCode[kMaxCodeLength + 1];
    DWORD code = 0;
    for (DWORD length = 1; length <= kMaxCodeLength; ++length) {
        code = (code + perLength[length - 1]) << 1;
        nextCode[length] = code;
    }
    DWORD reversed[288];
    DWORD mainSize = 1u << mainBits, mainMask = mainSize - 1;
    // The main-table prefixes of the long codes, in the order first met, and the bits of each subtable.
    BYTE subBits[1 << kLiteralMainBits];
    WORD linked[288];
    DWORD linkCount = 0;
    if (maxLength > mainBits) memset(subBits, 0, mainSize);
    for (DWORD symbol = 0; symbol < count; ++symbol) {
        DWORD length = lengths[symbol];
        if (!length) continue;
        reversed[symbol] = Reverse(nextCode[length]++, length);
        if (length > mainBits) {
            DWORD prefix = reversed[symbol] & mainMask;
            if (!subBits[prefix]) linked[linkCount++] = WORD(prefix);
            if (length - mainBits > subBits[prefix]) subBits[prefix] = BYTE(length - mainBits);
        }
    }
    // A complete code fills every slot; only an incomplete one leaves patterns that begin no code.
    if (left > 0) memset(entries, 0, mainSize * sizeof(DWORD));
    DWORD used = mainSize;
    for (DWORD link = 0; link < linkCount; ++link) {
        DWORD prefix = linked[link];
        entries[prefix] = kLink | (used << 16) | (DWORD(subBits[prefix]) << 8) | mainBits;
        if (left > 0) memset(entries + used, 0, (1u << subBits[prefix]) * sizeof(DWORD));
        used += 1u << subBits[prefix];
    }
    for (DWORD symbol = 0; symbol < count; ++symbol) {
        DWORD length = lengths[symbol];
        if (!length) continue;
        DWORD entry = symbolEntries[symbol];
        if (length <= mainBits) {
            for (DWORD i = reversed[symbol]; i < mainSize; i += 1u << length) entries[i] = entry | length;
        } else {
            DWORD link = entries[reversed[symbol] & mainMask];
            DWORD* sub = entries + (link >> 16);
            DWORD subSize = 1u << ((link >> 8) & 0xF);
            for (DWORD i = reversed[symbol] >> mainBits; i < subSize; i += 1u << (length - mainBits)) {
                sub[i] = entry | (length - mainBits);
            }
        }
    }
    table.entries = entries;
    table.mainBits = mainBits;
    table.maxLength = maxLength;
    return true;
}

// Every table one call needs, in one block.
struct InflateTables {
    DWORD literal[kLiteralTableSize];
    DWORD distance[kDistanceTableSize];
    DWORD codeLength[kCodeLengthTableSize];
};

// The fixed codes never change: they are built once, on first use, and only read after that, so every
// call shares them without a lock.
struct FixedTables {
    DWORD literalEntries[1 << kLiteralMainBits];
    DWORD distanceEntries[1 << kDistanceMainBits];
    HuffmanTable literal;
    HuffmanTable distance;
    FixedTables() {
        BYTE lengths[288];
        memset(lengths, 8, 144);
        memset(lengths + 144, 9, 112);
        memset(lengths + 256, 7, 24);
        memset(lengths + 280, 8, 8);
        BuildTable(literal, literalEntries, kLiteralMainBits, lengths, 288, kLiteralEntries.entry);
        memset(lengths, 5, 30);
        BuildTable(distance, distanceEntries, kDistanceMainBits, lengths, 30, kDistanceEntries.entry);
    }
};

const FixedTables& Fixed() {
    static const FixedTables tables; // constructed once, thread-safely
    return tables;
}

// The tables of dynamic blocks, made on the first one (a stream of stored and fixed blocks needs none)
// and released however the call ends.
struct TablesHolder {
    InflateTables* tables;
    TablesHolder() : tables(nullptr) {}
    ~TablesHolder() {
        if (tables) MEMFREE(tables);
    }
    InflateTables* Get() {
        if (!tables) tables = static_cast<InflateTables*>(MEMALLOC(sizeof(InflateTables)));
        // Without room for its tables the decoder cannot decode the block.
        if (!tables) Fail(kInflateBadContent);
        return tables;
    }
};

inline DWORD LoadWord(const BYTE* p) {
    DWORD word;
    memcpy(&word, p, sizeof word);
    return word;
}

class Inflater {
public:
    Inflater(const BYTE* input, DWORD inputSize, BYTE* output, DWORD outputCapacity)
        : in_(input), inEnd_(input + inputSize), outStart_(output), out_(output),
          outEnd_(output + outputCapacity), hold_(0), bits_(0) {}

    DWORD Run() {
        DWORD last;
        do {
            last = Bits(1);
            switch (Bits(2)) {
            case 0:
                StoredBlock();
                break;
            case 1:
                FixedBlock();
                break;
            case 2:
                DynamicBlock();
                break;
            default:
                Fail(kInflateBadContent);
            }
        } while (!last);
        return DWORD(out_ - outStart_);
    }

private:
    // Outside the fast loop the hold keeps fewer than 25 bits and nothing above them, so a lookup near
    // the end of the input sees the missing bits as zeros.
    void Fill(DWORD wanted) {
        while (bits_ < wanted && in_ < inEnd_) {
            hold_ |= DWORD(*in_++) << bits_;
            bits_ += 8;
        }
    }

    DWORD Bits(DWORD count) {
        Fill(count);
        if (bits_ < count) Fail(kInflateReadPastEnd);
        DWORD value = hold_ & ((1u << count) - 1);
        hold_ >>= count;
        bits_ -= count;
        return value;
    }

    // One symbol, looked up with the missing bits as zeros at the end of the input. A code that fits the
    // bits there are is the symbol; otherwise the stream ran out if a code of the set could still be
    // longer than what is left, and else the bits begin no code at all.
    DWORD Decode(const HuffmanTable& table) {
        Fill(kMaxCodeLength);
        DWORD entry = table.entries[hold_ & ((1u << table.mainBits) - 1)];
        DWORD length = entry & 0xFF;
        if (entry & kLink) {
            entry = table.entries[(entry >> 16) +
                                  ((hold_ >> table.mainBits) & ((1u << ((entry >> 8) & 0xF)) - 1))];
            length = table.mainBits + (entry & 0xFF);
        }
        if (entry && length <= bits_) {
            hold_ >>= length;
            bits_ -= length;
            return entry;
        }
        // Fewer than 15 bits in the hold means the input is used up: they are all there is.
        if (table.maxLength > bits_) Fail(kInflateReadPastEnd);
        Fail(kInflateBadContent);
    }

    void StoredBlock() {
        hold_ >>= bits_ & 7;
        bits_ &= ~7u;
        DWORD length = Bits(16);
        DWORD check = Bits(16);
        if (length != (~check & 0xFFFF)) Fail(kInflateBadContent);
        // The hold now keeps whole bytes only: hand them back to the input.
        in_ -= bits_ >> 3;
        hold_ = 0;
        bits_ = 0;
        if (length > DWORD(inEnd_ - in_)) Fail(kInflateReadPastEnd);
        if (length > DWORD(outEnd_ - out_)) Fail(kInflateBadContent);
        memcpy(out_, in_, length);
        out_ += length;
        in_ += length;
    }

    void FixedBlock() {
        const FixedTables& fixed = Fixed();
        HuffmanBlock(fixed.literal, fixed.distance);
    }

    // Decodes `count` code lengths with the code-length code. A repeat of the previous length needs one
    // in the same sequence, and no repeat may run past the sequence's end: both make the block fail.
    void ReadLengths(const HuffmanTable& codeLengths, BYTE* lengths, DWORD count) {
        DWORD i = 0;
        while (i < count) {
            DWORD symbol = Decode(codeLengths) >> 16;
            if (symbol < 16) {
                lengths[i++] = BYTE(symbol);
                continue;
            }
            BYTE value = 0;
            DWORD repeat;
            if (symbol == 16) {
                if (i == 0) Fail(kInflateBadContent);
                value = lengths[i - 1];
                repeat = 3 + Bits(2);
            } else if (symbol == 17) {
                repeat = 3 + Bits(3);
            } else {
                repeat = 11 + Bits(7);
            }
            if (repeat > count - i) Fail(kInflateBadContent);
            memset(lengths + i, value, repeat);
            i += repeat;
        }
    }

    void DynamicBlock() {
        InflateTables* tables = tables_.Get();
        DWORD literals = Bits(5) + 257;
        DWORD distances = Bits(5) + 1;
        DWORD codeLengthCodes = Bits(4) + 4;
        BYTE lengths[19] = {};
        for (DWORD i = 0; i < codeLengthCodes; ++i) lengths[kCodeLengthOrder[i]] = BYTE(Bits(3));
        HuffmanTable codeLengths;
        if (!BuildTable(codeLengths, tables->codeLength, kCodeLengthMainBits, lengths, 19,
                        kCodeLengthEntries.entry))
            Fail(kInflateBadContent);
        BYTE literalLengths[288], distanceLengths[32];
        ReadLengths(codeLengths, literalLengths, literals);
        ReadLengths(codeLengths, distanceLengths, distances);
        HuffmanTable literal, distance;
        if (!BuildTable(literal, tables->literal, kLiteralMainBits, literalLengths, literals,
                        kLiteralEntries.entry))
            Fail(kInflateBadContent);
        if (!BuildTable(distance, tables->distance, kDistanceMainBits, distanceLengths, distances,
                        kDistanceEntries.entry))
            Fail(kInflateBadContent);
        HuffmanBlock(literal, distance);
    }

    // Copies `length` bytes from `distance` back; the source may overlap what is being written.
    static void Copy(BYTE* out, DWORD distance, DWORD length) {
        const BYTE* from = out - distance;
        if (distance == 1) {
            memset(out, *from, length);
        } else if (distance >= length) {
            memcpy(out, from, length);
        } else {
            for (DWORD i = 0; i < length; ++i) out[i] = from[i];
        }
    }

    void HuffmanBlock(const HuffmanTable& literal, const HuffmanTable& distance) {
        for (;;) {
            if (FastLoop(literal, distance)) return;
            // One symbol with every read and write checked.
            DWORD entry = Decode(literal);
            if (entry & kLiteral) {
                if (out_ == outEnd_) Fail(kInflateBadContent);
                *out_++ = BYTE(entry >> 16);
            } else if (entry & kMatch) {
                DWORD length = (entry >> 16) + Bits((entry >> 8) & 0xF);
                DWORD distanceEntry = Decode(distance);
                if (!(distanceEntry & kMatch)) Fail(kInflateBadContent);
                DWORD back = (distanceEntry >> 16) + Bits((distanceEntry >> 8) & 0xF);
                if (back > DWORD(out_ - outStart_)) Fail(kInflateInvalidLookback);
                if (length > DWORD(outEnd_ - out_)) Fail(kInflateBadContent);
                Copy(out_, back, length);
                out_ += length;
            } else if (entry & kEndOfBlock) {
                return;
            } else {
                Fail(kInflateBadContent);
            }
        }
    }

    // Decodes while at least 10 input bytes and room for the longest match and 8 bytes more remain, so
    // that no read or write in between needs a check: a symbol takes at most three refills, each moving on
    // at most 3 bytes and loading 4. The hold is refilled a word at a time; the bits above the counted ones
    // are then the stream's next bits, which a later refill ORs in again unchanged. Returns true at the end
    // of the block; on leaving, the whole bytes still in the hold go back to the input.
    bool FastLoop(const HuffmanTable& literal, const HuffmanTable& distance) {
        const DWORD* literalEntries = literal.entries;
        const DWORD* distanceEntries = distance.entries;
        const DWORD literalMask = (1u << literal.mainBits) - 1, distanceMask = (1u << distance.mainBits) - 1;
        const DWORD literalBits = literal.mainBits, distanceBits = distance.mainBits;
        // Locals throughout: every byte written could alias the members, which would be read again.
        const BYTE* in = in_;
        const BYTE* const inEnd = inEnd_;
        BYTE* out = out_;
        BYTE* const outStart = outStart_;
        BYTE* const outEnd = outEnd_;
        DWORD hold = hold_, bits = bits_;
        bool ended = false;
#define VEXLIN_REFILL()                                                                                      \
    do {                                                                                                     \
        hold |= LoadWord(in) << bits;                                                                        \
        in += (31 - bits) >> 3;                                                                              \
        bits |= 24;                                                                                          \
    } while (0)
        while (inEnd - in >= 10 && outEnd - out >= 258 + 8) {
            VEXLIN_REFILL();
            DWORD entry = literalEntries[hold & literalMask];
            if (entry & kLink) {
                hold >>= literalBits;
                bits -= literalBits;
                entry = literalEntries[(entry >> 16) + (hold & ((1u << ((entry >> 8) & 0xF)) - 1))];
            }
            DWORD length = entry & 0xFF;
            hold >>= length;
            bits -= length;
            if (entry & kLiteral) {
                *out++ = BYTE(entry >> 16);
                // Literals come in runs: up to two more whose codes lie in the main table are taken
                // without a refill while the hold still has their bits (the room kept free is plenty).
                for (int more = 0; more < 2 && bits >= kLiteralMainBits; ++more) {
                    entry = literalEntries[hold & literalMask];
                    if (!(entry & kLiteral)) break;
                    length = entry & 0xFF;
                    hold >>= length;
                    bits -= length;
                    *out++ = BYTE(entry >> 16);
                }
                continue;
            }
            if (!(entry & kMatch)) {
                if (entry & kEndOfBlock) {
                    ended = true;
                    break;
                }
                Fail(kInflateBadContent);
            }
            DWORD extra = (entry >> 8) & 0xF;
            DWORD matchLength = (entry >> 16) + (hold & ((1u << extra) - 1));
            hold >>= extra;
            bits -= extra;
            VEXLIN_REFILL();
            DWORD distanceEntry = distanceEntries[hold & distanceMask];
            if (distanceEntry & kLink) {
                hold >>= distanceBits;
                bits -= distanceBits;
                distanceEntry = distanceEntries[(distanceEntry >> 16) +
                                                (hold & ((1u << ((distanceEntry >> 8) & 0xF)) - 1))];
            }
            if (!(distanceEntry & kMatch)) Fail(kInflateBadContent);
            length = distanceEntry & 0xFF;
            hold >>= length;
            bits -= length;
            extra = (distanceEntry >> 8) & 0xF;
            if (bits < extra) VEXLIN_REFILL();
            DWORD back = (distanceEntry >> 16) + (hold & ((1u << extra) - 1));
            hold >>= extra;
            bits -= extra;
            if (back > DWORD(out - outStart)) Fail(kInflateInvalidLookback);
            // The room kept free lets a copy run up to 7 bytes past its end: those bytes are overwritten
            // later or lie beyond what is produced.
            BYTE* to = out;
            const BYTE* from = out - back;
            out += matchLength;
            if (back >= 8) {
                do {
                    memcpy(to, from, 8);
                    to += 8;
                    from += 8;
                } while (to < out);
            } else if (back == 1) {
                memset(to, *from, matchLength);
            } else {
                // A short period: the first bytes repeat every `back` bytes.
                do {
                    *to++ = *from++;
                } while (to < out);
            }
        }
#undef VEXLIN_REFILL
        in -= bits >> 3;
        bits &= 7;
        in_ = in;
        out_ = out;
        hold_ = hold & ((1u << bits) - 1);
        bits_ = bits;
        return ended;
    }

    const BYTE* in_;
    const BYTE* const inEnd_;
    BYTE* const outStart_;
    BYTE* out_;
    BYTE* const outEnd_;
    DWORD hold_;
    DWORD bits_;
    TablesHolder tables_;
};

} // namespace

DWORD Inflate(const BYTE* input, DWORD inputSize, BYTE* output, DWORD outputCapacity) {
    if (!input) inputSize = 0;
    if (!output) outputCapacity = 0;
    Inflater inflater(input, inputSize, output, outputCapacity);
    return inflater.Run();
}
