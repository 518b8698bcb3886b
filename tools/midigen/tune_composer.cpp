#include "tune_composer.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <vector>

namespace midi {
namespace {

constexpr int kPpq = 480;
constexpr std::uint32_t kEighth = kPpq / 2;
constexpr std::uint32_t kBar = kPpq * 4;

// splitmix64: tiny, fast and the same everywhere (the standard distributions are not).
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // 0 <= result < n
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }

 private:
  std::uint64_t state_;
};

constexpr std::array<int, 7> kMajor{0, 2, 4, 5, 7, 9, 11};

// Scale degree (any integer, 7 per octave) to a MIDI key above `tonic`.
int Pitch(int tonic, int degree) {
  const int octave = degree >= 0 ? degree / 7 : -((-degree + 6) / 7);
  return tonic + 12 * octave + kMajor[static_cast<std::size_t>(degree - 7 * octave)];
}

// Four-bar progressions as chord roots (scale degrees: 0 = I, 3 = IV, 4 = V, 5 = vi).
constexpr std::array<std::array<int, 4>, 6> kProgressions{{
    {0, 4, 5, 3},
    {5, 3, 0, 4},
    {0, 5, 3, 4},
    {1, 4, 0, 5},
    {0, 3, 1, 4},
    {3, 0, 4, 5},
}};

// Melody rhythms of one bar, in eighths.
const std::vector<std::vector<int>> kRhythms{
    {2, 2, 2, 2}, {3, 1, 2, 2}, {2, 1, 1, 2, 2}, {4, 2, 2}, {1, 1, 2, 1, 1, 2}, {2, 2, 4}, {3, 3, 2}, {2, 2, 1, 1, 2},
};

enum class Section { Intro, Verse, Chorus, Bridge, Outro };

struct Bar {
  Section section;
  int chord;      // root degree
  bool first;     // first bar of its section
  bool cadence;   // last bar of a phrase: the melody comes to rest
};

bool IsChordTone(int degree, int root) {
  const int d = ((degree - root) % 7 + 7) % 7;
  return d == 0 || d == 2 || d == 4;
}

int NearestChordTone(int degree, int root) {
  for (int step = 0; step < 4; ++step) {
    if (IsChordTone(degree - step, root)) return degree - step;
    if (IsChordTone(degree + step, root)) return degree + step;
  }
  return degree;
}

std::vector<Bar> Plan(Random& rng) {
  const auto& verse = kProgressions[static_cast<std::size_t>(rng.Below(3))];
  const auto& chorus = kProgressions[static_cast<std::size_t>(3 + rng.Below(3))];
  const auto& bridge = kProgressions[static_cast<std::size_t>(rng.Below(6))];
  std::vector<Bar> bars;
  auto add = [&](Section s, const std::array<int, 4>& prog, int count) {
    for (int i = 0; i < count; ++i) {
      bars.push_back(Bar{s, prog[static_cast<std::size_t>(i % 4)], i == 0, i % 4 == 3});
    }
  };
  add(Section::Intro, verse, 4);
  add(Section::Verse, verse, 8);
  add(Section::Chorus, chorus, 8);
  add(Section::Bridge, bridge, 4);
  add(Section::Verse, verse, 4);
  add(Section::Chorus, chorus, 4);
  add(Section::Outro, {0, 3, 4, 0}, 4);
  return bars;
}

// One bar of melody notes: (start eighth, length in eighths, degree).
struct MelodyNote {
  int start, length, degree;
};
using MelodyBar = std::vector<MelodyNote>;

