// Reading of "install.ini"-style files by the private-profile rules the release
// folders were written for: one key at a time, sections and keys without regard to
// case, the value after the first "=", blanks around it removed, one pair of matching
// quotes removed, at most 1023 characters.
#pragma once

#include <string>

// Returns the value of key in section of the file at path, or defaultValue when the
// file, the section or the key is missing. A key present with nothing after "="
// gives "".
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& path);

// The same over text already in memory (the whole file's bytes).
std::string ProfileStringFromText(const std::string& text, const std::string& section,
                                  const std::string& key, const std::string& defaultValue);
