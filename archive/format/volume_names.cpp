#include "volume_names.h"

#include <cctype>
#include <cstdio>

#include "error.h"

namespace ace {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

constexpr int kLastLettered = 100;  // .c99

}  // namespace

std::string VolumeExtension(int index, char letter) {
  char ext[16];
  if (index <= kLastLettered)
    std::snprintf(ext, sizeof ext, "%c%02d", letter, index - 1);
  else
    std::snprintf(ext, sizeof ext, "%03d", index - 1);
  return ext;
}

std::vector<std::string> NextVolumeNames(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  std::string base = path;
  std::string ext;
  if (path.size() >= nameStart + 4 && path[path.size() - 4] == '.') {
    base = path.substr(0, path.size() - 3);
    ext = path.substr(path.size() - 3);
  } else {
    base = path + ".";
  }
  // The index of the volume after this one.
  int next = 1;
  if (ext.size() == 3 && (ext[0] == 'c' || ext[0] == 'C') && IsDigit(ext[1]) && IsDigit(ext[2])) {
    next = (ext[1] - '0') * 10 + (ext[2] - '0') + 2;
  } else if (ext.size() == 3 && IsDigit(ext[0]) && IsDigit(ext[1]) && IsDigit(ext[2])) {
    next = (ext[0] - '0') * 100 + (ext[1] - '0') * 10 + (ext[2] - '0') + 2;
  }
  if (next > kLastLettered) return {base + VolumeExtension(next, 0)};
  // Upper case first, then lower case; on a case-sensitive file system these
  // two cover every spelling of the letter, the current name's case included.
  return {base + VolumeExtension(next, 'C'), base + VolumeExtension(next, 'c')};
}

std::string MissingVolumeName(const std::string& path) {
  const std::vector<std::string> names = NextVolumeNames(path);
  if (names.size() < 2) return names.front();
  // Report the spelling whose letter has the case of the current extension.
  const char c = path.size() >= 3 ? path[path.size() - 3] : 'a';
  return std::isupper(static_cast<unsigned char>(c)) ? names[0] : names[1];
}

std::filesystem::path VolumePath(const std::filesystem::path& firstVolume, int index) {
  if (index == 0) return firstVolume;
  if (index < 0 || index > 255) throw Error(Status::BadConstant, "a volume set has at most 256 volumes");
  std::string name = firstVolume.filename().string();
  if (name.size() < 4 || name[name.size() - 4] != '.')
    throw Error(Status::BadConstant, "volume name '" + name + "' has no three-letter extension");
  name.replace(name.size() - 3, 3, VolumeExtension(index, 'c'));
  return firstVolume.parent_path() / name;
}

}  // namespace ace
