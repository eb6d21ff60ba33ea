#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A fast DEFLATE (RFC 1951) compressor for the image data of pictures of
// text art: one hash probe per position for a match of at least four bytes
// within the 32 KiB window (longer steps over data that keeps failing to
// match), and blocks of dynamic Huffman codes made for their own symbols.
// On drawn mosaics (export_bench, BM_DeflateArtRows) it takes 2.5 to 4 times
// less time than zlib's fastest level, for files 2 to 5 % larger; more than
// that, its pieces compress on threads of their own.
//
// A stream may be made of pieces compressed independently (on threads of
// their own): every piece but the last ends like zlib's sync flush, on a
// byte boundary with an empty stored block, so the pieces concatenate into
// one stream; the last piece ends the stream. A piece may take the data
// before it as its dictionary (its last 32 KiB count), as zlib's
// deflateSetDictionary does, to find matches across the cut.
namespace tessilor {

// Compresses size bytes at data; the dictionarySize bytes before data in
// memory are the data before the piece.
std::vector<std::uint8_t> deflatePiece(const std::uint8_t *data, std::size_t size, std::size_t dictionarySize,
                                       bool last);

} // namespace tessilor
