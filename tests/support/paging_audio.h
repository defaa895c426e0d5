// Paging traffic as a receiver's discriminator hears it: the codewords of POCSAG batches and
// FLEX frames sent as two-level NRZ audio, 16-bit signed samples at 22050 per second, for
// decoders that work from audio.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "support/paging_encoder.h"

namespace polvane::testing {

inline constexpr int kAudioRate = 22050;

using Audio = std::vector<std::int16_t>;

// A POCSAG transmission at 1200 bit/s: 576 bits of preamble, then the codewords in batches of
// 16, each batch after the synchronisation codeword (the last batch filled with idle
// codewords), then one batch of idle codewords. A 1 bit is the low level.
Audio PocsagAudio(const std::vector<PagingWord>& codewords);

// FLEX frames of one phase at 1600 bit/s, two levels: a preamble, then per frame the
// synchronisation (the 1600 bit/s code, the marker, the code's complement and 16 bits of
// dotting), the frame information word with the cycle and frame numbers, 40 bits of second
// synchronisation, and the 88 words in 11 blocks of 8, each block sent bit by bit across its
// words (position 1 of all eight words first). Frame i has frame number (first + i) mod 128.
// A 1 bit is the high level.
Audio FlexAudio(const std::vector<FlexFrame>& frames, int cycle = 0, int first = 0);

// Writes the samples in the machine's byte order, as raw audio readers take them.
void WriteRawAudio(const std::filesystem::path& path, const Audio& audio);

}  // namespace polvane::testing
