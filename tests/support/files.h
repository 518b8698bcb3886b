// Whole files read and written in one call. A file that cannot be read or written
// throws std::system_error naming it, which fails the test that asked.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace test_support {

std::string ReadFile(const std::filesystem::path& path);
std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);

// Creates the parent folders as needed and replaces any file of that name.
void WriteFile(const std::filesystem::path& path, std::string_view bytes);
void WriteFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace test_support
