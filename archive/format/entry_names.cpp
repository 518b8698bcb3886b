#include "entry_names.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "code_page.h"
#include "layout.h"

namespace ace {
namespace {

// The character of valid UTF-8 `text` that starts at `at`, and its code point.
std::pair<std::string, char32_t> CharacterAt(const std::string& text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  char32_t code = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) code = code << 6 | (static_cast<unsigned char>(text[at + k]) & 0x3F);
  return {text.substr(at, length), code};
}

// Why a name with '\' separators only (no leading one) is refused, or empty.
std::string NameFault(const std::string& name, EntryName& forms) {
  if (name.empty()) return "is empty";
  if (name.front() == '\\') return "is absolute";
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return "contains a control character";
    if (std::strchr(":*?\"<>|", c)) return std::string("contains the character '") + char(c) + "'";
  }
  if (!IsUtf8(name)) return "is not valid UTF-8";
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find('\\', start);
    if (end == std::string::npos) end = name.size();
    const std::string part = name.substr(start, end - start);
    if (part.empty()) return "has an empty path component";
    if (IsUnsafeComponent(part)) return "has a '" + part + "' component";
    start = end + 1;
  }
  // Stored in code page 850, as the original tools on DOS and Windows expect.
  CodePage cp850;
  if (!cp850.Open(kDefaultCodePage)) return "cannot be converted: the C library has no code page 850";
  forms.name = name;
  std::size_t bad = 0;
  if (!cp850.FromUtf8(name, forms.stored, bad)) {
    const auto [character, code] = CharacterAt(name, bad);
    char codePoint[16];
    std::snprintf(codePoint, sizeof codePoint, "U+%04X", static_cast<unsigned>(code));
    return "character \"" + character + "\" (" + codePoint + ") has no code page 850 form";
  }
  if (forms.stored.size() > kMaxNameBytes) return "is longer than 259 bytes";
  // Readers take a stored name that happens to be valid UTF-8 as UTF-8.
  const std::string readBack = cp850.ToUtf8(forms.stored);
  if (readBack != name) return "its code page 850 bytes would read back as \"" + readBack + "\"";
  return {};
}

}  // namespace

Status SplitEntryName(std::string_view name, std::vector<std::string>& parts) {
  parts.clear();
  if (name.empty() || name.front() == '\\' || name.front() == '/') return Status::UnsafeName;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = name.find_first_of("\\/", start);
    const std::string_view part =
        name.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    // ':' would name a drive (or a stream) on the system the archive came from.
    if (IsUnsafeComponent(part) || part.find(':') != std::string_view::npos) {
      return Status::UnsafeName;
    }
    parts.emplace_back(part);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return Status::Ok;
}

Status StoredEntryName(const std::string& input, EntryName& forms, std::string& message) {
  std::string name = input;
  std::replace(name.begin(), name.end(), '/', '\\');
  if (!name.empty() && name.back() == '\\') name.pop_back();
  forms = {};
  const std::string fault = NameFault(name, forms);
  if (fault.empty()) return Status::Ok;
  message = "entry name \"" + ShownText(input) + "\": " + fault;
  forms = {};
  return fault.starts_with("cannot be converted") ? Status::OpenFailed : Status::UnsafeName;
}

std::string ShownText(const std::string& text) {
  if (IsUtf8(text)) return text;
  std::string shown;
  for (unsigned char c : text) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    shown += c < 0x80 ? std::string(1, static_cast<char>(c)) : std::string(hex);
  }
  return shown;
}

}  // namespace ace
