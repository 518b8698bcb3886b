// The seeded tune composer and the midigen tool, checked through an independent
// reading of the files they write.
#include "tune_composer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>
#include <unistd.h>

#include "midi_check.h"
#include "test_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct NoteEvent {
  std::uint64_t tick;
  int channel, key, velocity;  // velocity 0: release
};

// What a reader sees in a file: notes, programs, tempo changes, the last tick.
struct Reading {
  int division = 0;
  std::vector<NoteEvent> notes;
  std::map<int, int> programs;                      // channel -> program
  std::vector<std::pair<std::uint64_t, std::uint32_t>> tempos;  // tick -> us per quarter
  std::uint64_t endTick = 0;
};

std::uint32_t Be(const Bytes& b, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | b.at(at + static_cast<std::size_t>(i));
  return v;
}

Reading Read(const Bytes& b) {
  Reading r;
  if (Be(b, 0, 4) != 0x4D546864) throw std::runtime_error("no header");
  r.division = static_cast<int>(Be(b, 12, 2));
  const int tracks = static_cast<int>(Be(b, 10, 2));
  std::size_t at = 14;
  for (int t = 0; t < tracks; ++t) {
    if (Be(b, at, 4) != 0x4D54726B) throw std::runtime_error("no track");
    const std::size_t end = at + 8 + Be(b, at + 4, 4);
    at += 8;
    std::uint64_t tick = 0;
    int status = 0;
    while (at < end) {
      std::uint32_t delta = 0;
      std::uint8_t c;
      do {
        c = b.at(at++);
        delta = (delta << 7) | (c & 0x7F);
      } while (c & 0x80);
      tick += delta;
      if (b.at(at) & 0x80) status = b.at(at++);
      if (status == 0xFF) {
        const int type = b.at(at++);
        const std::size_t len = b.at(at++);
        if (type == 0x51) r.tempos.emplace_back(tick, Be(b, at, 3));
        at += len;
      } else if ((status & 0xF0) == 0x90 || (status & 0xF0) == 0x80) {
        const int key = b.at(at), vel = b.at(at + 1);
        r.notes.push_back({tick, status & 0x0F, key, (status & 0xF0) == 0x80 ? 0 : vel});
        at += 2;
      } else if ((status & 0xF0) == 0xC0) {
        r.programs[status & 0x0F] = b.at(at++);
      } else if ((status & 0xF0) == 0xB0) {
        at += 2;
      } else {
        throw std::runtime_error("unexpected event");
      }
    }
    r.endTick = std::max(r.endTick, tick);
    at = end;
  }
  return r;
}

double Seconds(const Reading& r) {
  double seconds = 0;
  std::uint64_t last = 0;
  std::uint32_t tempo = 500000;
  for (const auto& [tick, us] : r.tempos) {
    seconds += static_cast<double>(tick - last) * tempo / 1e6 / r.division;
    last = tick;
    tempo = us;
  }
  return seconds + static_cast<double>(r.endTick - last) * tempo / 1e6 / r.division;
}

Bytes Compose(std::uint32_t seed, int tempo = 100) { return midi::ComposeTune({seed, tempo}).Encode(); }

TEST(TuneComposer, SameSeedSameFileOtherSeedsOtherTunes) {
  std::set<Bytes> distinct;
  for (std::uint32_t seed = 1; seed <= 20; ++seed) {
    const Bytes tune = Compose(seed);
    EXPECT_EQ(tune, Compose(seed)) << "seed " << seed;
    distinct.insert(tune);
  }
  EXPECT_EQ(distinct.size(), 20u);
}

