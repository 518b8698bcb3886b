// DOS time stamps, as the headers carry them: local time, seconds in steps of two,
// years 1980..2107 (bits 25..31 year - 1980, 21..24 month, 16..20 day, 11..15
// hour, 5..10 minute, 0..4 second / 2).
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>

namespace ace {

// DOS time stamp (local time) to seconds since the epoch; false when impossible.
bool DosTimeToUnix(std::uint32_t dosTime, std::int64_t& seconds);

// The DOS time stamp of a moment, in local time; clamped to 1980..2107.
std::uint32_t UnixToDosTime(std::time_t moment);

// The DOS time stamp of a file time, in local time; clamped to 1980..2107.
std::uint32_t FileTimeToDosTime(std::filesystem::file_time_type time);

}  // namespace ace