MelodyBar MakeMelodyBar(Random& rng, const Bar& bar, int& degree) {
  MelodyBar notes;
  const std::vector<int>& rhythm = kRhythms[static_cast<std::size_t>(rng.Below(static_cast<int>(kRhythms.size())))];
  int at = 0;
  for (std::size_t i = 0; i < rhythm.size(); ++i) {
    if (i == 0) {
      degree = NearestChordTone(degree, bar.chord);
    } else {
      static constexpr int kSteps[] = {-2, -1, -1, 1, 1, 2, 0, 3, -3};
      degree += kSteps[rng.Below(9)];
    }
    // Stay within an octave and a half above the melody's home note.
    if (degree < 7) degree += 2;
    if (degree > 17) degree -= 3;
    notes.push_back(MelodyNote{at, rhythm[i], degree});
    at += rhythm[i];
  }
  if (bar.cadence) {
    // End the phrase on a long chord tone.
    notes.resize(std::min<std::size_t>(notes.size(), 2));
    MelodyNote& last = notes.back();
    last.degree = NearestChordTone(last.degree, bar.chord);
    last.length = 8 - last.start;
    degree = last.degree;
  }
  return notes;
}

void NameTrack(Track& t, const char* name, int channel, int program, int volume, int pan) {
  t.Name(0, name);
  if (channel != kDrumChannel) t.ProgramChange(0, channel, program);
  t.ControlChange(0, channel, 7, volume);
  t.ControlChange(0, channel, 10, pan);
  t.ControlChange(0, channel, 91, 50);
}

}  // namespace

