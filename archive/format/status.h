// Results inside the archive library. The four public calls turn them into the
// numeric codes of unace.h (ToApiCode).
//
// What a failure ends, as the library sees it:
// - only the current entry: DiskFull, OpenFailed and WriteFailed of its target,
//   BadData, Encrypted, WrongPassword, UnknownMethod, UnsafeName, Cancelled,
//   TooLarge. The next ReadHeader goes on with the following entry (in a solid
//   archive the entries that build on a broken one fail their CRC in turn).
// - the whole set: MissingVolume, ReadFailed, BadHeader, NotAce, Memory, an
//   OpenFailed of a volume, BadHandle and BadConstant (a caller's mistake).
// The installer's run is stricter, as its users expect: any failure of a non-empty
// entry ends the run after its message, while aceextract reports the entry and
// goes on to the next one until the set itself fails.
#pragma once

namespace ace {

enum class Status {
  Ok,
  End,             // no further entry
  Memory,
  MissingVolume,   // first volume, or a further one, cannot be found
  DiskFull,
  OpenFailed,      // a volume or a target could not be opened or created
  ReadFailed,      // a volume could not be read or ends too early
  WriteFailed,
  BadHeader,       // header checksum or layout broken
  BadData,         // packed data corrupt, or the decoded data fails its CRC
  NotAce,
  BadHandle,
  BadConstant,
  Encrypted,       // an encrypted entry, and no password given
  WrongPassword,   // an encrypted entry whose decrypted data is broken or fails its CRC
  UnknownMethod,
  UnsafeName,
  Cancelled,       // the data callback answered 0
  TooLarge,        // entry of 2 GiB or more through the 32-bit interface
};

int ToApiCode(Status s);

}  // namespace ace