TEST(TuneComposer, LastsOneToTwoMinutesAndFollowsTheTempo) {
  for (std::uint32_t seed = 1; seed <= 20; ++seed) {
    const Reading r = Read(Compose(seed));
    const double seconds = Seconds(r);
    EXPECT_GE(seconds, 60.0) << "seed " << seed;
    EXPECT_LE(seconds, 120.0) << "seed " << seed;
    EXPECT_EQ(r.endTick, static_cast<std::uint64_t>(midi::kTuneBars + 1) * 4 * r.division);
  }
  EXPECT_NEAR(Seconds(Read(Compose(3, 50))), 2 * Seconds(Read(Compose(3, 100))), 0.01);
  EXPECT_THROW(midi::ComposeTune({1, 39}), std::invalid_argument);
  EXPECT_THROW(midi::ComposeTune({1, 241}), std::invalid_argument);
}

TEST(TuneComposer, EveryPartOnItsGeneralMidiChannel) {
  for (std::uint32_t seed = 1; seed <= 10; ++seed) {
    const Bytes tune = Compose(seed);
    EXPECT_EQ(FindMidiFault(tune), "");
    const Reading r = Read(tune);
    std::map<int, int> notesPerChannel;
    for (const NoteEvent& n : r.notes) {
      if (n.velocity > 0) ++notesPerChannel[n.channel];
    }
    for (int ch : {midi::kMelodyChannel, midi::kPadChannel, midi::kBassChannel, midi::kArpChannel, midi::kDrumChannel}) {
      EXPECT_GT(notesPerChannel[ch], 16) << "channel " << ch << ", seed " << seed;
    }
    EXPECT_EQ(notesPerChannel.size(), 5u);
    // Instruments on the melodic channels; the percussion channel needs none.
    EXPECT_EQ(r.programs.size(), 4u);
    EXPECT_EQ(r.programs.count(midi::kDrumChannel), 0u);
    EXPECT_EQ(r.programs.at(midi::kBassChannel), 33);
    for (const NoteEvent& n : r.notes) {
      if (n.channel == midi::kDrumChannel) {
        EXPECT_TRUE(std::set<int>({36, 38, 42, 46, 49}).count(n.key)) << n.key;
      } else if (n.channel == midi::kBassChannel) {
        EXPECT_LT(n.key, 60);
      } else if (n.channel == midi::kMelodyChannel) {
        EXPECT_GE(n.key, 60);
        EXPECT_LE(n.key, 100);
      }
    }
  }
}

TEST(TuneComposer, NotesAreReleasedAndNeverRestruckWhileSounding) {
  for (std::uint32_t seed = 1; seed <= 10; ++seed) {
    const Reading r = Read(Compose(seed));
    std::map<std::pair<int, int>, std::uint64_t> sounding;  // (channel, key) -> since
    for (const NoteEvent& n : r.notes) {
      const auto key = std::make_pair(n.channel, n.key);
      if (n.velocity > 0) {
        EXPECT_EQ(sounding.count(key), 0u) << "restruck " << n.key << " on " << n.channel << " at " << n.tick;
        sounding[key] = n.tick;
      } else {
        ASSERT_EQ(sounding.count(key), 1u) << "release without a note at " << n.tick;
        EXPECT_GT(n.tick, sounding[key]);
        sounding.erase(key);
      }
      EXPECT_LE(n.tick, r.endTick);
    }
    EXPECT_TRUE(sounding.empty()) << "seed " << seed;
  }
}

TEST(MidigenTool, WritesTheComposedTuneAndRefusesBadArguments) {
  const test_support::TempFolder dir("midigen");
  const std::string out = (dir / "tune.mid").string();
  const std::string tool = MIDIGEN_PATH;
  ASSERT_EQ(std::system((tool + " --seed 42 --tempo 120 '" + out + "'").c_str()), 0);
  EXPECT_EQ(test_support::ReadBytes(out), Compose(42, 120));

  auto exitCode = [&](const std::string& args) {
    const int status = std::system((tool + " " + args + " 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(exitCode(""), 2);
  EXPECT_EQ(exitCode("--seed x '" + out + "'"), 2);
  EXPECT_EQ(exitCode("--tempo 20 '" + out + "'"), 2);
  EXPECT_EQ(exitCode("'" + out + "' second.mid"), 2);
  EXPECT_EQ(exitCode("'" + (dir / "none" / "x.mid").string() + "'"), 1);
}

}  // namespace
