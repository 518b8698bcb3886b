#include "midi_writer.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace midi {
namespace {

constexpr std::uint32_t kMaxVarLen = 0x0FFFFFFF;

void CheckChannel(int channel) {
  if (channel < 0 || channel > 15) throw std::invalid_argument("MIDI channel out of range");
}

std::uint8_t DataByte(int value, const char* what) {
  if (value < 0 || value > 127) throw std::invalid_argument(std::string(what) + " out of range");
  return static_cast<std::uint8_t>(value);
}

void CheckTick(std::uint32_t tick) {
  if (tick > kMaxVarLen) throw std::invalid_argument("tick position too large");
}

void AppendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) {
    out.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

}  // namespace

void AppendVarLen(std::vector<std::uint8_t>& out, std::uint32_t value) {
  if (value > kMaxVarLen) throw std::invalid_argument("value does not fit a variable-length quantity");
  std::uint8_t groups[4];
  int count = 0;
  do {
    groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (count > 1) out.push_back(static_cast<std::uint8_t>(groups[--count] | 0x80));
  out.push_back(groups[0]);
}

void Track::Add(std::uint32_t tick, bool noteOff, std::vector<std::uint8_t> bytes) {
  CheckTick(tick);
  events_.push_back(Event{tick, events_.size(), noteOff, std::move(bytes)});
}

void Track::NoteOn(std::uint32_t tick, int channel, int note, int velocity) {
  CheckChannel(channel);
  const std::uint8_t key = DataByte(note, "note");
  const std::uint8_t vel = DataByte(velocity, "velocity");
  // A note-on of velocity 0 means note-off to every reader; keep the sorting honest.
  Add(tick, vel == 0, {static_cast<std::uint8_t>(0x90 | channel), key, vel});
}

void Track::NoteOff(std::uint32_t tick, int channel, int note) {
  CheckChannel(channel);
  Add(tick, true, {static_cast<std::uint8_t>(0x80 | channel), DataByte(note, "note"), 64});
}

void Track::Note(std::uint32_t tick, std::uint32_t duration, int channel, int note, int velocity) {
  if (duration == 0) throw std::invalid_argument("note duration must be at least one tick");
  if (velocity == 0) throw std::invalid_argument("a sounding note needs a velocity above 0");
  if (duration > kMaxVarLen - std::min(tick, kMaxVarLen)) throw std::invalid_argument("note ends too late");
  NoteOn(tick, channel, note, velocity);
  NoteOff(tick + duration, channel, note);
}

void Track::ProgramChange(std::uint32_t tick, int channel, int program) {
  CheckChannel(channel);
  Add(tick, false, {static_cast<std::uint8_t>(0xC0 | channel), DataByte(program, "program")});
}

void Track::ControlChange(std::uint32_t tick, int channel, int controller, int value) {
  CheckChannel(channel);
  Add(tick, false,
      {static_cast<std::uint8_t>(0xB0 | channel), DataByte(controller, "controller"), DataByte(value, "value")});
}

void Track::Tempo(std::uint32_t tick, std::uint32_t microsPerQuarter) {
  if (microsPerQuarter == 0 || microsPerQuarter > 0xFFFFFF) throw std::invalid_argument("tempo out of range");
  std::vector<std::uint8_t> bytes{0xFF, 0x51, 0x03};
  AppendBigEndian(bytes, microsPerQuarter, 3);
  Add(tick, false, std::move(bytes));
}

void Track::TimeSignature(std::uint32_t tick, int numerator, int denominatorPower) {
  if (numerator < 1 || numerator > 255 || denominatorPower < 0 || denominatorPower > 6) {
    throw std::invalid_argument("time signature out of range");
  }
  Add(tick, false,
      {0xFF, 0x58, 0x04, static_cast<std::uint8_t>(numerator), static_cast<std::uint8_t>(denominatorPower), 24, 8});
}

void Track::Name(std::uint32_t tick, const std::string& name) {
  std::vector<std::uint8_t> bytes{0xFF, 0x03};
  AppendVarLen(bytes, static_cast<std::uint32_t>(name.size()));
  bytes.insert(bytes.end(), name.begin(), name.end());
  Add(tick, false, std::move(bytes));
}

void Track::EndAt(std::uint32_t tick) {
  CheckTick(tick);
  endTick_ = std::max(endTick_, tick);
}

std::uint32_t Track::LastTick() const {
  std::uint32_t last = endTick_;
  for (const Event& e : events_) last = std::max(last, e.tick);
  return last;
}

std::vector<std::uint8_t> Track::EncodeEvents() const {
  std::vector<const Event*> sorted;
  sorted.reserve(events_.size());
  for (const Event& e : events_) sorted.push_back(&e);
  std::sort(sorted.begin(), sorted.end(), [](const Event* a, const Event* b) {
    if (a->tick != b->tick) return a->tick < b->tick;
    if (a->noteOff != b->noteOff) return a->noteOff;
    return a->order < b->order;
  });

  std::vector<std::uint8_t> out;
  std::uint32_t now = 0;
  for (const Event* e : sorted) {
    AppendVarLen(out, e->tick - now);
    now = e->tick;
    out.insert(out.end(), e->bytes.begin(), e->bytes.end());
  }
  AppendVarLen(out, LastTick() - now);
  out.insert(out.end(), {0xFF, 0x2F, 0x00});
  return out;
}

Song::Song(int ticksPerQuarter) : division_(ticksPerQuarter) {
  if (ticksPerQuarter < 1 || ticksPerQuarter > 0x7FFF) throw std::invalid_argument("division out of range");
}

Track& Song::AddTrack() {
  tracks_.emplace_back();
  return tracks_.back();
}

std::vector<std::uint8_t> Song::Encode() const {
  if (tracks_.empty() || tracks_.size() > 0xFFFF) throw std::invalid_argument("a song needs 1 to 65535 tracks");
  std::vector<std::uint8_t> out{'M', 'T', 'h', 'd'};
  AppendBigEndian(out, 6, 4);
  AppendBigEndian(out, tracks_.size() == 1 ? 0 : 1, 2);
  AppendBigEndian(out, static_cast<std::uint32_t>(tracks_.size()), 2);
  AppendBigEndian(out, static_cast<std::uint32_t>(division_), 2);
  for (const Track& track : tracks_) {
    const std::vector<std::uint8_t> data = track.EncodeEvents();
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    AppendBigEndian(out, static_cast<std::uint32_t>(data.size()), 4);
    out.insert(out.end(), data.begin(), data.end());
  }
  return out;
}

bool Song::WriteFile(const std::string& path) const {
  const std::vector<std::uint8_t> bytes = Encode();
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.close();
  return static_cast<bool>(file);
}

}  // namespace midi
