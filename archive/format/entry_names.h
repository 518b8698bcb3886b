// The rules for entry names, on both sides: what the reader lets through to the
// destination, and what the writer stores (UTF-8 for people, code page 850 bytes
// in the header).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "status.h"

namespace ace {

// True for a path component that no entry name may have: "", "." or "..".
inline bool IsUnsafeComponent(std::string_view part) { return part.empty() || part == "." || part == ".."; }

// Splits an entry name (UTF-8, separators `\` and `/`) into components. UnsafeName
// for an empty name, an absolute name, a drive letter, or a "", "." or ".."
// component.
Status SplitEntryName(std::string_view name, std::vector<std::string>& parts);

// An entry name in its two forms: UTF-8 with '\' as separator, and the bytes
// stored in the header, in code page 850 (the OEM code page of the DOS and Windows
// tools). Readers take stored bytes that are valid UTF-8 as UTF-8, so a name whose
// code page 850 bytes happen to be valid UTF-8 ("├®" is stored as the bytes of
// "é") would read back as another name.
struct EntryName {
  std::string name;
  std::string stored;
};

// The forms of `input` ('/' or '\' as separators, a trailing one dropped) as a
// writer stores it. UnsafeName, with `message` naming the entry (and the
// character), for names that are empty, absolute, contain control characters or
// one of :*?"<>|, "." or ".." components or empty ones, are not valid UTF-8,
// hold a character that code page 850 lacks, take more than 259 bytes in it or
// would read back as another name; OpenFailed when the C library has no code
// page 850.
Status StoredEntryName(const std::string& input, EntryName& forms, std::string& message);

// `text` as a message shows it: valid UTF-8 as it is, otherwise the bytes past
// ASCII as \xNN.
std::string ShownText(const std::string& text);

}  // namespace ace
