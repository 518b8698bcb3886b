// A small seeded composer: a chord progression in sections, with melody, pad, bass,
// an arpeggio and drums on General MIDI channels. The same options always give the
// same file, on every platform.
#pragma once

#include <cstdint>

#include "midi_writer.h"

namespace midi {

struct TuneOptions {
  std::uint32_t seed = 1;
  int tempoBpm = 100;  // quarter notes per minute, 40..240
};

// Channels of the parts (channel 9 is General MIDI percussion).
enum TuneChannel : int { kMelodyChannel = 0, kPadChannel = 1, kBassChannel = 2, kArpChannel = 3, kDrumChannel = 9 };

// Bars of 4/4 the tune lasts, whatever the seed; at the default tempo about 86 s.
constexpr int kTuneBars = 36;

// A format 1 song: a conductor track (tempo, metre, name) and one track per part.
// Throws std::invalid_argument for a tempo out of range.
Song ComposeTune(const TuneOptions& options);

}  // namespace midi
