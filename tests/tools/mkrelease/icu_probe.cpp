// icu_probe VERSION [LIBDIR]: asks ICU for what Qt Core asks it for (collation,
// character set conversion, calendars and time zones with their names, case
// mapping) and prints the answers, one per line. ICU is loaded at run time: from
// LIBDIR (a bundled release's lib/ folder) or, without it, from the system, so the
// answers of a cut and a whole ICU data set can be compared. A call that fails
// prints a line starting with FAILED.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using UErrorCode = int;
using UChar = char16_t;

std::string g_version;
void* g_i18n = nullptr;

template <typename F>
F Get(const char* name) {
  const std::string versioned = std::string(name) + "_" + g_version;
  void* symbol = dlsym(g_i18n, versioned.c_str());
  if (symbol == nullptr) {
    std::printf("FAILED no symbol %s\n", versioned.c_str());
    std::exit(1);
  }
  return reinterpret_cast<F>(symbol);
}

std::u16string U(const char* utf8) {
  // The inputs below are Latin-1 or plain ASCII written as \x escapes of UTF-8.
  std::u16string out;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8); *p;) {
    char32_t c = *p++;
    if (c >= 0xC0 && c < 0xE0) {
      c = ((c & 0x1F) << 6) | (*p++ & 0x3F);
    } else if (c >= 0xE0) {
      c = ((c & 0x0F) << 12) | ((p[0] & 0x3F) << 6) | (p[1] & 0x3F);
      p += 2;
    }
    out += static_cast<char16_t>(c);
  }
  return out;
}

std::string Hex(const std::u16string& s) {
  std::string out;
  char part[8];
  for (char16_t c : s) {
    std::snprintf(part, sizeof part, "%04X ", static_cast<unsigned>(c));
    out += part;
  }
  return out;
}

bool Check(UErrorCode status, const std::string& what) {
  if (status > 0) {
    std::printf("FAILED %s (%d)\n", what.c_str(), status);
    return false;
  }
  return true;
}

void Collation() {
  auto open = Get<void* (*)(const char*, UErrorCode*)>("ucol_open");
  auto strcoll = Get<int (*)(const void*, const UChar*, int32_t, const UChar*, int32_t)>("ucol_strcoll");
  auto sortKey = Get<int32_t (*)(const void*, const UChar*, int32_t, std::uint8_t*, int32_t)>("ucol_getSortKey");
  auto close = Get<void (*)(void*)>("ucol_close");
  const std::vector<std::u16string> words = {U("zebra"), U("\xc3\xa4pfel"), U("apfel"), U("\xc3\xb6l"), U("ol"),
                                             U("\xc3\xa5r"), U("ar"), U("ch\xc3\xa1t"), U("cz"), U("\xc4\xb1r"),
                                             U("ir"), U("\xe4\xb8\xad"), U("\xe6\x96\x87")};
  for (const char* locale : {"", "de", "sv", "cs", "tr", "zh", "ja", "fi"}) {
    UErrorCode status = 0;
    void* collator = open(locale, &status);
    if (!Check(status, std::string("ucol_open ") + locale)) continue;
    std::vector<std::u16string> sorted = words;
    for (std::size_t i = 1; i < sorted.size(); ++i) {
      for (std::size_t j = i; j > 0; --j) {
        const auto& a = sorted[j - 1];
        const auto& b = sorted[j];
        if (strcoll(collator, a.data(), static_cast<int32_t>(a.size()), b.data(), static_cast<int32_t>(b.size())) <= 0) break;
        std::swap(sorted[j - 1], sorted[j]);
      }
    }
    std::string line = std::string("collation '") + locale + "':";
    for (const auto& w : sorted) line += " [" + Hex(w) + "]";
    std::uint8_t key[256];
    const int32_t n = sortKey(collator, words[1].data(), static_cast<int32_t>(words[1].size()), key, sizeof key);
    line += " key";
    for (int32_t i = 0; i < n && i < static_cast<int32_t>(sizeof key); ++i) line += " " + std::to_string(key[i]);
    std::printf("%s\n", line.c_str());
    close(collator);
  }
}

void Conversion() {
  auto open = Get<void* (*)(const char*, UErrorCode*)>("ucnv_open");
  auto toUChars = Get<int32_t (*)(void*, UChar*, int32_t, const char*, int32_t, UErrorCode*)>("ucnv_toUChars");
  auto standardName = Get<const char* (*)(const char*, const char*, UErrorCode*)>("ucnv_getStandardName");
  auto close = Get<void (*)(void*)>("ucnv_close");
  std::string high;
  for (int c = 0xA1; c <= 0xFE; ++c) high += static_cast<char>(c);
  for (const char* name : {"IBM437", "windows-1252", "ISO-8859-15", "KOI8-R", "Shift_JIS", "EUC-JP", "GB18030", "Big5",
                           "EUC-KR", "ISO-2022-JP", "macintosh", "IBM850"}) {
    UErrorCode status = 0;
    void* converter = open(name, &status);
    if (!Check(status, std::string("ucnv_open ") + name)) continue;
    UChar out[512];
    status = 0;
    const int32_t n = toUChars(converter, out, 512, high.data(), static_cast<int32_t>(high.size()), &status);
    status = status < 0 ? 0 : status;
    if (Check(status, std::string("ucnv_toUChars ") + name)) {
      status = 0;
      const char* iana = standardName(name, "IANA", &status);
      std::printf("conversion %s (%s): %s\n", name, iana ? iana : "-", Hex(std::u16string(out, n > 0 ? n : 0)).c_str());
    }
    close(converter);
  }
}

