#include "code_page.h"

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace ace {
namespace {

constexpr std::size_t kAllConverted = std::string_view::npos;
constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// Converts `in` with `cd`, appending to `out`. Stops at the first sequence `cd`
// cannot convert (or that is cut off by the end) and returns its offset in `in`;
// kAllConverted when everything went through.
std::size_t Convert(iconv_t cd, std::string_view in, std::string& out) {
  ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* ip = const_cast<char*>(in.data());
  std::size_t il = in.size();
  char chunk[256];
  while (il > 0) {
    char* op = chunk;
    std::size_t ol = sizeof chunk;
    const std::size_t r = ::iconv(cd, &ip, &il, &op, &ol);
    out.append(chunk, std::size_t(op - chunk));
    if (r == std::size_t(-1) && errno != E2BIG) return std::size_t(ip - in.data());
  }
  // The closing shift sequence of an encoding with states; nothing for the others.
  char* op = chunk;
  std::size_t ol = sizeof chunk;
  ::iconv(cd, nullptr, nullptr, &op, &ol);
  out.append(chunk, std::size_t(op - chunk));
  return kAllConverted;
}

}  // namespace

bool IsUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned lead = p[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    // The length of the sequence, and the range its second byte must lie in
    // (narrower after the leads that would start overlong forms, surrogates or
    // code points past U+10FFFF).
    std::size_t length;
    unsigned low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (n - i < length || p[i + 1] < low || p[i + 1] > high) return false;
    for (std::size_t k = 2; k < length; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

CodePage::~CodePage() { Close(); }

void CodePage::Close() {
  if (toUtf8_ != iconv_t(-1)) ::iconv_close(toUtf8_);
  if (fromUtf8_ != iconv_t(-1)) ::iconv_close(fromUtf8_);
  toUtf8_ = fromUtf8_ = iconv_t(-1);
  name_.clear();
}

bool CodePage::Open(std::string_view name) {
  Close();
  if (name.empty()) name = kDefaultCodePage;
  std::string full(name);
  if (std::all_of(name.begin(), name.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
    full = "CP" + full;
  }
  toUtf8_ = ::iconv_open("UTF-8", full.c_str());
  fromUtf8_ = ::iconv_open(full.c_str(), "UTF-8");
  std::string ascii, read;
  for (char c = 0x20; c < 0x7F; ++c) ascii += c;
  if (toUtf8_ == iconv_t(-1) || fromUtf8_ == iconv_t(-1) || Convert(toUtf8_, ascii, read) != kAllConverted ||
      read != ascii) {
    Close();
    return false;
  }
  name_ = full;
  return true;
}

std::string CodePage::ToUtf8(std::string_view stored) {
  if (IsUtf8(stored)) return std::string(stored);
  std::string out;
  while (!stored.empty()) {
    const std::size_t bad = Convert(toUtf8_, stored, out);
    if (bad == kAllConverted) break;
    out += kReplacement;
    stored.remove_prefix(bad + 1);
  }
  return out;
}

bool CodePage::FromUtf8(std::string_view utf8, std::string& out, std::size_t& bad) {
  out.clear();
  bad = Convert(fromUtf8_, utf8, out);
  return bad == kAllConverted;
}

}  // namespace ace
