// The decoders of the three methods: stored, LZ77 (ACE 1.0) and blocked (ACE 2.0).
#pragma once

#include <memory>

#include "bit_reader.h"
#include "decoder.h"
#include "lz_window.h"

namespace ace {

std::unique_ptr<EntryDecoder> MakeStoredDecoder(ByteSource& source, LzWindow& window,
                                                const EntryParams& params);
std::unique_ptr<EntryDecoder> MakeLz77Decoder(BitReader& br, LzWindow& window,
                                              const EntryParams& params);
std::unique_ptr<EntryDecoder> MakeBlockedDecoder(BitReader& br, LzWindow& window,
                                                 const EntryParams& params);

}  // namespace ace
