// Standard MIDI File writer: tracks of timed channel and meta events, encoded as a
// format 1 file (one tempo/conductor track first by convention, then one track per
// part). Used by the tune generator and by tests that need small tunes of a known
// length.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace midi {

// Appends `value` as a MIDI variable-length quantity (7 bits per byte, high bit set on
// every byte but the last). Values above 0x0FFFFFFF do not fit and throw
// std::invalid_argument.
void AppendVarLen(std::vector<std::uint8_t>& out, std::uint32_t value);

// One track: events at absolute tick positions, added in any order. Encoding sorts
// them by tick; at equal ticks note-offs go first (so a repeated note is not cut by
// its own predecessor's release), then everything else in the order it was added.
// Channels are 0..15 (channel 9 is the General MIDI percussion channel); data bytes
// 0..127. Out-of-range arguments throw std::invalid_argument.
class Track {
 public:
  void NoteOn(std::uint32_t tick, int channel, int note, int velocity);
  void NoteOff(std::uint32_t tick, int channel, int note);
  // Note-on at `tick` and its note-off `duration` ticks later (duration >= 1).
  void Note(std::uint32_t tick, std::uint32_t duration, int channel, int note, int velocity);
  void ProgramChange(std::uint32_t tick, int channel, int program);
  void ControlChange(std::uint32_t tick, int channel, int controller, int value);
  // Tempo meta event, microseconds per quarter note (1..0xFFFFFF).
  void Tempo(std::uint32_t tick, std::uint32_t microsPerQuarter);
  void TimeSignature(std::uint32_t tick, int numerator, int denominatorPower);
  void Name(std::uint32_t tick, const std::string& name);
  // Moves the end-of-track marker to at least `tick` (it otherwise sits on the last
  // event), so a track can end in a rest.
  void EndAt(std::uint32_t tick);

  // The track's event data without the chunk header, ending with end-of-track.
  std::vector<std::uint8_t> EncodeEvents() const;
  std::uint32_t LastTick() const;
  std::size_t EventCount() const { return events_.size(); }

 private:
  struct Event {
    std::uint32_t tick;
    std::size_t order;  // insertion order, keeps sorting stable
    bool noteOff;
    std::vector<std::uint8_t> bytes;
  };
  void Add(std::uint32_t tick, bool noteOff, std::vector<std::uint8_t> bytes);

  std::vector<Event> events_;
  std::uint32_t endTick_ = 0;
};

// A whole file: the ticks-per-quarter-note division and its tracks.
class Song {
 public:
  explicit Song(int ticksPerQuarter = 480);
  // The reference stays valid while the song lives, however many tracks follow.
  Track& AddTrack();
  std::deque<Track>& Tracks() { return tracks_; }
  const std::deque<Track>& Tracks() const { return tracks_; }
  int TicksPerQuarter() const { return division_; }

  // The complete file: "MThd" chunk (format 1, or 0 for a single track) and one
  // "MTrk" chunk per track.
  std::vector<std::uint8_t> Encode() const;
  // Writes Encode() to `path`; false when the file cannot be written completely.
  bool WriteFile(const std::string& path) const;

 private:
  int division_;
  std::deque<Track> tracks_;
};

}  // namespace midi
