#include "progress_screen.h"

#include <cfenv>
#include <cmath>
#include <limits>

#include "paths.h"

double AddPieceToPercent(double filePercent, std::int32_t count, std::int32_t fileSize) {
  if (fileSize == 0) return filePercent + count;
  return filePercent + double(count) / double(fileSize) * 100.0;
}

std::int32_t RoundHalfEven(double value) {
  if (!(value == value)) return 0;  // NaN
  const double rounded = std::nearbyint(value);  // default rounding: to nearest, ties to even
  if (rounded >= double(std::numeric_limits<std::int32_t>::max())) return std::numeric_limits<std::int32_t>::max();
  if (rounded <= double(std::numeric_limits<std::int32_t>::min())) return std::numeric_limits<std::int32_t>::min();
  return std::int32_t(rounded);
}

std::int64_t FileBarWidth(std::int32_t progressBar1) { return 4 * std::int64_t(progressBar1); }

std::int64_t VolumeBarWidth(std::int32_t numFiles, std::int32_t volumeCounter) {
  if (numFiles < 1) return 0;
  return std::int64_t(378 / numFiles) * (std::int64_t(volumeCounter) + 1);
}

std::string FileLine(const std::string& entryName) { return "File: " + entryName; }

std::string ArchiveLine(std::int32_t volumeCounter, std::int32_t numFiles, const std::string& volumeName) {
  return "Archive [" + std::to_string(std::int64_t(volumeCounter) + 1) + "/" + std::to_string(numFiles) +
         "]: " + FileNamePart(volumeName);
}
