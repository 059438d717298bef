// The DEFLATE decoder against zlib and the reference decoder: streams of zlib's raw deflate at every level
// and strategy decode to their input in all three; hand-made streams for every failure, and every
// truncation of real streams, give the same output or the same failure text in both own decoders.
#include "deflate.h"
#include "reference_inflate.h"
#include "zip_test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include <zlib.h>

namespace {

using namespace ziptest;

struct Outcome {
    std::string failure = kNoFailure;
    Bytes output;
    bool operator==(const Outcome& other) const { return failure == other.failure && output == other.output; }
};

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
    return os << "{" << o.failure << ", " << o.output.size() << " bytes}";
}

template <class Decoder>
Outcome Run(Decoder decoder, const Bytes& input, DWORD capacity) {
    Outcome outcome;
    Bytes buffer(capacity + 1, 0xCD); // one byte more, to see that nothing is written past the capacity
    DWORD produced = 0;
    outcome.failure =
        FailureOf([&] { produced = decoder(input.data(), DWORD(input.size()), buffer.data(), capacity); });
    EXPECT_EQ(0xCD, buffer[capacity]) << "written past the capacity";
    if (outcome.failure == kNoFailure) outcome.output.assign(buffer.begin(), buffer.begin() + produced);
    return outcome;
}

Outcome Product(const Bytes& input, DWORD capacity) { return Run(Inflate, input, capacity); }
Outcome Reference(const Bytes& input, DWORD capacity) { return Run(ReferenceInflate, input, capacity); }

// zlib's own inflate on a raw stream, or an empty result when it refuses.
bool ZlibInflate(const Bytes& input, size_t size, Bytes& out) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
    out.assign(size + 1, 0);
    stream.next_in = const_cast<Bytef*>(input.data());
    stream.avail_in = uInt(input.size());
    stream.next_out = out.data();
    stream.avail_out = uInt(out.size());
    int result = inflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return result == Z_STREAM_END;
}

