#include "description.h"

#include <cctype>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace mkrelease {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A comment runs from ';' or '#' at the start of a line, or after a blank, to the end.
std::string_view StripComment(std::string_view line) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    if ((line[i] == ';' || line[i] == '#') && (i == 0 || IsBlank(line[i - 1]))) return line.substr(0, i);
  }
  return line;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

int ParseLevel(std::string_view text, const std::string& where) {
  if (text.size() == 1 && text[0] >= '0' && text[0] <= '5') return text[0] - '0';
  throw ReleaseError(where + ": level must be a whole number from 0 (store) to 5 (best), not '" +
                     std::string(text) + "'");
}

}  // namespace

std::uint64_t ParseSize(std::string_view text) {
  const std::string shown(text);
  std::string_view digits = Trim(text);
  std::uint64_t unit = 1;
  if (!digits.empty()) {
    switch (std::toupper(static_cast<unsigned char>(digits.back()))) {
      case 'K': unit = 1ull << 10; break;
      case 'M': unit = 1ull << 20; break;
      case 'G': unit = 1ull << 30; break;
      default: break;
    }
    if (unit != 1) digits.remove_suffix(1);
  }
  if (digits.empty() || digits.size() > 12) {
    throw ReleaseError("'" + shown + "' is not a size: write bytes, or a number followed by K, M or G");
  }
  std::uint64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') {
      throw ReleaseError("'" + shown + "' is not a size: write bytes, or a number followed by K, M or G");
    }
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value > std::numeric_limits<std::uint64_t>::max() / unit) throw ReleaseError("the size '" + shown + "' is too large");
  return value * unit;
}

ReleaseDescription ParseDescription(std::string_view text, const fs::path& baseDir, const std::string& source) {
  ReleaseDescription d;
  std::map<std::string, std::pair<std::string, int>> values;  // key -> (value, line)
  bool inRelease = false;
  bool sawSection = false;
  int lineNo = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    ++lineNo;
    const std::string_view line = Trim(StripComment(text.substr(pos, end - pos)));
    pos = end + 1;
    const std::string where = source + " line " + std::to_string(lineNo);
    if (line.empty()) continue;
    if (line.front() == '[') {
      if (line.back() != ']') throw ReleaseError(where + ": a section line must end with ']'");
      const std::string name = Lower(Trim(line.substr(1, line.size() - 2)));
      if (name != "release") throw ReleaseError(where + ": unknown section [" + name + "]; the only section is [release]");
      if (sawSection) throw ReleaseError(where + ": the section [release] is given twice");
      inRelease = sawSection = true;
      continue;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) throw ReleaseError(where + ": expected 'key = value'");
    if (!inRelease) throw ReleaseError(where + ": keys belong in the section [release]; put that line first");
    const std::string key = Lower(Trim(line.substr(0, eq)));
    const std::string value(Trim(line.substr(eq + 1)));
    static const char* const known[] = {"title",    "payload",  "volume_size", "nfo",        "tune",
                                        "pictures", "sheet",    "execute",     "regfile1",   "regfile2",
                                        "defaultdir", "installer", "level"};
    bool isKnown = false;
    for (const char* k : known) isKnown = isKnown || key == k;
    if (!isKnown) throw ReleaseError(where + ": unknown key '" + key + "'");
    if (values.count(key)) {
      throw ReleaseError(where + ": '" + key + "' is already given on line " + std::to_string(values[key].second));
    }
    values[key] = {value, lineNo};
  }
  if (!sawSection) throw ReleaseError(source + " has no section [release]");

  auto where = [&](const std::string& key) { return source + " line " + std::to_string(values[key].second); };
  auto required = [&](const std::string& key) -> std::string {
    auto it = values.find(key);
    if (it == values.end()) throw ReleaseError(source + " lacks the key '" + key + "'");
    if (it->second.first.empty()) throw ReleaseError(where(key) + ": '" + key + "' is empty");
    return it->second.first;
  };
  auto pathOf = [&](const std::string& value) { return (baseDir / fs::path(value)).lexically_normal(); };
  auto optionalPath = [&](const std::string& key) -> std::optional<fs::path> {
    auto it = values.find(key);
    if (it == values.end()) return std::nullopt;
    if (it->second.first.empty()) throw ReleaseError(where(key) + ": '" + key + "' is empty; remove the line or name a file");
    return pathOf(it->second.first);
  };

  d.title = required("title");
  d.payload = pathOf(required("payload"));
  d.nfo = pathOf(required("nfo"));
  if (values.count("volume_size")) {
    try {
      d.volumeSize = ParseSize(values["volume_size"].first);
    } catch (const ReleaseError& e) {
      throw ReleaseError(where("volume_size") + ": " + e.what());
    }
  }
  d.tune = optionalPath("tune");
  d.pictures = optionalPath("pictures");
  d.sheet = optionalPath("sheet");
  if (d.pictures && d.sheet) {
    throw ReleaseError(source + " gives both 'pictures' and 'sheet'; keep one of them");
  }
  if (!d.pictures && !d.sheet) {
    throw ReleaseError(source + " needs 'pictures' (a folder with the six pictures) or 'sheet' (a ready install.dat)");
  }
  if (values.count("execute")) d.execute = values["execute"].first;
  d.regfile1 = optionalPath("regfile1");
  d.regfile2 = optionalPath("regfile2");
  if (values.count("defaultdir")) d.defaultDir = values["defaultdir"].first;
  if (auto installer = optionalPath("installer")) d.installer = *installer;
  if (values.count("level")) d.level = ParseLevel(values["level"].first, where("level"));
  return d;
}

ReleaseDescription ReadDescription(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw ReleaseError("cannot read the description " + file.string() + "; check the path");
  std::ostringstream text;
  text << in.rdbuf();
  fs::path base = file.parent_path();
  if (base.empty()) base = ".";
  ReleaseDescription d = ParseDescription(text.str(), base, file.string());
  d.descriptionFile = file;
  return d;
}

}  // namespace mkrelease
