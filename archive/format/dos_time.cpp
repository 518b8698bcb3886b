#include "dos_time.h"

#include <algorithm>
#include <chrono>

namespace ace {

bool DosTimeToUnix(std::uint32_t t, std::int64_t& seconds) {
  struct tm tm = {};
  tm.tm_sec = int(t & 0x1F) * 2;
  tm.tm_min = int((t >> 5) & 0x3F);
  tm.tm_hour = int((t >> 11) & 0x1F);
  tm.tm_mday = int((t >> 16) & 0x1F);
  tm.tm_mon = int((t >> 21) & 0x0F) - 1;
  tm.tm_year = int((t >> 25) & 0x7F) + 80;
  tm.tm_isdst = -1;
  if (tm.tm_sec > 59 || tm.tm_min > 59 || tm.tm_hour > 23 || tm.tm_mday < 1 || tm.tm_mon < 0 ||
      tm.tm_mon > 11) {
    return false;
  }
  const time_t v = ::mktime(&tm);
  if (v == time_t(-1)) return false;
  seconds = std::int64_t(v);
  return true;
}

std::uint32_t UnixToDosTime(std::time_t moment) {
  std::tm tm{};
  localtime_r(&moment, &tm);
  int year = tm.tm_year + 1900;
  if (year < 1980) return (1u << 21) | (1u << 16);  // 1980-01-01 00:00:00
  if (year > 2107) year = 2107, tm.tm_mon = 11, tm.tm_mday = 31, tm.tm_hour = 23, tm.tm_min = 59, tm.tm_sec = 59;
  return (static_cast<std::uint32_t>(year - 1980) << 25) | (static_cast<std::uint32_t>(tm.tm_mon + 1) << 21) |
         (static_cast<std::uint32_t>(tm.tm_mday) << 16) | (static_cast<std::uint32_t>(tm.tm_hour) << 11) |
         (static_cast<std::uint32_t>(tm.tm_min) << 5) | (static_cast<std::uint32_t>(std::min(tm.tm_sec, 59) / 2));
}

std::uint32_t FileTimeToDosTime(std::filesystem::file_time_type time) {
  const auto sys = std::chrono::file_clock::to_sys(time);
  return UnixToDosTime(std::chrono::system_clock::to_time_t(sys));
}

}  // namespace ace