// zlib's raw deflate of `data`; `flushEvery` > 0 cuts the stream with a full flush every so many bytes,
// which adds empty stored blocks and restarts the blocks.
Bytes ZlibDeflate(const Bytes& data, int level, int strategy, int windowBits, int memLevel,
                  size_t flushEvery = 0) {
    z_stream stream{};
    EXPECT_EQ(Z_OK, deflateInit2(&stream, level, Z_DEFLATED, -windowBits, memLevel, strategy));
    Bytes out(deflateBound(&stream, uLong(data.size())) + 64 +
              (flushEvery ? 8 * (data.size() / flushEvery + 1) : 0));
    stream.next_out = out.data();
    stream.avail_out = uInt(out.size());
    size_t pos = 0;
    do {
        size_t chunk = flushEvery ? std::min(flushEvery, data.size() - pos) : data.size() - pos;
        stream.next_in = const_cast<Bytef*>(data.data() + pos);
        stream.avail_in = uInt(chunk);
        pos += chunk;
        int flush = pos == data.size() ? Z_FINISH : Z_FULL_FLUSH;
        int result = deflate(&stream, flush);
        EXPECT_TRUE(result == Z_OK || result == Z_STREAM_END) << result;
    } while (pos < data.size());
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::vector<std::pair<std::string, Bytes>> Corpus() {
    std::vector<std::pair<std::string, Bytes>> corpus;
    std::mt19937 random(1951);
    corpus.push_back({"empty", {}});
    corpus.push_back({"one byte", {0x42}});
    Bytes text;
    const char* words[] = {"the ",  "piece ", "falls ",      "into ", "column ", "and ",    "vanishes ",
                           "with ", "its ",   "neighbours ", "of ",   "one ",    "colour ", "\n"};
    while (text.size() < 40000) {
        const char* w = words[random() % 14];
        text.insert(text.end(), w, w + strlen(w));
    }
    corpus.push_back({"text", text});
    Bytes noise(20000);
    for (BYTE& b : noise) b = BYTE(random());
    corpus.push_back({"noise", noise});
    Bytes runs;
    while (runs.size() < 30000) runs.insert(runs.end(), 1 + random() % 600, BYTE(random() % 4));
    corpus.push_back({"runs", runs});
    Bytes longMatches(5000);
    for (BYTE& b : longMatches) b = BYTE(random());
    for (int i = 0; i < 8; ++i)
        longMatches.insert(longMatches.end(), longMatches.begin(), longMatches.begin() + 5000);
    corpus.push_back({"long matches", longMatches});
    Bytes periods;
    for (int period = 1; period <= 9; ++period)
        for (int i = 0; i < 700; ++i) periods.push_back(BYTE('a' + i % period));
    corpus.push_back({"short periods", periods});
    Bytes distant(40000, 0);
    for (size_t i = 0; i < 1000; ++i) distant[i] = distant[i + 32000] = BYTE(random()); // a match 32000 back
    for (size_t i = 1000; i < 32000; ++i) distant[i] = BYTE(random());
    corpus.push_back({"far matches", distant});
    Bytes skewed(30000);
    for (BYTE& b : skewed) b = BYTE(random() % 100 < 90 ? 'e' : random() % 256); // long Huffman codes
    corpus.push_back({"skewed", skewed});
    corpus.push_back({"list.psp", SkinAsset("list.psp")});
    corpus.push_back({"skin.txt", SkinAsset("skin.txt")});
    return corpus;
}

// One stream decoded by all three into a buffer of the original size plus 1024: the original every time.
void ExpectAllDecode(const Bytes& original, const Bytes& stream, const std::string& what) {
    Outcome product = Product(stream, DWORD(original.size() + 1024));
    ASSERT_EQ(kNoFailure, product.failure) << what;
    ASSERT_TRUE(product.output == original) << what;
    Outcome reference = Reference(stream, DWORD(original.size() + 1024));
    ASSERT_EQ(product, reference) << what;
    Bytes zlibOut;
    ASSERT_TRUE(ZlibInflate(stream, original.size(), zlibOut)) << what;
    ASSERT_TRUE(zlibOut == original) << what;
}

TEST(Inflate, EveryLevelAndStrategyOfZlibDecodesIdenticallyInAllThree) {
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    const char* strategyNames[] = {"default", "filtered", "huffman only", "rle", "fixed"};
    int streams = 0;
    for (const auto& item : Corpus()) {
        for (int level = 0; level <= 9; ++level) {
            for (int s = 0; s < 5; ++s) {
                std::string what = item.first + ", level " + std::to_string(level) + ", " + strategyNames[s];
                ExpectAllDecode(item.second, ZlibDeflate(item.second, level, strategies[s], 15, 8), what);
                ++streams;
            }
        }
        // Small windows and little memory make short blocks and near matches; full flushes add empty
        // stored blocks between them.
        ExpectAllDecode(item.second, ZlibDeflate(item.second, 9, Z_DEFAULT_STRATEGY, 9, 1),
                        item.first + ", window 9");
        ExpectAllDecode(item.second, ZlibDeflate(item.second, 6, Z_DEFAULT_STRATEGY, 15, 9, 777),
                        item.first + ", flushed");
        ExpectAllDecode(item.second, ZlibDeflate(item.second, 1, Z_FIXED, 15, 8, 5000),
                        item.first + ", fixed flushed");
        streams += 3;
    }
    EXPECT_GT(streams, 500);
}

TEST(Inflate, OutputFillsTheBufferExactlyAndNotOneByteMore) {
    for (const auto& item : Corpus()) {
        if (item.second.empty()) continue;
        for (int level : {0, 1, 9}) {
            Bytes stream = ZlibDeflate(item.second, level, Z_DEFAULT_STRATEGY, 15, 8);
            DWORD size = DWORD(item.second.size());
            Outcome exact = Product(stream, size);
            EXPECT_EQ(kNoFailure, exact.failure) << item.first;
            EXPECT_TRUE(exact.output == item.second) << item.first;
            Outcome short1 = Product(stream, size - 1);
            EXPECT_EQ(kInflateBadContent, short1.failure) << item.first << " level " << level;
            EXPECT_EQ(short1, Reference(stream, size - 1)) << item.first;
        }
    }
}

// Writes bits least-significant first, as the format stores them; Huffman codes go most-significant
// first through Code.
class BitWriter {
public:
    BitWriter& Bits(DWORD value, int count) {
        for (int i = 0; i < count; ++i) Bit((value >> i) & 1);
        return *this;
    }
    BitWriter& Code(DWORD code, int length) {
        for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1);
        return *this;
    }
    BitWriter& Bytes8(const Bytes& bytes) {
        while (used_) Bit(0);
        out_.insert(out_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Bytes Done() const { return out_; }

private:
    void Bit(DWORD bit) {
        if (!used_) out_.push_back(0);
        out_.back() |= BYTE(bit << used_);
        used_ = (used_ + 1) & 7;
    }
    Bytes out_;
    int used_ = 0;
};

// The fixed code of a literal/length symbol.
BitWriter& Fixed(BitWriter& w, DWORD symbol) {
    if (symbol < 144) return w.Code(0x30 + symbol, 8);
    if (symbol < 256) return w.Code(0x190 + symbol - 144, 9);
    if (symbol < 280) return w.Code(symbol - 256, 7);
    return w.Code(0xC0 + symbol - 280, 8);
}

// A dynamic block header whose code-length code gives every one of the 19 symbols `clLength` bits
// (so symbol n is code n when all lengths are 5), then the given code-length symbols with extras.
BitWriter DynamicHeader(DWORD literals, DWORD distances,
                        const std::vector<std::pair<DWORD, DWORD>>& sequence) {
    BitWriter w;
    w.Bits(1, 1).Bits(2, 2).Bits(literals - 257, 5).Bits(distances - 1, 5).Bits(19 - 4, 4);
    for (int i = 0; i < 19; ++i) w.Bits(5, 3);
    const int extraBits[19] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};
    for (const auto& item : sequence) {
        w.Code(item.first, 5);
        if (item.first >= 16) w.Bits(item.second, extraBits[item.first]);
    }
    return w;
}

struct Case {
    std::string name;
    Bytes stream;
    DWORD capacity;
    std::string failure;
    Bytes output;
};

std::vector<Case> HandMadeCases() {
    std::vector<Case> cases;
    cases.push_back({"empty input", {}, 100, kInflateReadPastEnd, {}});
    cases.push_back({"stored block of length 0", {0x01, 0x00, 0x00, 0xFF, 0xFF}, 0, kNoFailure, {}});
    cases.push_back({"stored length check", {0x01, 0x01, 0x00, 0xFF, 0xFF, 'x'}, 10, kInflateBadContent, {}});
    cases.push_back(
        {"stored block cut short", {0x01, 0x03, 0x00, 0xFC, 0xFF, 'a', 'b'}, 10, kInflateReadPastEnd, {}});
    cases.push_back({"stored header cut short", {0x01, 0x03, 0x00, 0xFC}, 10, kInflateReadPastEnd, {}});
    cases.push_back({"block type 3", {0x07}, 10, kInflateBadContent, {}});
    cases.push_back({"no final block", {0x00, 0x00, 0x00, 0xFF, 0xFF}, 10, kInflateReadPastEnd, {}});
    cases.push_back(
        {"data after the final block is ignored", {0x01, 0x00, 0x00, 0xFF, 0xFF, 0x99}, 0, kNoFailure, {}});
    {
        BitWriter w;
        w.Bits(1, 1).Bits(1, 2);
        Fixed(w, 'a');
        Fixed(w, 257).Code(1, 5); // length 3, distance 2: one byte written so far
        cases.push_back({"lookback before the start", w.Done(), 10, kInflateInvalidLookback, {}});
    }
    {
        BitWriter w;
        w.Bits(1, 1).Bits(1, 2);
        Fixed(w, 'a');
        Fixed(w, 'b');
        Fixed(w, 264).Code(1, 5); // length 10 from 2 back: the pattern repeats
        Fixed(w, 256);
        cases.push_back({"overlapping copy", w.Done(), 12, kNoFailure, Text("abababababab")});
        cases.push_back({"overlapping copy one byte too long", w.Done(), 11, kInflateBadContent, {}});
    }
    {
        BitWriter w;
        w.Bits(1, 1).Bits(1, 2);
        Fixed(w, 'a');
        Fixed(w, 286);
        cases.push_back({"literal/length symbol 286", w.Done(), 10, kInflateBadContent, {}});
        BitWriter d;
        d.Bits(1, 1).Bits(1, 2);
        Fixed(d, 'a');
        Fixed(d, 257).Code(30, 5);
        cases.push_back({"fixed distance symbol 30", d.Done(), 10, kInflateBadContent, {}});
    }
    {
        BitWriter w;
        w.Bits(1, 1).Bits(1, 2);
        Fixed(w, 'a');
        Fixed(w, 'b'); // the end-of-block code never comes
        cases.push_back({"fixed block without its end", w.Done(), 10, kInflateReadPastEnd, {}});
    }
    // Dynamic blocks: 257 literal/length lengths and 1 distance length.
    {
        BitWriter w = DynamicHeader(257, 1, {{16, 0}});
        cases.push_back({"repeat with no previous length", w.Done(), 10, kInflateBadContent, {}});
    }
    {
        // 255 zeros, length 1 for symbol 255, then a repeat of it that would run over symbol 256 into
        // the distance lengths.
        BitWriter w = DynamicHeader(257, 2, {{18, 127}, {18, 106}, {1, 0}, {16, 0}});
        cases.push_back({"repeat past the end of its sequence", w.Done(), 10, kInflateBadContent, {}});
    }
    {
        // Distance lengths may not start with a repeat of the last literal/length one.
        BitWriter w = DynamicHeader(257, 3, {{18, 127}, {18, 107}, {1, 0}, {16, 0}});
        cases.push_back({"repeat across the two sequences", w.Done(), 10, kInflateBadContent, {}});
    }
    {
        // Literal 'a' and end of block with one bit each, one distance code of one bit: a complete
        // literal code and an incomplete distance code, which is allowed.
        std::vector<std::pair<DWORD, DWORD>> seq = {{18, 'a' - 11}, {1, 0}, {18, 127}, {18, 9}};
        seq.push_back({1, 0}); // symbol 256
        seq.push_back({1, 0}); // the one distance code
        BitWriter w = DynamicHeader(257, 1, seq);
        w.Code(0, 1).Code(0, 1).Code(1, 1);
        cases.push_back({"incomplete distance code", w.Done(), 10, kNoFailure, Text("aa")});
    }
    {
        // Three literal/length codes of one bit: over-subscribed.
        std::vector<std::pair<DWORD, DWORD>> seq = {{1, 0},    {1, 0}, {1, 0}, {18, 127},
                                                    {18, 104}, {1, 0}, {1, 0}};
        BitWriter w = DynamicHeader(257, 1, seq);
        w.Code(0, 1);
        cases.push_back({"over-subscribed code", w.Done(), 10, kInflateBadContent, {}});
    }
    {
        // No distance code at all.
        std::vector<std::pair<DWORD, DWORD>> seq = {{18, 'a' - 11}, {1, 0}, {18, 127},
                                                    {18, 9},        {1, 0}, {0, 0}};
        BitWriter w = DynamicHeader(257, 1, seq);
        w.Code(0, 1).Code(1, 1);
        cases.push_back({"distance code without codes", w.Done(), 10, kInflateBadContent, {}});
    }
    {
        // Literal 'a' with 2 bits and end of block with 2 bits: the patterns 10 and 11 begin no code.
        std::vector<std::pair<DWORD, DWORD>> seq = {{18, 'a' - 11}, {2, 0}, {18, 127},
                                                    {18, 9},        {2, 0}, {1, 0}};
        BitWriter w = DynamicHeader(257, 1, seq);
        w.Code(0, 2).Code(2, 2).Code(0, 2);
        cases.push_back({"bits that begin no code", w.Done(), 10, kInflateBadContent, {}});
    }
    return cases;
}

TEST(Inflate, HandMadeStreamsGiveTheirResultInBothDecoders) {
    for (const Case& c : HandMadeCases()) {
        Outcome product = Product(c.stream, c.capacity);
        EXPECT_EQ(c.failure, product.failure) << c.name;
        if (c.failure == kNoFailure) {
            EXPECT_TRUE(product.output == c.output) << c.name;
        }
        EXPECT_EQ(product, Reference(c.stream, c.capacity)) << c.name;
    }
}

// Every prefix of real streams (and of the hand-made ones), into buffers of every kind of size: the two
// decoders agree on the output or the failure, whichever comes first at the end of the input.
TEST(Inflate, EveryTruncationFailsTheSameInBothDecoders) {
    std::vector<Bytes> streams;
    Bytes text = SkinAsset("skin.txt");
    Bytes psp = SkinAsset("list.psp");
    streams.push_back(ZlibDeflate(text, 9, Z_DEFAULT_STRATEGY, 15, 8));
    streams.push_back(ZlibDeflate(psp, 6, Z_FIXED, 15, 8));
    streams.push_back(ZlibDeflate(Bytes(text.begin(), text.begin() + 300), 0, Z_DEFAULT_STRATEGY, 15, 8));
    streams.push_back(ZlibDeflate(psp, 1, Z_HUFFMAN_ONLY, 15, 8, 1000));
    for (const Case& c : HandMadeCases()) streams.push_back(c.stream);
    int compared = 0;
    for (const Bytes& stream : streams) {
        for (size_t length = 0; length <= stream.size(); ++length) {
            Bytes prefix(stream.begin(), stream.begin() + length);
            for (DWORD capacity : {0u, 50u, 4096u}) {
                Outcome product = Product(prefix, capacity);
                ASSERT_EQ(product, Reference(prefix, capacity))
                    << "prefix " << length << " of " << stream.size();
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 3000);
}

struct DecodeWork {
    const std::vector<std::pair<std::string, Bytes>>* corpus;
    const std::vector<Bytes>* streams;
    size_t first;
    LONG mismatches;
};

DWORD WINAPI DecodeMany(LPVOID parameter) {
    DecodeWork* w = static_cast<DecodeWork*>(parameter);
    for (int round = 0; round < 20; ++round) {
        for (size_t i = 0; i < w->streams->size(); ++i) {
            size_t k = (i + w->first) % w->streams->size();
            const Bytes& original = (*w->corpus)[k].second;
            const Bytes& stream = (*w->streams)[k];
            Bytes out(original.size() + 1024);
            DWORD produced = 0;
            try {
                produced = Inflate(stream.data(), DWORD(stream.size()), out.data(), DWORD(out.size()));
            } catch (const cetl::exception&) {
                ++w->mismatches;
                continue;
            }
            if (produced != original.size() || memcmp(out.data(), original.data(), produced) != 0)
                ++w->mismatches;
        }
    }
    return 0;
}

// Each call keeps its tables to itself: four threads decoding different streams at once all get their
// own input back.
TEST(Inflate, ThreadsDecodeAtTheSameTime) {
    std::vector<std::pair<std::string, Bytes>> corpus = Corpus();
    std::vector<Bytes> streams;
    for (const auto& item : corpus) streams.push_back(ZlibDeflate(item.second, 9, Z_DEFAULT_STRATEGY, 15, 8));
    DecodeWork work[4];
    HANDLE threads[4];
    for (int t = 0; t < 4; ++t) {
        work[t] = {&corpus, &streams, size_t(t), 0};
        threads[t] = CreateThread(nullptr, 0, DecodeMany, &work[t], 0, nullptr);
        ASSERT_TRUE(threads[t]);
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(4, threads, TRUE, 60000));
    for (int t = 0; t < 4; ++t) {
        CloseHandle(threads[t]);
        EXPECT_EQ(0, work[t].mismatches) << "thread " << t;
    }
}

TEST(Inflate, DecodersHoldNoMemoryAfterAFailure) {
    DWORD before = LiveBlocks();
    for (const Case& c : HandMadeCases()) Product(c.stream, c.capacity);
    EXPECT_EQ(before, LiveBlocks());
}

} // namespace
