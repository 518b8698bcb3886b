// The release description: a small ini-style file that names what goes into a
// release folder. Every path in it is taken relative to the file's own folder.
//
//   [release]
//   title = demo            ; volumes demo.ace, demo.c00, ...
//   payload = payload/      ; the folder packed into the archive set
//   volume_size = 8M        ; largest volume (K, M, G suffixes; plain bytes)
//   nfo = demo.nfo
//   tune = tune.mid         ; optional
//   pictures = art/         ; the six pictures by name ... or: sheet = install.dat
//   execute = readme.txt    ; optional, a payload file opened after installing
//   regfile1 = key.txt      ; optional, copied beside the installer, then into the
//   regfile2 = ...          ;   destination folder by the installer
//   defaultdir = Demo       ; optional, the proposed new folder name
//   installer = ../install  ; optional; default: the installer built beside mkrelease
//   level = 3               ; optional compression level 0..5
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace mkrelease {

// Every refusal of mkrelease: the message names the input and says what to change.
class ReleaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ReleaseDescription {
  std::filesystem::path descriptionFile;   // empty when parsed from text
  std::string title;                       // base name of the volumes
  std::filesystem::path payload;
  std::uint64_t volumeSize = 8ull << 20;
  std::filesystem::path nfo;
  std::optional<std::filesystem::path> tune;
  std::optional<std::filesystem::path> pictures;  // folder with the six pictures
  std::optional<std::filesystem::path> sheet;     // or a ready-made install.dat
  std::string execute;                     // path inside the payload, '/'-separated
  std::optional<std::filesystem::path> regfile1;
  std::optional<std::filesystem::path> regfile2;
  std::optional<std::string> defaultDir;
  std::filesystem::path installer;         // empty: the caller's default
  int level = 3;
};

// Parses the text of a description. Relative paths are joined to `baseDir`.
// Throws ReleaseError naming the line for unknown, repeated or missing keys and for
// values that cannot be read; `source` names the file in messages.
ReleaseDescription ParseDescription(std::string_view text, const std::filesystem::path& baseDir,
                                    const std::string& source = "the description");

// Reads and parses a description file.
ReleaseDescription ReadDescription(const std::filesystem::path& file);

// "8M", "512K", "1G", "1000000": a size in bytes (K = 1024). Throws ReleaseError.
std::uint64_t ParseSize(std::string_view text);

}  // namespace mkrelease
