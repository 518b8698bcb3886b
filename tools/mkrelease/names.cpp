#include "names.h"

#include "description.h"

#include <cctype>
#include <string_view>

namespace mkrelease {
namespace {

constexpr std::size_t kIniValueLimit = 1023;  // the installer reads values into 1024 bytes

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

void CheckComponent(const std::string& what, const std::string& whole, const std::string& part, bool asciiOnly) {
  if (part.empty()) throw ReleaseError(what + " '" + whole + "' has an empty path component; remove the doubled '/'");
  if (part == "." || part == "..") {
    throw ReleaseError(what + " '" + whole + "' uses '" + part + "'; give a plain path inside its folder");
  }
  for (unsigned char c : part) {
    if (c < 0x20 || c == 0x7F || (c > 0x7F && asciiOnly)) {
      throw ReleaseError(what + " '" + whole + "' holds a character outside printable ASCII; rename it");
    }
    if (c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|') {
      throw ReleaseError(what + " '" + whole + "' holds the character '" + std::string(1, static_cast<char>(c)) +
                         "', which archive names cannot carry; rename it");
    }
  }
}

}  // namespace

void CheckIniValue(const std::string& what, const std::string& value) {
  for (unsigned char c : value) {
    if (c == '\n' || c == '\r') throw ReleaseError(what + " holds a line break; install.ini needs it on one line");
    if (c < 0x20 || c == 0x7F) throw ReleaseError(what + " holds a control character; remove it");
  }
  if (value.find('=') != std::string::npos) {
    throw ReleaseError(what + " '" + value + "' holds '='; install.ini cannot carry it, rename it");
  }
  if (value.size() > kIniValueLimit) {
    throw ReleaseError(what + " is " + std::to_string(value.size()) +
                       " bytes long; the installer reads at most 1023, shorten it");
  }
  if (!value.empty() && (value.front() == ' ' || value.front() == '\t' || value.back() == ' ' || value.back() == '\t')) {
    throw ReleaseError(what + " '" + value + "' begins or ends with a blank, which the installer would drop; remove it");
  }
  if (!value.empty() && (value.front() == '"' || value.front() == '\'' || value.back() == '"' || value.back() == '\'')) {
    throw ReleaseError(what + " '" + value + "' begins or ends with a quotation mark, which the installer would drop; remove it");
  }
}

void CheckReleaseFileName(const std::string& what, const std::string& name) {
  if (name.empty()) throw ReleaseError(what + " is empty; give a file name");
  CheckIniValue(what, name);
  if (name.find('/') != std::string::npos) {
    throw ReleaseError(what + " '" + name + "' is not a plain file name; the release folder has no subfolders for it");
  }
  CheckComponent(what, name, name, true);
  if (IsReservedReleaseName(name)) {
    throw ReleaseError(what + " '" + name + "' is a name the release folder itself uses; rename it");
  }
}

namespace {

void CheckRelativePath(const std::string& what, const std::string& path, bool asciiOnly) {
  if (path.empty()) throw ReleaseError(what + " is empty; give a path inside the payload");
  CheckIniValue(what, path);
  if (path.front() == '/') throw ReleaseError(what + " '" + path + "' is absolute; give it relative to the payload folder");
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    CheckComponent(what, path, path.substr(start, end - start), asciiOnly);
    start = end + 1;
  }
}

}  // namespace

void CheckPayloadPath(const std::string& what, const std::string& path) { CheckRelativePath(what, path, true); }

void CheckPayloadName(const std::string& what, const std::string& path) { CheckRelativePath(what, path, false); }

bool IsReservedReleaseName(const std::string& name) {
  static const char* const reserved[] = {"install", "install.ini", "install.dat", "qt.conf",
                                         "lib",     "platforms",   "xcbglintegrations"};
  const std::string lower = Lower(name);
  for (const char* r : reserved)
    if (lower == r) return true;
  return false;
}

}  // namespace mkrelease
