// Results inside the archive library. The four public calls turn them into the
// numeric codes of unace.h (ToApiCode).
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
