#include "midi_check.h"

#include <cstring>

namespace {

std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}
std::uint16_t Be16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }
std::uint32_t Le32(const std::uint8_t* p) {
  return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}

// Reads a variable-length quantity of at most four bytes; false when it runs past
// `end` or is longer.
bool ReadVarLen(const std::uint8_t*& p, const std::uint8_t* end, std::uint32_t& value) {
  value = 0;
  for (int i = 0; i < 4; ++i) {
    if (p == end) return false;
    const std::uint8_t b = *p++;
    value = (value << 7) | (b & 0x7F);
    if ((b & 0x80) == 0) return true;
  }
  return false;
}

// Bytes of data that follow a channel status byte.
int ChannelDataBytes(std::uint8_t status) {
  switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
      return 1;
    default:
      return 2;
  }
}

std::string CheckTrack(const std::uint8_t* p, const std::uint8_t* end, int index) {
  const std::string where = "track " + std::to_string(index + 1) + ": ";
  std::uint8_t running = 0;
  while (p < end) {
    std::uint32_t delta = 0;
    if (!ReadVarLen(p, end, delta)) return where + "bad delta time";
    if (p == end) return where + "event missing after delta time";
    std::uint8_t status = *p;
    if (status & 0x80) {
      ++p;
    } else if (running == 0) {
      return where + "data byte without a status";
    } else {
      status = running;
    }

    if (status == 0xFF) {
      if (p == end) return where + "truncated meta event";
      const std::uint8_t type = *p++;
      std::uint32_t length = 0;
      if (!ReadVarLen(p, end, length) || length > static_cast<std::uint32_t>(end - p)) {
        return where + "truncated meta event";
      }
      p += length;
      running = 0;
      if (type == 0x2F) return {};  // end of track; anything after it is ignored
    } else if (status == 0xF0 || status == 0xF7) {
      std::uint32_t length = 0;
      if (!ReadVarLen(p, end, length) || length > static_cast<std::uint32_t>(end - p)) {
        return where + "truncated system exclusive event";
      }
      p += length;
      running = 0;
    } else if (status >= 0xF0) {
      return where + "unknown event";
    } else {
      const int count = ChannelDataBytes(status);
      if (end - p < count) return where + "truncated channel event";
      for (int i = 0; i < count; ++i) {
        if (p[i] & 0x80) return where + "bad channel event data";
      }
      p += count;
      running = status;
    }
  }
  return where + "no end of track";
}

std::string CheckSmf(const std::uint8_t* data, std::size_t size) {
  if (size < 14 || std::memcmp(data, "MThd", 4) != 0) return "no MIDI header";
  const std::uint32_t headerLength = Be32(data + 4);
  if (headerLength < 6 || headerLength > size - 8) return "bad MIDI header length";
  const std::uint16_t format = Be16(data + 8);
  const std::uint16_t tracks = Be16(data + 10);
  const std::uint16_t division = Be16(data + 12);
  if (format > 2) return "unknown MIDI file format";
  if (tracks == 0) return "no tracks";
  if (division == 0) return "zero time division";

  const std::uint8_t* p = data + 8 + headerLength;
  const std::uint8_t* const end = data + size;
  int found = 0;
  while (found < tracks) {
    if (end - p < 8) return "track " + std::to_string(found + 1) + " missing";
    const std::uint32_t length = Be32(p + 4);
    if (length > static_cast<std::uint32_t>(end - p - 8)) return "chunk runs past the end of the file";
    const std::uint8_t* body = p + 8;
    if (std::memcmp(p, "MTrk", 4) == 0) {
      std::string fault = CheckTrack(body, body + length, found);
      if (!fault.empty()) return fault;
      ++found;
    }
    p = body + length;  // unknown chunks are skipped
  }
  return {};
}

}  // namespace

std::string FindMidiFault(const std::vector<std::uint8_t>& data) {
  const std::uint8_t* p = data.data();
  std::size_t size = data.size();
  if (size >= 12 && std::memcmp(p, "RIFF", 4) == 0 && std::memcmp(p + 8, "RMID", 4) == 0) {
    // RIFF MIDI: the file proper is the "data" chunk.
    std::size_t at = 12;
    while (true) {
      if (size - at < 8) return "RIFF MIDI without a data chunk";
      const std::uint32_t length = Le32(p + at + 4);
      if (length > size - at - 8) return "RIFF chunk runs past the end of the file";
      if (std::memcmp(p + at, "data", 4) == 0) return CheckSmf(p + at + 8, length);
      at += 8 + length + (length & 1);
      if (at > size) return "RIFF MIDI without a data chunk";
    }
  }
  return CheckSmf(p, size);
}
