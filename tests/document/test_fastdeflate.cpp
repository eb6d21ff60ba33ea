// The fast DEFLATE compressor against zlib's own decompressor: every kind of
// data, whole or in pieces that take the data before them as dictionary,
// comes back byte for byte.
#include "document/fastdeflate.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <vector>
#include <zlib.h>

using namespace tessilor;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Inflates a raw deflate stream; empty with ok false when zlib refuses it.
Bytes inflateAll(const Bytes &stream, std::size_t expected, bool *ok)
{
    Bytes out(expected + 1);
    z_stream z{};
    *ok = inflateInit2(&z, -15) == Z_OK;
    if (!*ok)
        return {};
    z.next_in = const_cast<Bytef *>(stream.data());
    z.avail_in = uInt(stream.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    const int status = inflate(&z, Z_FINISH);
    *ok = status == Z_STREAM_END && z.avail_in == 0;
    out.resize(out.size() - z.avail_out);
    inflateEnd(&z);
    return out;
}

Bytes randomBytes(std::size_t n, std::uint32_t seed, int range = 256)
{
    QRandomGenerator rng(seed);
    Bytes b(n);
    for (auto &x : b)
        x = std::uint8_t(rng.bounded(range));
    return b;
}

// Rows of RGB pixels like a mosaic: runs of white, cells of one colour with
// a little grain.
Bytes artLike(int width, int rows)
{
    QRandomGenerator rng(3);
    Bytes b;
    for (int y = 0; y < rows; ++y) {
        b.push_back(0);
        for (int x = 0; x < width; ++x) {
            const bool ink = (x % 11) > 3 && (y % 13) < 9;
            const int cell = x / 11;
            for (int c = 0; c < 3; ++c)
                b.push_back(ink ? std::uint8_t((cell * 37 + c * 80 + int(rng.bounded(5))) & 255) : 255);
        }
    }
    return b;
}

} // namespace

TEST(FastDeflate, ZlibInflatesEveryKindOfDataWholeAndInPieces)
{
    Bytes pattern;
    for (int i = 0; i < 100000; ++i)
        pattern.push_back(std::uint8_t("abcabd"[i % 6]));
    const struct {
        const char *name;
        Bytes data;
    } cases[] = {
        {"empty", {}},
        {"one byte", {42}},
        {"shorter than a match", {1, 2, 3}},
        {"zeros, matches of the longest length", Bytes(200000, 0)},
        {"random, literals in several blocks", randomBytes(300000, 1)},
        {"few byte values", randomBytes(150000, 2, 3)},
        {"a repeating pattern", pattern},
        {"pixel rows of a mosaic", artLike(3000, 40)},
    };
    for (const auto &c : cases) {
        for (int pieces : {1, 3, 7}) {
            Bytes stream;
            const std::size_t n = c.data.size();
            for (int k = 0; k < pieces; ++k) {
                const std::size_t from = n * std::size_t(k) / std::size_t(pieces);
                const std::size_t to = n * std::size_t(k + 1) / std::size_t(pieces);
                const Bytes piece = deflatePiece(c.data.data() + from, to - from, from, k == pieces - 1);
                stream.insert(stream.end(), piece.begin(), piece.end());
            }
            bool ok = false;
            const Bytes back = inflateAll(stream, n, &ok);
            EXPECT_TRUE(ok) << c.name << ", " << pieces << " pieces";
            EXPECT_TRUE(back == c.data) << c.name << ", " << pieces << " pieces";
            if (std::string(c.name).rfind("zeros", 0) == 0 && pieces == 1) {
                EXPECT_LT(stream.size(), n / 100) << c.name;
            }
        }
    }
}
