// make_payload OUTDIR SOURCES [--scale PERCENT] [--copy NAME=FILE ...]
//
// Expands the few small files in SOURCES into the Lantern Harbour demo's payload of
// a few tens of MiB: the captain's manual in chapters, a change log, coast charts in
// PPM and harbour icons in BMP, a cargo ledger, binary tide tables, an empty saves/
// folder, and copies of built programs under bin/. The output depends only on the sources, the scale and the copied files:
// every number comes from one fixed seed.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// splitmix64: small, fast and the same everywhere.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  template <class T>
  const T& Pick(const std::vector<T>& v) { return v[static_cast<std::size_t>(Below(static_cast<int>(v.size())))]; }

 private:
  std::uint64_t state_;
};

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + p.string());
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Write(const fs::path& p, const std::string& data) {
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  if (!out) throw std::runtime_error("cannot write " + p.string());
}

std::vector<std::string> Split(const std::string& s, char by) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : s) {
    if (c == by) {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  parts.push_back(cur);
  for (auto& p : parts) {
    while (!p.empty() && p.front() == ' ') p.erase(p.begin());
    while (!p.empty() && p.back() == ' ') p.pop_back();
  }
  parts.erase(std::remove(parts.begin(), parts.end(), std::string()), parts.end());
  return parts;
}

// "group: a b c" lines; "place", "adverb" and "goods" are split at ',', "tip" at '|',
// the others at blanks.
std::map<std::string, std::vector<std::string>> ReadGroups(const std::string& text) {
  std::map<std::string, std::vector<std::string>> groups;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string name = line.substr(0, colon);
    const std::string rest = line.substr(colon + 1);
    char by = ' ';
    if (name == "place" || name == "adverb" || name == "goods") by = ',';
    if (name == "tip") by = '|';
    groups[name] = Split(rest, by);
  }
  for (const char* needed : {"noun", "verb", "adjective", "adverb", "place", "goods", "tip"}) {
    if (groups[needed].empty()) throw std::runtime_error(std::string("words.txt lacks the group ") + needed);
  }
  return groups;
}

std::string Capital(std::string s) {
  if (!s.empty() && s[0] >= 'a' && s[0] <= 'z') s[0] = static_cast<char>(s[0] - 'a' + 'A');
  return s;
}

std::string Sentence(Random& r, std::map<std::string, std::vector<std::string>>& g) {
  std::string s = "the " + r.Pick(g["adjective"]) + " " + r.Pick(g["noun"]) + " " + r.Pick(g["verb"]) + " the " +
                  r.Pick(g["noun"]);
  if (r.Below(2)) s += " " + r.Pick(g["place"]);
  if (r.Below(3) == 0) s += " " + r.Pick(g["adverb"]);
  return Capital(s) + ".";
}

