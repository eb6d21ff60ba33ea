#include "document/fastdeflate.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <utility>

namespace tessilor {

namespace {

constexpr std::size_t kWindow = 32768;
constexpr std::size_t kMinMatch = 4;
constexpr std::size_t kMaxMatch = 258;
constexpr int kHashBits = 16;
// Symbols of one block: its Huffman codes follow the data they code.
constexpr std::size_t kBlockSymbols = std::size_t(1) << 16;
// Failed probes after which the matcher steps over more bytes at a time.
constexpr std::uint32_t kMissesPerStep = 64;
constexpr std::size_t kMaxStep = 32;

constexpr int kLitLenCodes = 286;
constexpr int kDistCodes = 30;
constexpr int kCodeLengthCodes = 19;

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                         33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                         1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a block header gives the code-length code's lengths.
constexpr std::uint8_t kCodeLengthOrder[kCodeLengthCodes] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                             11, 4,  12, 3, 13, 2, 14, 1, 15};

struct CodeTables {
    std::array<std::uint8_t, kMaxMatch + 1> lengthCode{}; // match length -> 0..28
    std::array<std::uint8_t, 256> distLow{};              // distance - 1 below 256 -> code
    std::array<std::uint8_t, 256> distHigh{};             // (distance - 1) >> 7 -> code
    CodeTables()
    {
        for (int c = 0; c < 29; ++c)
            for (int l = kLengthBase[c]; l < kLengthBase[c] + (1 << kLengthExtra[c]) && l <= int(kMaxMatch); ++l)
                lengthCode[std::size_t(l)] = std::uint8_t(c);
        lengthCode[kMaxMatch] = 28;
        for (int c = 0; c < kDistCodes; ++c)
            for (int d = kDistBase[c] - 1; d < kDistBase[c] - 1 + (1 << kDistExtra[c]); ++d) {
                if (d < 256)
                    distLow[std::size_t(d)] = std::uint8_t(c);
                else
                    distHigh[std::size_t(d >> 7)] = std::uint8_t(c);
            }
    }
    int distCode(std::uint32_t distance) const
    {
        const std::uint32_t d = distance - 1;
        return d < 256 ? distLow[d] : distHigh[d >> 7];
    }
};

const CodeTables &tables()
{
    static const CodeTables t;
    return t;
}

inline std::uint32_t load32(const std::uint8_t *p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline std::uint32_t hashOf(std::uint32_t v)
{
    return (v * 2654435761u) >> (32 - kHashBits);
}

// Bytes a and b have in common from the start, at most limit.
inline std::size_t commonLength(const std::uint8_t *a, const std::uint8_t *b, std::size_t limit)
{
    std::size_t n = 0;
    while (n + 8 <= limit) {
        std::uint64_t x, y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (x != y)
            return n + std::size_t(__builtin_ctzll(x ^ y) >> 3);
        n += 8;
    }
    while (n < limit && a[n] == b[n])
        ++n;
    return n;
}

// Huffman code lengths for the frequencies (0: symbol unused), none longer
// than maxBits: an optimal code, or, when that is too deep, the optimal
// code of frequencies halved (as often as needed). Two or more used
// symbols give a complete code.
void huffmanLengths(const std::uint32_t *freq, int n, int maxBits, std::uint8_t *lengths)
{
    std::fill(lengths, lengths + n, std::uint8_t(0));
    std::vector<std::uint32_t> f(freq, freq + n);
    std::vector<std::pair<std::uint32_t, int>> leaves;
    std::vector<std::uint64_t> weight;
    std::vector<int> parent, depth;
    for (;;) {
        leaves.clear();
        for (int i = 0; i < n; ++i)
            if (f[std::size_t(i)] > 0)
                leaves.emplace_back(f[std::size_t(i)], i);
        if (leaves.empty())
            return;
        if (leaves.size() == 1) {
            lengths[leaves[0].second] = 1;
            return;
        }
        std::sort(leaves.begin(), leaves.end());
        const int m = int(leaves.size());
        const int nodes = 2 * m - 1;
        weight.assign(std::size_t(nodes), 0);
        parent.assign(std::size_t(nodes), 0);
        for (int i = 0; i < m; ++i)
            weight[std::size_t(i)] = leaves[std::size_t(i)].first;
        // Two queues: the sorted leaves and the internal nodes, made in order
        // of their weight.
        int leaf = 0, inner = m, next = m;
        auto lightest = [&] {
            if (leaf < m && (inner >= next || weight[std::size_t(leaf)] <= weight[std::size_t(inner)]))
                return leaf++;
            return inner++;
        };
        while (next < nodes) {
            const int a = lightest();
            const int b = lightest();
            weight[std::size_t(next)] = weight[std::size_t(a)] + weight[std::size_t(b)];
            parent[std::size_t(a)] = next;
            parent[std::size_t(b)] = next;
            ++next;
        }
        depth.assign(std::size_t(nodes), 0);
        int deepest = 0;
        for (int k = nodes - 2; k >= 0; --k) {
            depth[std::size_t(k)] = depth[std::size_t(parent[std::size_t(k)])] + 1;
            if (k < m)
                deepest = std::max(deepest, depth[std::size_t(k)]);
        }
        if (deepest <= maxBits) {
            for (int i = 0; i < m; ++i)
                lengths[leaves[std::size_t(i)].second] = std::uint8_t(depth[std::size_t(i)]);
            return;
        }
        for (std::uint32_t &x : f)
            if (x > 0)
                x = (x + 1) / 2;
    }
}

// Canonical codes for the lengths, bit-reversed for writing least
// significant bit first.
void canonicalCodes(const std::uint8_t *lengths, int n, std::uint16_t *codes)
{
    int count[16] = {};
    for (int i = 0; i < n; ++i)
        ++count[lengths[i]];
    count[0] = 0;
    int nextCode[16] = {};
    int code = 0;
    for (int bits = 1; bits < 16; ++bits) {
        code = (code + count[bits - 1]) << 1;
        nextCode[bits] = code;
    }
    for (int i = 0; i < n; ++i) {
        const int len = lengths[i];
        codes[i] = 0;
        if (len == 0)
            continue;
        int c = nextCode[len]++;
        int reversed = 0;
        for (int b = 0; b < len; ++b) {
            reversed = (reversed << 1) | (c & 1);
            c >>= 1;
        }
        codes[i] = std::uint16_t(reversed);
    }
}

// At least two used symbols, so that every code is complete.
void useTwo(std::uint32_t *freq, int n)
{
    int used = 0;
    for (int i = 0; i < n && used < 2; ++i)
        used += freq[i] > 0;
    for (int i = 0; i < n && used < 2; ++i) {
        if (freq[i] == 0) {
            freq[i] = 1;
            ++used;
        }
    }
}

class BitWriter
{
public:
    explicit BitWriter(std::vector<std::uint8_t> &out) : m_out(out) {}
    // Room for bytes more (the storage is not cleared first).
    void reserve(std::size_t bytes)
    {
        if (m_capacity - m_used >= bytes + 16)
            return;
        const std::size_t capacity = std::max(m_capacity * 2, m_used + bytes + 16);
        std::unique_ptr<std::uint8_t[]> grown(new std::uint8_t[capacity]);
        if (m_used > 0)
            std::memcpy(grown.get(), m_data.get(), m_used);
        m_data = std::move(grown);
        m_capacity = capacity;
    }
    void put(std::uint32_t bits, int count)
    {
        m_bits |= std::uint64_t(bits) << m_count;
        m_count += count;
        if (m_count >= 32) {
            std::uint8_t *p = m_data.get() + m_used;
            p[0] = std::uint8_t(m_bits);
            p[1] = std::uint8_t(m_bits >> 8);
            p[2] = std::uint8_t(m_bits >> 16);
            p[3] = std::uint8_t(m_bits >> 24);
            m_used += 4;
            m_bits >>= 32;
            m_count -= 32;
        }
    }
    void alignToByte()
    {
        while (m_count > 0) {
            m_data[m_used++] = std::uint8_t(m_bits);
            m_bits >>= 8;
            m_count -= 8;
        }
        m_bits = 0;
        m_count = 0;
    }
    void byte(std::uint8_t b) { m_data[m_used++] = b; }
    void finish() { m_out.assign(m_data.get(), m_data.get() + m_used); }

private:
    std::vector<std::uint8_t> &m_out;
    std::unique_ptr<std::uint8_t[]> m_data;
    std::size_t m_capacity = 0;
    std::size_t m_used = 0;
    std::uint64_t m_bits = 0;
    int m_count = 0;
};

// Matches as 0x80000000 | length << 16 | distance, literals as the byte.
constexpr std::uint32_t kMatchFlag = 0x80000000u;

class BlockWriter
{
public:
    explicit BlockWriter(BitWriter &bits) : m_bits(bits), m_tables(tables()) { m_symbols.reserve(kBlockSymbols); }

    void literal(std::uint8_t b)
    {
        m_symbols.push_back(b);
        ++m_lit[b];
    }
    void match(std::size_t length, std::size_t distance)
    {
        m_symbols.push_back(kMatchFlag | std::uint32_t(length) << 16 | std::uint32_t(distance));
        ++m_lit[257 + m_tables.lengthCode[length]];
        ++m_dist[std::size_t(m_tables.distCode(std::uint32_t(distance)))];
    }
    bool full() const { return m_symbols.size() >= kBlockSymbols; }

    // Writes the symbols gathered as one block with dynamic codes.
    void flush(bool final)
    {
        const CodeTables &t = m_tables;
        m_lit[256] = 1; // end of block
        useTwo(m_lit.data(), kLitLenCodes);
        useTwo(m_dist.data(), kDistCodes);
        std::array<std::uint8_t, kLitLenCodes> litLengths{};
        std::array<std::uint8_t, kDistCodes> distLengths{};
        huffmanLengths(m_lit.data(), kLitLenCodes, 15, litLengths.data());
        huffmanLengths(m_dist.data(), kDistCodes, 15, distLengths.data());
        std::array<std::uint16_t, kLitLenCodes> litCodes{};
        std::array<std::uint16_t, kDistCodes> distCodes{};
        canonicalCodes(litLengths.data(), kLitLenCodes, litCodes.data());
        canonicalCodes(distLengths.data(), kDistCodes, distCodes.data());
        int hlit = kLitLenCodes;
        while (hlit > 257 && litLengths[std::size_t(hlit - 1)] == 0)
            --hlit;
        int hdist = kDistCodes;
        while (hdist > 1 && distLengths[std::size_t(hdist - 1)] == 0)
            --hdist;

        // The code lengths, run-length coded with the code-length alphabet.
        std::vector<std::uint8_t> all(litLengths.begin(), litLengths.begin() + hlit);
        all.insert(all.end(), distLengths.begin(), distLengths.begin() + hdist);
        struct Run {
            std::uint8_t symbol, extra, extraBits;
        };
        std::vector<Run> runs;
        std::array<std::uint32_t, kCodeLengthCodes> clFreq{};
        auto emit = [&](int symbol, int extra, int extraBits) {
            runs.push_back({std::uint8_t(symbol), std::uint8_t(extra), std::uint8_t(extraBits)});
            ++clFreq[std::size_t(symbol)];
        };
        for (std::size_t i = 0; i < all.size();) {
            const std::uint8_t length = all[i];
            std::size_t run = 1;
            while (i + run < all.size() && all[i + run] == length)
                ++run;
            i += run;
            if (length == 0) {
                while (run >= 11) {
                    const std::size_t r = std::min<std::size_t>(run, 138);
                    emit(18, int(r - 11), 7);
                    run -= r;
                }
                if (run >= 3) {
                    emit(17, int(run - 3), 3);
                    run = 0;
                }
            } else {
                emit(length, 0, 0);
                --run;
                while (run >= 3) {
                    const std::size_t r = std::min<std::size_t>(run, 6);
                    emit(16, int(r - 3), 2);
                    run -= r;
                }
            }
            while (run-- > 0)
                emit(length, 0, 0);
        }
        useTwo(clFreq.data(), kCodeLengthCodes);
        std::array<std::uint8_t, kCodeLengthCodes> clLengths{};
        std::array<std::uint16_t, kCodeLengthCodes> clCodes{};
        huffmanLengths(clFreq.data(), kCodeLengthCodes, 7, clLengths.data());
        canonicalCodes(clLengths.data(), kCodeLengthCodes, clCodes.data());
        int hclen = kCodeLengthCodes;
        while (hclen > 4 && clLengths[kCodeLengthOrder[hclen - 1]] == 0)
            --hclen;

        // Header and code lengths take at most a few hundred bytes; a
        // symbol at most 48 bits.
        m_bits.reserve(1024 + m_symbols.size() * 6);
        m_bits.put(final ? 1 : 0, 1);
        m_bits.put(2, 2); // dynamic Huffman codes
        m_bits.put(std::uint32_t(hlit - 257), 5);
        m_bits.put(std::uint32_t(hdist - 1), 5);
        m_bits.put(std::uint32_t(hclen - 4), 4);
        for (int i = 0; i < hclen; ++i)
            m_bits.put(clLengths[kCodeLengthOrder[i]], 3);
        for (const Run &r : runs) {
            m_bits.put(clCodes[r.symbol], clLengths[r.symbol]);
            if (r.extraBits > 0)
                m_bits.put(r.extra, r.extraBits);
        }
        for (const std::uint32_t s : m_symbols) {
            if (!(s & kMatchFlag)) {
                m_bits.put(litCodes[s], litLengths[s]);
                continue;
            }
            const std::uint32_t length = (s >> 16) & 0x1FF;
            const std::uint32_t distance = s & 0xFFFF; // 1..32768
            const int lc = t.lengthCode[length];
            m_bits.put(litCodes[std::size_t(257 + lc)], litLengths[std::size_t(257 + lc)]);
            if (kLengthExtra[lc] > 0)
                m_bits.put(length - kLengthBase[lc], kLengthExtra[lc]);
            const int dc = t.distCode(distance);
            m_bits.put(distCodes[std::size_t(dc)], distLengths[std::size_t(dc)]);
            if (kDistExtra[dc] > 0)
                m_bits.put(distance - kDistBase[dc], kDistExtra[dc]);
        }
        m_bits.put(litCodes[256], litLengths[256]);

        m_symbols.clear();
        m_lit.fill(0);
        m_dist.fill(0);
    }

private:
    BitWriter &m_bits;
    const CodeTables &m_tables;
    std::vector<std::uint32_t> m_symbols;
    std::array<std::uint32_t, kLitLenCodes> m_lit{};
    std::array<std::uint32_t, kDistCodes> m_dist{};
};

// An empty stored block: the end of a piece that the next one follows (zlib's
// sync flush), or with final set the end of the stream.
void emptyStoredBlock(BitWriter &bits, bool final)
{
    bits.reserve(16);
    bits.put(final ? 1 : 0, 1);
    bits.put(0, 2);
    bits.alignToByte();
    bits.byte(0x00);
    bits.byte(0x00);
    bits.byte(0xFF);
    bits.byte(0xFF);
}

} // namespace

std::vector<std::uint8_t> deflatePiece(const std::uint8_t *data, std::size_t size, std::size_t dictionarySize,
                                       bool last)
{
    std::vector<std::uint8_t> out;
    BitWriter bits(out);
    bits.reserve(size + size / 8 + 1024);
    if (size == 0) {
        emptyStoredBlock(bits, last);
        bits.finish();
        return out;
    }
    dictionarySize = std::min(dictionarySize, kWindow);
    // Positions count from the dictionary's start.
    const std::uint8_t *in = data - dictionarySize;
    const std::size_t end = dictionarySize + size;

    std::vector<std::uint32_t> table(std::size_t(1) << kHashBits, 0); // position + 1, 0 for none
    for (std::size_t p = 0; p + kMinMatch <= dictionarySize; ++p)
        table[hashOf(load32(in + p))] = std::uint32_t(p + 1);

    BlockWriter block(bits);
    std::size_t pos = dictionarySize;
    std::uint32_t misses = 0;
    while (pos < end) {
        if (block.full())
            block.flush(false);
        if (pos + kMinMatch <= end) {
            const std::uint32_t v = load32(in + pos);
            std::uint32_t &slot = table[hashOf(v)];
            const std::size_t candidate = slot;
            slot = std::uint32_t(pos + 1);
            if (candidate != 0 && pos - (candidate - 1) <= kWindow && load32(in + candidate - 1) == v) {
                const std::size_t from = candidate - 1;
                const std::size_t length = kMinMatch + commonLength(in + from + kMinMatch, in + pos + kMinMatch,
                                                                    std::min(kMaxMatch, end - pos) - kMinMatch);
                block.match(length, pos - from);
                pos += length;
                // The match's end stays findable.
                if (pos >= 2 && pos - 2 + kMinMatch <= end)
                    table[hashOf(load32(in + pos - 2))] = std::uint32_t(pos - 1);
                misses = 0;
                continue;
            }
            // Data that keeps failing to match is stepped over faster.
            const std::size_t step = std::min({std::size_t(1 + misses++ / kMissesPerStep), kMaxStep, end - pos});
            for (std::size_t k = 0; k < step; ++k) {
                if (block.full())
                    block.flush(false);
                block.literal(in[pos + k]);
            }
            pos += step;
        } else {
            block.literal(in[pos++]);
        }
    }
    block.flush(last);
    if (last)
        bits.alignToByte();
    else
        emptyStoredBlock(bits, false);
    bits.finish();
    return out;
}

} // namespace tessilor
