// The Standard MIDI File writer used by the tune generator and the tests.
#include "midi_writer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes VarLen(std::uint32_t v) {
  Bytes out;
  midi::AppendVarLen(out, v);
  return out;
}

TEST(MidiWriter, VariableLengthQuantitiesAtEveryByteBoundary) {
  EXPECT_EQ(VarLen(0), (Bytes{0x00}));
  EXPECT_EQ(VarLen(0x40), (Bytes{0x40}));
  EXPECT_EQ(VarLen(0x7F), (Bytes{0x7F}));
  EXPECT_EQ(VarLen(0x80), (Bytes{0x81, 0x00}));
  EXPECT_EQ(VarLen(0x2000), (Bytes{0xC0, 0x00}));
  EXPECT_EQ(VarLen(0x3FFF), (Bytes{0xFF, 0x7F}));
  EXPECT_EQ(VarLen(0x4000), (Bytes{0x81, 0x80, 0x00}));
  EXPECT_EQ(VarLen(0x1FFFFF), (Bytes{0xFF, 0xFF, 0x7F}));
  EXPECT_EQ(VarLen(0x200000), (Bytes{0x81, 0x80, 0x80, 0x00}));
  EXPECT_EQ(VarLen(0x0FFFFFFF), (Bytes{0xFF, 0xFF, 0xFF, 0x7F}));
  EXPECT_THROW(VarLen(0x10000000), std::invalid_argument);
}

TEST(MidiWriter, EncodesASingleTrackFileExactly) {
  midi::Song song(96);
  midi::Track& t = song.AddTrack();
  t.Note(0, 200, 1, 60, 100);
  t.ProgramChange(0, 1, 5);
  t.Tempo(0, 500000);
  const Bytes expected{
      'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,  // format 0, one track, 96 per quarter
      'M', 'T', 'r', 'k', 0, 0, 0, 23,                    //
      0x00, 0x91, 60, 100,                                // events at one tick keep their order
      0x00, 0xC1, 5,                                      //
      0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,           // 500000 us per quarter
      0x81, 0x48, 0x81, 60, 64,                           // 200 ticks later
      0x00, 0xFF, 0x2F, 0x00};
  EXPECT_EQ(song.Encode(), expected);
}

TEST(MidiWriter, SortsByTickWithReleasesFirst) {
  midi::Song song(480);
  midi::Track& t = song.AddTrack();
  t.Note(480, 480, 0, 62, 80);  // added first, but later in time
  t.Note(0, 480, 0, 62, 90);    // ends exactly where the other begins
  t.NoteOn(960, 0, 64, 0);      // velocity 0 is a release too
  t.ControlChange(960, 0, 64, 127);
  t.EndAt(1920);
  const Bytes events = t.EncodeEvents();
  const Bytes expected{0x00, 0x90, 62, 90,
                       0x83, 0x60, 0x80, 62, 64,  // 480: release of the first note before the next starts
                       0x00, 0x90, 62, 80,
                       0x83, 0x60, 0x80, 62, 64,  // 960: releases, then the controller
                       0x00, 0x90, 64, 0,
                       0x00, 0xB0, 64, 127,
                       0x87, 0x40, 0xFF, 0x2F, 0x00};  // end of track at 1920
  EXPECT_EQ(events, expected);
  EXPECT_EQ(t.LastTick(), 1920u);
}

TEST(MidiWriter, FormatOneForSeveralTracksAndMetaEvents) {
  midi::Song song(480);
  song.AddTrack().Name(0, "Lead");
  song.AddTrack().TimeSignature(0, 3, 2);
  const Bytes out = song.Encode();
  ASSERT_GE(out.size(), 14u);
  EXPECT_EQ(out[9], 1);   // format 1
  EXPECT_EQ(out[11], 2);  // two tracks
  const Bytes name{0x00, 0xFF, 0x03, 4, 'L', 'e', 'a', 'd', 0x00, 0xFF, 0x2F, 0x00};
  EXPECT_EQ(Bytes(out.begin() + 22, out.begin() + 22 + 12), name);
  const Bytes signature{0x00, 0xFF, 0x58, 0x04, 3, 2, 24, 8, 0x00, 0xFF, 0x2F, 0x00};
  EXPECT_EQ(Bytes(out.end() - 12, out.end()), signature);
}

TEST(MidiWriter, TrackReferencesSurviveMoreTracks) {
  midi::Song song(480);
  midi::Track& first = song.AddTrack();
  for (int i = 0; i < 100; ++i) song.AddTrack();
  first.Note(0, 10, 0, 60, 100);  // through the reference taken before the others
  EXPECT_EQ(song.Tracks().front().EventCount(), 2u);
  EXPECT_EQ(song.Encode().size(), 14u + 101u * 12u + 8u);  // empty tracks are end-of-track only
}

TEST(MidiWriter, RejectsWhatAFileCannotHold) {
  midi::Track t;
  EXPECT_THROW(t.NoteOn(0, 16, 60, 100), std::invalid_argument);
  EXPECT_THROW(t.NoteOn(0, -1, 60, 100), std::invalid_argument);
  EXPECT_THROW(t.NoteOn(0, 0, 128, 100), std::invalid_argument);
  EXPECT_THROW(t.NoteOff(0, 0, -1), std::invalid_argument);
  EXPECT_THROW(t.Note(0, 0, 0, 60, 100), std::invalid_argument);
  EXPECT_THROW(t.Note(0, 10, 0, 60, 0), std::invalid_argument);
  EXPECT_THROW(t.Note(0x0FFFFFF0, 0x20, 0, 60, 100), std::invalid_argument);
  EXPECT_THROW(t.ProgramChange(0, 0, 128), std::invalid_argument);
  EXPECT_THROW(t.ControlChange(0, 0, 7, 200), std::invalid_argument);
  EXPECT_THROW(t.Tempo(0, 0), std::invalid_argument);
  EXPECT_THROW(t.Tempo(0, 0x1000000), std::invalid_argument);
  EXPECT_THROW(t.TimeSignature(0, 4, 7), std::invalid_argument);
  EXPECT_THROW(t.EndAt(0x10000000), std::invalid_argument);
  EXPECT_EQ(t.EventCount(), 0u) << "a rejected event must not be half added";
  EXPECT_THROW(midi::Song(0), std::invalid_argument);
  EXPECT_THROW(midi::Song(0x8000), std::invalid_argument);
  EXPECT_THROW(midi::Song(480).Encode(), std::invalid_argument);
}

TEST(MidiWriter, WritesTheFileAndReportsFailure) {
  const test_support::TempFolder dir("midiwriter");
  midi::Song song(480);
  song.AddTrack().Note(0, 10, 0, 60, 100);
  const std::string path = (dir / "a.mid").string();
  ASSERT_TRUE(song.WriteFile(path));
  EXPECT_EQ(test_support::ReadBytes(path), song.Encode());
  EXPECT_FALSE(song.WriteFile((dir / "no-such-folder" / "b.mid").string()));
  EXPECT_FALSE(song.WriteFile(dir.Path().string()));  // a folder is not a file
}

}  // namespace
