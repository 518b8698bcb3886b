// The structural MIDI check that lets a damaged tune fail at open.
#include "midi_check.h"

#include <gtest/gtest.h>

#include "midi_writer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division = 480) {
  return {'M', 'T', 'h', 'd', 0, 0, 0, 6,
          static_cast<std::uint8_t>(format >> 8), static_cast<std::uint8_t>(format),
          static_cast<std::uint8_t>(tracks >> 8), static_cast<std::uint8_t>(tracks),
          static_cast<std::uint8_t>(division >> 8), static_cast<std::uint8_t>(division)};
}

Bytes Chunk(const char* id, const Bytes& body) {
  Bytes out(id, id + 4);
  const auto n = static_cast<std::uint32_t>(body.size());
  out.insert(out.end(), {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
                         static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const Bytes kEnd{0x00, 0xFF, 0x2F, 0x00};

Bytes WrittenSong() {
  midi::Song song(480);
  midi::Track& conductor = song.AddTrack();
  conductor.Tempo(0, 500000);
  conductor.Name(0, "conductor");
  midi::Track& part = song.AddTrack();
  part.ProgramChange(0, 3, 40);
  part.ControlChange(0, 3, 7, 100);
  part.Note(0, 480, 3, 64, 90);
  part.Note(480, 240, 9, 36, 120);
  return song.Encode();
}

TEST(MidiCheck, AcceptsWellFormedFiles) {
  EXPECT_EQ(FindMidiFault(WrittenSong()), "");
  // Running status, a velocity-0 note-off, sysex and an unknown chunk that is skipped.
  const Bytes running = Join({Header(0, 1), Chunk("XFIH", {1, 2, 3}),
                              Chunk("MTrk", {0x00, 0x90, 60, 100, 0x60, 62, 100, 0x60, 60, 0, 0x00, 62, 0, 0x00,
                                             0xF0, 0x02, 0x7E, 0xF7, 0x00, 0xFF, 0x2F, 0x00})});
  EXPECT_EQ(FindMidiFault(running), "");
  // Track data after end-of-track is ignored, as players do.
  EXPECT_EQ(FindMidiFault(Join({Header(0, 1), Chunk("MTrk", {0x00, 0xFF, 0x2F, 0x00, 0x42, 0x42})})), "");
  // SMPTE time division.
  EXPECT_EQ(FindMidiFault(Join({Header(0, 1, 0xE728), Chunk("MTrk", kEnd)})), "");
}

TEST(MidiCheck, EveryCutShortCopyIsDamaged) {
  const Bytes whole = WrittenSong();
  for (std::size_t size = 0; size < whole.size(); ++size) {
    const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_NE(FindMidiFault(cut), "") << "cut to " << size << " bytes";
  }
}

TEST(MidiCheck, NamesTheFault) {
  struct Case {
    Bytes data;
    const char* fault;
  };
  const Case cases[] = {
      {{'R', 'I', 'F', 'F'}, "no MIDI header"},
      {Join({Header(3, 1), Chunk("MTrk", kEnd)}), "unknown MIDI file format"},
      {Join({Header(1, 0), Chunk("MTrk", kEnd)}), "no tracks"},
      {Join({Header(0, 1, 0), Chunk("MTrk", kEnd)}), "zero time division"},
      {Join({Header(1, 2), Chunk("MTrk", kEnd)}), "track 2 missing"},
      {Join({Header(0, 1), Chunk("MTrk", {0x00, 0x90, 60, 100})}), "track 1: no end of track"},
      {Join({Header(0, 1), Chunk("MTrk", {0x00, 60, 100, 0x00, 0xFF, 0x2F, 0x00})}),
       "track 1: data byte without a status"},
      {Join({Header(0, 1), Chunk("MTrk", {0x00, 0xF4, 0x00, 0xFF, 0x2F, 0x00})}), "track 1: unknown event"},
      {Join({Header(0, 1), Chunk("MTrk", {0x00, 0x90, 60, 0x80, 0x00, 0xFF, 0x2F, 0x00})}),
       "track 1: bad channel event data"},
      {Join({Header(0, 1), Chunk("MTrk", {0x00, 0xC0})}), "track 1: truncated channel event"},
      {Join({Header(0, 1), Chunk("MTrk", {0x00, 0xFF, 0x03, 0x10, 'a'})}), "track 1: truncated meta event"},
      {Join({Header(0, 1), Chunk("MTrk", {0x00, 0xF0, 0x05, 0x01})}), "track 1: truncated system exclusive event"},
      {Join({Header(0, 1), Chunk("MTrk", {0x81, 0x81, 0x81, 0x81, 0x00, 0xFF, 0x2F, 0x00})}),
       "track 1: bad delta time"},
      {Join({Header(0, 1), Chunk("MTrk", {0x00})}), "track 1: event missing after delta time"},
      {Join({Header(0, 1), Bytes{'M', 'T', 'r', 'k', 0, 0, 1, 0, 0x00}}), "chunk runs past the end of the file"},
      {Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 0x60, 0, 0, 0, 1, 1, 0xE0}, "bad MIDI header length"},
  };
  for (const Case& c : cases) EXPECT_EQ(FindMidiFault(c.data), c.fault);
}

TEST(MidiCheck, LooksInsideRiffMidi) {
  const Bytes song = WrittenSong();
  auto riff = [](const Bytes& chunks) {
    Bytes out{'R', 'I', 'F', 'F'};
    const auto n = static_cast<std::uint32_t>(chunks.size() + 4);
    out.insert(out.end(), {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                           static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)});
    out.insert(out.end(), {'R', 'M', 'I', 'D'});
    out.insert(out.end(), chunks.begin(), chunks.end());
    return out;
  };
  auto le = [](const char* id, const Bytes& body) {
    Bytes out(id, id + 4);
    const auto n = static_cast<std::uint32_t>(body.size());
    out.insert(out.end(), {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                           static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)});
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1) out.push_back(0);
    return out;
  };
  EXPECT_EQ(FindMidiFault(riff(Join({le("LIST", {1, 2, 3}), le("data", song)}))), "");
  EXPECT_EQ(FindMidiFault(riff(le("LIST", {1, 2, 3}))), "RIFF MIDI without a data chunk");
  Bytes damaged = song;
  damaged.resize(20);
  EXPECT_NE(FindMidiFault(riff(le("data", damaged))), "");
  Bytes overlong = riff(le("data", song));
  overlong[16] = 0xFF;  // data chunk length far beyond the file
  overlong[17] = 0xFF;
  EXPECT_EQ(FindMidiFault(overlong), "RIFF chunk runs past the end of the file");
}

}  // namespace