void Calendars() {
  auto open = Get<void* (*)(const UChar*, int32_t, const char*, int, UErrorCode*)>("ucal_open");
  auto setMillis = Get<void (*)(void*, double, UErrorCode*)>("ucal_setMillis");
  auto get = Get<int32_t (*)(const void*, int, UErrorCode*)>("ucal_get");
  auto displayName = Get<int32_t (*)(const void*, int, const char*, UChar*, int32_t, UErrorCode*)>("ucal_getTimeZoneDisplayName");
  auto transition = Get<signed char (*)(const void*, int, double*, UErrorCode*)>("ucal_getTimeZoneTransitionDate");
  auto close = Get<void (*)(void*)>("ucal_close");
  auto zones = Get<void* (*)(UErrorCode*)>("ucal_openTimeZones");
  auto countryZones = Get<void* (*)(const char*, UErrorCode*)>("ucal_openCountryTimeZones");
  auto count = Get<int32_t (*)(void*, UErrorCode*)>("uenum_count");
  auto closeEnum = Get<void (*)(void*)>("uenum_close");
  const double instant = 1.7e12;  // November 2023
  for (const char* zone : {"Europe/Berlin", "America/New_York", "Asia/Tokyo", "Australia/Sydney"}) {
    const std::u16string id = U(zone);
    for (const char* locale : {"en", "de", "ja", "fr"}) {
      UErrorCode status = 0;
      void* calendar = open(id.data(), static_cast<int32_t>(id.size()), locale, 1 /* Gregorian */, &status);
      if (!Check(status, std::string("ucal_open ") + zone + " " + locale)) continue;
      setMillis(calendar, instant, &status);
      std::string line = std::string("calendar ") + zone + " " + locale + ":";
      for (int field : {1, 2, 3, 5, 7, 15, 16}) line += " " + std::to_string(get(calendar, field, &status));
      for (int type : {0, 1, 2, 3}) {
        UChar name[128];
        const int32_t n = displayName(calendar, type, locale, name, 128, &status);
        line += " [" + Hex(std::u16string(name, n > 0 ? n : 0)) + "]";
      }
      double next = 0;
      transition(calendar, 0 /* next */, &next, &status);
      line += " next " + std::to_string(static_cast<long long>(next));
      if (Check(status, line)) std::printf("%s\n", line.c_str());
      close(calendar);
    }
  }
  UErrorCode status = 0;
  void* all = zones(&status);
  if (Check(status, "ucal_openTimeZones")) {
    std::printf("zones %d\n", count(all, &status));
    closeEnum(all);
  }
  void* german = countryZones("DE", &status);
  if (Check(status, "ucal_openCountryTimeZones")) {
    std::printf("zones DE %d\n", count(german, &status));
    closeEnum(german);
  }
}

void CaseMapping() {
  using Map = int32_t (*)(UChar*, int32_t, const UChar*, int32_t, const char*, UErrorCode*);
  for (const char* which : {"u_strToUpper", "u_strToLower"}) {
    const Map map = Get<Map>(which);
    const std::u16string text = U("istanbul I\xc4\xb0 stra\xc3\x9f" "e i\xcc\x87\xcc\x80");
    for (const char* locale : {"", "tr", "lt", "de"}) {
      UChar out[128];
      UErrorCode status = 0;
      const int32_t n = map(out, 128, text.data(), static_cast<int32_t>(text.size()), locale, &status);
      if (Check(status, std::string(which) + " " + locale)) {
        std::printf("%s '%s': %s\n", which, locale, Hex(std::u16string(out, n)).c_str());
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: icu_probe VERSION [LIBDIR]\n");
    return 2;
  }
  g_version = argv[1];
  const std::string folder = argc == 3 ? std::string(argv[2]) + "/" : std::string();
  const std::string i18n = folder + "libicui18n.so." + g_version;
  g_i18n = dlopen(i18n.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (g_i18n == nullptr) {
    std::printf("FAILED dlopen: %s\n", dlerror());
    return 1;
  }
  // First line: the file that holds the data set in use.
  Dl_info where{};
  void* data = dlsym(g_i18n, ("icudt" + g_version + "_dat").c_str());
  std::printf("data: %s\n", data != nullptr && dladdr(data, &where) != 0 ? where.dli_fname : "unknown");
  Collation();
  Conversion();
  Calendars();
  CaseMapping();
  return 0;
}
