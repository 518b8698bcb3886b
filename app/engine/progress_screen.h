// Arithmetic and texts of the progress screen that the extraction run draws.
#pragma once

#include <cstdint>
#include <string>

// Adds one data piece of `count` bytes to the entry's percentage. The division is
// done first, in floating point; an entry of size 0 adds the count itself.
double AddPieceToPercent(double filePercent, std::int32_t count, std::int32_t fileSize);

// Rounds to the nearest whole number, halves to the even neighbour, and keeps the
// result inside the 32-bit range.
std::int32_t RoundHalfEven(double value);

// Width in pixels of the per-file bar for a percentage shown as ProgressBar1.
std::int64_t FileBarWidth(std::int32_t progressBar1);
// Width of the volume bar: (378 div numFiles) x (counter + 1).
std::int64_t VolumeBarWidth(std::int32_t numFiles, std::int32_t volumeCounter);

std::string FileLine(const std::string& entryName);
std::string ArchiveLine(std::int32_t volumeCounter, std::int32_t numFiles, const std::string& volumeName);
inline constexpr const char* kCancelHint = "Press 'ESC' to cancel..";