Song ComposeTune(const TuneOptions& options) {
  if (options.tempoBpm < 40 || options.tempoBpm > 240) throw std::invalid_argument("tempo out of range");
  Random rng(0x5EED0000ULL ^ options.seed);
  static constexpr int kKeys[] = {60, 62, 65, 67, 57};  // C, D, F, G, A major
  const int tonic = kKeys[rng.Below(5)];
  const std::vector<Bar> bars = Plan(rng);

  Song song(kPpq);
  Track& conductor = song.AddTrack();
  conductor.Name(0, "Installer tune");
  conductor.TimeSignature(0, 4, 2);
  conductor.Tempo(0, static_cast<std::uint32_t>(60000000 / options.tempoBpm));

  Track& melody = song.AddTrack();
  Track& pad = song.AddTrack();
  Track& bass = song.AddTrack();
  Track& arp = song.AddTrack();
  Track& drums = song.AddTrack();
  static constexpr int kLeads[] = {73, 11, 0, 71, 80};  // flute, vibraphone, piano, clarinet, square lead
  NameTrack(melody, "Melody", kMelodyChannel, kLeads[rng.Below(5)], 100, 64);
  NameTrack(pad, "Pad", kPadChannel, rng.Chance(50) ? 48 : 89, 64, 40);  // strings or warm pad
  NameTrack(bass, "Bass", kBassChannel, 33, 100, 64);                     // fingered bass
  NameTrack(arp, "Arpeggio", kArpChannel, 46, 72, 88);                    // harp
  NameTrack(drums, "Drums", kDrumChannel, 0, 84, 64);

  // Verse and chorus melodies are written once (eight bars each) and come back, so
  // the tune has themes.
  std::vector<MelodyBar> verseTheme, chorusTheme;
  int degree = 9;
  std::size_t verseBar = 0, chorusBar = 0;

  for (std::size_t i = 0; i < bars.size(); ++i) {
    const Bar& bar = bars[i];
    const std::uint32_t t0 = static_cast<std::uint32_t>(i) * kBar;
    const bool last = i + 1 == bars.size();
    const int fade = bar.section == Section::Outro ? static_cast<int>(i - (bars.size() - 4)) * 12 : 0;

    // Pad: the chord, held for the bar (the last one rings a little longer).
    for (int k = 0; k < 3; ++k) {
      pad.Note(t0, last ? kBar * 2 : kBar, kPadChannel, Pitch(tonic - 12, bar.chord + 2 * k), 62 - fade / 2);
    }

    // Bass: root, a pickup, the fifth and the octave.
    // Kept below the middle of the keyboard: root from A1 to B2.
    int root = Pitch(tonic - 24, bar.chord);
    if (root > 47) root -= 12;
    const int fifth = root + Pitch(tonic, bar.chord + 4) - Pitch(tonic, bar.chord);
    if (bar.section == Section::Intro || last) {
      bass.Note(t0, last ? kBar * 2 : kBar, kBassChannel, root, 90);
    } else {
      bass.Note(t0, 3 * kEighth - 20, kBassChannel, root, 100);
      bass.Note(t0 + 3 * kEighth, kEighth - 20, kBassChannel, root, 80);
      bass.Note(t0 + 4 * kEighth, 2 * kEighth - 20, kBassChannel, fifth, 92);
      bass.Note(t0 + 6 * kEighth, 2 * kEighth - 20, kBassChannel, root + 12, 88);
    }

    // Arpeggio in the chorus and bridge: chord tones up and down in eighths.
    if (bar.section == Section::Chorus || bar.section == Section::Bridge) {
      static constexpr int kShape[] = {0, 2, 4, 7, 9, 7, 4, 2};
      for (int e = 0; e < 8; ++e) {
        arp.Note(t0 + static_cast<std::uint32_t>(e) * kEighth, kEighth, kArpChannel,
                 Pitch(tonic, bar.chord + kShape[e]), e % 2 == 0 ? 70 : 56);
      }
    }

    // Melody: themes for verse and chorus, free lines in the bridge, nothing in the
    // intro; the outro repeats the opening of the verse and ends on the tonic.
    MelodyBar line;
    switch (bar.section) {
      case Section::Intro:
        break;
      case Section::Verse:
        if (verseTheme.size() < 8 && verseBar >= verseTheme.size()) verseTheme.push_back(MakeMelodyBar(rng, bar, degree));
        line = verseTheme[verseBar++ % verseTheme.size()];
        break;
      case Section::Chorus:
        if (chorusTheme.size() < 8 && chorusBar >= chorusTheme.size()) chorusTheme.push_back(MakeMelodyBar(rng, bar, degree));
        line = chorusTheme[chorusBar++ % chorusTheme.size()];
        break;
      case Section::Bridge:
        line = MakeMelodyBar(rng, bar, degree);
        break;
      case Section::Outro:
        line = last ? MelodyBar{{0, 16, 7}} : verseTheme[(i % 4) % verseTheme.size()];
        break;
    }
    for (const MelodyNote& n : line) {
      const int accent = n.start % 4 == 0 ? 12 : 0;
      melody.Note(t0 + static_cast<std::uint32_t>(n.start) * kEighth,
                  static_cast<std::uint32_t>(n.length) * kEighth - 30, kMelodyChannel, Pitch(tonic, n.degree),
                  std::max(40, 84 + accent - fade));
    }

    // Drums: hats in eighths, kick on one and three, snare on two and four, a crash
    // at each new section; the intro keeps to hats and kick, the last bar to a crash.
    if (last) {
      drums.Note(t0, kEighth, kDrumChannel, 49, 90);
      drums.Note(t0, kEighth, kDrumChannel, 36, 90);
      continue;
    }
    if (bar.first && bar.section != Section::Intro) drums.Note(t0, kEighth, kDrumChannel, 49, 96);
    for (int e = 0; e < 8; ++e) {
      const std::uint32_t at = t0 + static_cast<std::uint32_t>(e) * kEighth;
      const bool openHat = bar.cadence && e == 7;
      drums.Note(at, kEighth / 2, kDrumChannel, openHat ? 46 : 42, (e % 2 == 0 ? 70 : 50) - fade / 2);
      if (e == 0 || e == 4 || (e == 5 && rng.Chance(30))) drums.Note(at, kEighth / 2, kDrumChannel, 36, 104 - fade);
      if (bar.section != Section::Intro && (e == 2 || e == 6)) drums.Note(at, kEighth / 2, kDrumChannel, 38, 96 - fade);
    }
  }

  const std::uint32_t end = static_cast<std::uint32_t>(bars.size() + 1) * kBar;
  for (Track& t : song.Tracks()) t.EndAt(end);
  return song;
}

}  // namespace midi
