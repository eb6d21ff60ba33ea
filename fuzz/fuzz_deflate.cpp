// The picture compressor: whatever the data, cut into whatever pieces, each
// piece with or without the data before it as dictionary, zlib's inflate
// gives back the data byte for byte. The input's first bytes choose how the
// rest is turned into data (as it is, as runs, repeated) and where it is cut.
#include "document/fastdeflate.h"
#include "fuzzapp.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>
#include <zlib.h>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    return 0;
}

namespace {

using Bytes = std::vector<std::uint8_t>;

// The data to compress: the payload as it is, or every byte a run (few
// values, long matches), then the whole repeated (matches across pieces).
Bytes dataOf(const std::uint8_t *payload, std::size_t size, std::uint8_t how)
{
    Bytes data;
    if (how & 1) {
        for (std::size_t i = 0; i < size; ++i)
            data.insert(data.end(), std::size_t(1 + payload[i] % 97), std::uint8_t(payload[i] >> 6));
    } else {
        data.assign(payload, payload + size);
    }
    const int copies = 1 + ((how >> 1) & 7);
    const std::size_t once = data.size();
    for (int c = 1; c < copies; ++c)
        data.insert(data.end(), data.begin(), data.begin() + std::ptrdiff_t(once));
    return data;
}

Bytes inflateRaw(const Bytes &stream, std::size_t expected, bool *ok)
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
    *ok = inflate(&z, Z_FINISH) == Z_STREAM_END && z.avail_in == 0;
    out.resize(out.size() - z.avail_out);
    inflateEnd(&z);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *input, size_t size)
{
    if (size < 3)
        return 0;
    const std::uint8_t how = input[0];
    const std::uint8_t cuts = input[1];
    const std::uint8_t dictionaries = input[2];
    const Bytes data = dataOf(input + 3, size - 3, how);

    // Up to eight pieces, cut where the payload says.
    std::vector<std::size_t> ends;
    const int pieces = 1 + cuts % 8;
    for (int p = 1; p < pieces && !data.empty(); ++p)
        ends.push_back((std::size_t(input[3 + std::size_t(p) % (size - 3)]) * 2654435761u + p * 40503u) % data.size());
    std::sort(ends.begin(), ends.end());
    ends.push_back(data.size());

    Bytes stream;
    std::size_t from = 0;
    for (std::size_t p = 0; p < ends.size(); ++p) {
        const std::size_t to = std::max(from, ends[p]);
        // A piece takes the data before it as dictionary or starts afresh;
        // a dictionary longer than the window counts with its last 32 KiB.
        const std::size_t dictionary = (dictionaries >> (p % 8)) & 1 ? from : 0;
        const Bytes piece = tessilor::deflatePiece(data.data() + from, to - from, dictionary, p + 1 == ends.size());
        stream.insert(stream.end(), piece.begin(), piece.end());
        from = to;
    }
    bool ok = false;
    const Bytes back = inflateRaw(stream, data.size(), &ok);
    FUZZ_CHECK(ok);
    FUZZ_CHECK(back == data);
    return 0;
}
