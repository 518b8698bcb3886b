// Entry names as the library hands them out: always UTF-8. Archives made on DOS
// and Windows store names in the writer's OEM code page, with no marker saying
// which. A stored name that is valid UTF-8 is taken as it is; any other is read
// as text in a code page the caller chooses (850 by default), converted with the
// C library's iconv. The whole name is converted before it is split at `\` and
// `/`, so the separators are found in the UTF-8 text that the safety checks see.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace ace {

// True when `text` is well-formed UTF-8: no stray or missing continuation bytes,
// no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsUtf8(std::string_view text);

// The code page used when the caller names none.
inline constexpr std::string_view kDefaultCodePage = "850";

// One OEM code page, usable in both directions.
class CodePage {
 public:
  CodePage() = default;
  ~CodePage();
  CodePage(const CodePage&) = delete;
  CodePage& operator=(const CodePage&) = delete;

  // Chooses the code page. A number stands for "CP<number>" ("850", "866"); any
  // other name goes to iconv as it is ("CP1252", "IBM437"); empty means 850.
  // False when iconv does not know it, or when it does not read the printable
  // ASCII bytes as themselves (then '\', '/' and '.' could not be recognised).
  bool Open(std::string_view name);
  // The name given to iconv, e.g. "CP850"; empty before a successful Open.
  const std::string& name() const { return name_; }

  // A stored entry name as UTF-8: unchanged when it is valid UTF-8 already,
  // otherwise converted from the code page. A byte (or sequence) the code page
  // does not define becomes U+FFFD, so the result is always valid UTF-8.
  std::string ToUtf8(std::string_view stored);
  // `utf8` (valid UTF-8) in the code page. False when a character has no form
  // there; `bad` then holds the offset of that character in `utf8`.
  bool FromUtf8(std::string_view utf8, std::string& out, std::size_t& bad);

 private:
  void Close();

  std::string name_;
  iconv_t toUtf8_ = iconv_t(-1);
  iconv_t fromUtf8_ = iconv_t(-1);
};

}  // namespace ace