// Wraps words at 76 columns.
std::string Wrap(const std::string& text) {
  std::string out, line;
  std::istringstream in(text);
  std::string word;
  while (in >> word) {
    if (!line.empty() && line.size() + 1 + word.size() > 76) {
      out += line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  if (!line.empty()) out += line + "\n";
  return out;
}

std::string Chapter(Random& r, std::map<std::string, std::vector<std::string>>& g, int number, std::size_t bytes,
                    std::string& title) {
  title = Capital(r.Pick(g["adjective"])) + " " + r.Pick(g["noun"]) + "s";
  std::string text = "Chapter " + std::to_string(number) + ": " + title + "\n" + std::string(11 + title.size() + (number > 9), '=') + "\n\n";
  int section = 0;
  while (text.size() < bytes) {
    ++section;
    text += std::to_string(number) + "." + std::to_string(section) + " " + Capital(r.Pick(g["verb"])) + " the " +
            r.Pick(g["noun"]) + "\n\n";
    const int paragraphs = 2 + r.Below(4);
    for (int p = 0; p < paragraphs; ++p) {
      std::string para;
      const int sentences = 3 + r.Below(6);
      for (int s = 0; s < sentences; ++s) para += Sentence(r, g) + " ";
      text += Wrap(para) + "\n";
    }
    text += "Tip: " + r.Pick(g["tip"]) + "\n\n";
  }
  return text;
}

std::string ChangeLog(Random& r, const std::vector<std::string>& phrases, const std::vector<std::string>& nouns) {
  std::string text = "Lantern Harbour - change log\n\n";
  int year = 2026, month = 11, day = 20;
  // From the release back to the first playable build: 1.0, then 0.9 down to 0.1.
  for (int major = 1; major >= 0; --major) {
    for (int minor = (major == 1 ? 0 : 9); minor >= (major == 0 ? 1 : 0); --minor) {
      // year, month and day always stay in range; the modulo tells the compiler so.
      char date[16];
      std::snprintf(date, sizeof date, "%04u-%02u-%02u", static_cast<unsigned>(year) % 10000u,
                    static_cast<unsigned>(month) % 100u, static_cast<unsigned>(day) % 100u);
      text += "Version " + std::to_string(major) + "." + std::to_string(minor) + " (" + date + ")\n";
      // Each phrase at most once a version: draw from a shuffled list of them.
      std::vector<std::size_t> order(phrases.size());
      for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
      const std::size_t entries = std::min<std::size_t>(order.size(), static_cast<std::size_t>(5 + r.Below(11)));
      for (std::size_t e = 0; e < entries; ++e) {
        std::swap(order[e], order[e + static_cast<std::size_t>(r.Below(static_cast<int>(order.size() - e)))]);
        std::string p = phrases[order[e]];
        for (std::size_t at; (at = p.find("{n}")) != std::string::npos;) p.replace(at, 3, std::to_string(2 + r.Below(98)));
        for (std::size_t at; (at = p.find("{thing}")) != std::string::npos;) p.replace(at, 7, r.Pick(nouns));
        const auto colon = p.find(':');
        text += "  * " + Capital(p.substr(0, colon)) + ":" + p.substr(colon + 1) + "\n";
      }
      text += "\n";
      day -= 9 + r.Below(20);
      while (day < 1) {
        day += 28;
        if (--month < 1) {
          month = 12;
          --year;
        }
      }
    }
  }
  return text;
}

// A seeded fractal stretch of coast (midpoint displacement on a 2^k grid), coloured
// by height: sea, shore and fields, bare rock.
std::vector<std::array<std::uint8_t, 3>> Landscape(Random& r, int width, int height) {
  int size = 1;
  while (size < std::max(width, height)) size *= 2;
  const int n = size + 1;
  std::vector<float> h(static_cast<std::size_t>(n) * n, 0.0f);
  auto at = [&](int x, int y) -> float& { return h[static_cast<std::size_t>(y) * n + x]; };
  auto noise = [&](float amp) { return (static_cast<float>(r.Below(2001)) / 1000.0f - 1.0f) * amp; };
  at(0, 0) = noise(1); at(size, 0) = noise(1); at(0, size) = noise(1); at(size, size) = noise(1);
  float amp = 0.8f;
  for (int step = size; step > 1; step /= 2, amp *= 0.55f) {
    const int half = step / 2;
    for (int y = half; y < n; y += step)
      for (int x = half; x < n; x += step)
        at(x, y) = (at(x - half, y - half) + at(x + half, y - half) + at(x - half, y + half) + at(x + half, y + half)) / 4 + noise(amp);
    for (int y = 0; y < n; y += half)
      for (int x = (y / half % 2 == 0) ? half : 0; x < n; x += step) {
        float sum = 0;
        int count = 0;
        if (x >= half) { sum += at(x - half, y); ++count; }
        if (x + half < n) { sum += at(x + half, y); ++count; }
        if (y >= half) { sum += at(x, y - half); ++count; }
        if (y + half < n) { sum += at(x, y + half); ++count; }
        at(x, y) = sum / static_cast<float>(count) + noise(amp);
      }
  }
  std::vector<std::array<std::uint8_t, 3>> pixels(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const float v = std::clamp(at(x, y), -1.0f, 1.0f);
      std::array<std::uint8_t, 3> c;
      if (v < -0.1f) {
        c = {static_cast<std::uint8_t>(10), static_cast<std::uint8_t>(40 + (v + 1) * 60), static_cast<std::uint8_t>(110 + (v + 1) * 120)};
      } else if (v < 0.35f) {
        c = {static_cast<std::uint8_t>(50 + v * 100), static_cast<std::uint8_t>(120 + v * 150), static_cast<std::uint8_t>(40)};
      } else {
        const auto g = static_cast<std::uint8_t>(120 + v * 130);
        c = {g, g, g};
      }
      pixels[static_cast<std::size_t>(y) * width + x] = c;
    }
  return pixels;
}

std::string Ppm(const std::vector<std::array<std::uint8_t, 3>>& px, int width, int height) {
  std::string out = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  for (const auto& c : px) out.append(reinterpret_cast<const char*>(c.data()), 3);
  return out;
}

void Put16(std::string& s, std::uint32_t v) { s += static_cast<char>(v & 0xFF); s += static_cast<char>(v >> 8 & 0xFF); }
void Put32(std::string& s, std::uint32_t v) { Put16(s, v & 0xFFFF); Put16(s, v >> 16); }

// A 24-bit bottom-up BMP.
std::string Bmp(const std::vector<std::array<std::uint8_t, 3>>& px, int width, int height) {
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
  const std::uint32_t image = stride * static_cast<std::uint32_t>(height);
  std::string out = "BM";
  Put32(out, 54 + image); Put32(out, 0); Put32(out, 54);
  Put32(out, 40); Put32(out, static_cast<std::uint32_t>(width)); Put32(out, static_cast<std::uint32_t>(height));
  Put16(out, 1); Put16(out, 24); Put32(out, 0); Put32(out, image); Put32(out, 2835); Put32(out, 2835); Put32(out, 0); Put32(out, 0);
  for (int y = height - 1; y >= 0; --y) {
    std::string row;
    for (int x = 0; x < width; ++x) {
      const auto& c = px[static_cast<std::size_t>(y) * width + x];
      row += static_cast<char>(c[2]); row += static_cast<char>(c[1]); row += static_cast<char>(c[0]);
    }
    row.resize(stride, '\0');
    out += row;
  }
  return out;
}

// The cargo ledger: one shipment a row, goods bought in one harbour for another.
std::string CargoLedger(Random& r, const std::vector<std::string>& goods, int harbours, int rows) {
  std::string out = "id,goods,from,to,crates,days_at_sea,price\n";
  for (int i = 1; i <= rows; ++i) {
    out += std::to_string(i) + "," + r.Pick(goods) + "," + std::to_string(1 + r.Below(harbours)) + "," +
           std::to_string(1 + r.Below(harbours)) + "," + std::to_string(1 + r.Below(500)) + "," +
           std::to_string(1 + r.Below(12)) + "." + std::to_string(r.Below(10)) + "," +
           std::to_string(5 * (1 + r.Below(400))) + "\n";
  }
  return out;
}

// Tide records: 32 bytes each (record number, harbour, hour of the day, then six
// words of water levels), part structure and part noise, so it packs poorly.
std::string TideTables(Random& r, int harbours, int records) {
  std::string out = "LHTT";
  Put32(out, static_cast<std::uint32_t>(records));
  for (int i = 0; i < records; ++i) {
    Put32(out, static_cast<std::uint32_t>(i));
    Put16(out, static_cast<std::uint32_t>(1 + r.Below(harbours)));
    Put16(out, static_cast<std::uint32_t>(r.Below(24)));
    for (int k = 0; k < 6; ++k) Put32(out, static_cast<std::uint32_t>(r.Next()));
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc < 3) {
      std::cerr << "usage: make_payload OUTDIR SOURCES [--scale PERCENT] [--copy NAME=FILE ...]\n";
      return 2;
    }
    const fs::path out = argv[1];
    const fs::path sources = argv[2];
    int scale = 100;
    std::vector<std::pair<std::string, fs::path>> copies;
    for (int i = 3; i < argc; ++i) {
      const std::string a = argv[i];
      if (a == "--scale" && i + 1 < argc) {
        scale = std::max(1, std::atoi(argv[++i]));
      } else if (a == "--copy" && i + 1 < argc) {
        const std::string copy = argv[++i];
        const auto eq = copy.find('=');
        if (eq == std::string::npos) throw std::runtime_error("--copy wants NAME=FILE, not " + copy);
        copies.push_back({copy.substr(0, eq), copy.substr(eq + 1)});
      } else {
        throw std::runtime_error("unknown argument " + a);
      }
    }
    auto scaled = [&](double full) { return std::max<std::size_t>(1, static_cast<std::size_t>(full * scale / 100.0)); };

    // Start from an empty folder, so that nothing of an earlier run stays behind.
    fs::remove_all(out);
    fs::create_directories(out);
    Random r(0x4c616e7465726e73ull);  // fixed seed: "Lanterns"
    auto groups = ReadGroups(ReadText(sources / "words.txt"));

    Write(out / "readme.txt", ReadText(sources / "readme.txt"));

    std::vector<std::string> phrases;
    {
      std::istringstream in(ReadText(sources / "changes.txt"));
      std::string line;
      while (std::getline(in, line))
        if (!line.empty() && line[0] != '#') {
          if (line.find(':') == std::string::npos) throw std::runtime_error("changes.txt: no \"kind:\" in " + line);
          phrases.push_back(line);
        }
    }
    if (phrases.empty()) throw std::runtime_error("changes.txt holds no phrases");
    Write(out / "CHANGELOG.txt", ChangeLog(r, phrases, groups["noun"]));

    const int chapters = static_cast<int>(std::min<std::size_t>(24, scaled(24)));
    std::string index = "Lantern Harbour - the captain's manual\n\n";
    for (int c = 1; c <= chapters; ++c) {
      std::string title;
      const std::string text = Chapter(r, groups, c, scaled(360 * 1024), title);
      char name[64];
      std::snprintf(name, sizeof name, "chapter-%02d.txt", c);
      Write(out / "docs" / "manual" / name, text);
      index += std::string(name) + "  " + title + "\n";
    }
    Write(out / "docs" / "index.txt", index);

    const int maps = static_cast<int>(std::min<std::size_t>(8, scaled(8)));
    const int mapW = static_cast<int>(std::min<std::size_t>(800, scaled(800)));
    const int mapH = static_cast<int>(std::min<std::size_t>(600, scaled(600)));
    for (int m = 1; m <= maps; ++m) {
      const auto px = Landscape(r, mapW, mapH);
      char name[64];
      std::snprintf(name, sizeof name, "map-%02d.ppm", m);
      Write(out / "pictures" / "maps" / name, Ppm(px, mapW, mapH));
    }
    for (int i = 1; i <= 12; ++i) {
      const auto px = Landscape(r, 64, 64);
      char name[64];
      std::snprintf(name, sizeof name, "icon-%02d.bmp", i);
      Write(out / "pictures" / "icons" / name, Bmp(px, 64, 64));
    }

    constexpr int kHarbours = 40;  // on the whole coast; the demo sails to the first six
    Write(out / "data" / "cargo.csv", CargoLedger(r, groups["goods"], kHarbours, static_cast<int>(scaled(60000))));
    Write(out / "data" / "tides.bin", TideTables(r, kHarbours, static_cast<int>(scaled(96 * 1024))));
    fs::create_directories(out / "saves");

    for (const auto& [name, file] : copies) {
      fs::create_directories(out / "bin");
      fs::copy_file(file, out / "bin" / name, fs::copy_options::overwrite_existing);
      fs::permissions(out / "bin" / name, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                              fs::perms::others_read | fs::perms::others_exec);
    }
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "make_payload: " << e.what() << "\n";
    return 1;
  }
}
