// The archive library's four calls (and the optional ACESetPassword), its two
// records and its two callbacks.
//
// The installer reads ACE archive sets only through this interface: one
// ACEOpenArchive, then ACEReadHeader / ACEProcessFile for each entry until
// ACEReadHeader answers non-zero, then ACECloseArchive. It gives no password, so
// an encrypted entry ends with ACE_ERR_ENCRYPTED. Everything runs on the
// caller's thread; the callbacks are called from inside ACEReadHeader and
// ACEProcessFile.
#pragma once

#include <cstdint>

extern "C++" {

// Result codes. The reports of the extraction run turn these into words.
enum : int {
  ACE_OK = 0,
  ACE_ERR_MEMORY = 1,          // not enough memory
  ACE_ERR_END = 2,             // ACEReadHeader: no further entry (normal end of the set)
  ACE_ERR_FILES = 3,           // first volume missing; also: a further volume could not be found
  ACE_ERR_FULL = 4,            // write error: disk full
  ACE_ERR_OPEN = 5,            // a file could not be opened (volume or target)
  ACE_ERR_READ = 6,            // a volume could not be read, or it ends too early
  ACE_ERR_WRITE = 7,           // write error
  ACE_ERR_CRC = 9,             // broken header (open, read header) or data CRC mismatch
  ACE_ERR_NOT_ACE = 128,       // not an ACE archive
  ACE_ERR_HANDLE = 129,        // invalid handle given as parameter
  ACE_ERR_CONSTANT = 130,      // wrong constant (operation, mode, code page)
  ACE_ERR_ENCRYPTED = 131,     // entry is encrypted and no password was given
  ACE_ERR_UNKNOWN_METHOD = 132,// entry compressed with an unknown method
  ACE_ERR_UNSAFE_NAME = 133,   // entry name would leave the destination folder: not written
  ACE_ERR_CANCELLED = 134,     // ACEProcessFile: the data callback answered 0; nothing written
  // ACEProcessFile on an encrypted entry, with a password given: the decrypted
  // data is malformed or fails its CRC. The archive stores nothing that would
  // check a password, so a wrong password and damaged data look the same; this
  // code stands for both (an unencrypted entry reports the same fault as
  // ACE_ERR_CRC). Nothing is written under the entry's name.
  ACE_ERR_PASSWORD = 135,
};

// Operations of ACEProcessFile.
enum : int {
  ACE_SKIP = 0,     // move past the entry (it is still decoded in a solid archive)
  ACE_TEST = 1,     // decode and check the CRC, write nothing
  ACE_EXTRACT = 2,  // write the entry below the destination folder
};

// Modes of the volume callback.
enum : int {
  ACE_VOLUME_MISSING = 0,  // the named volume cannot be found; answer 0 to give up
  ACE_VOLUME_NEXT = 1,     // the library goes on with the named volume; answer 1 to go on
};

// The volume callback: volumePath is the full path of the next volume.
using TACEVolumeCallback = int (*)(void* context, const char* volumePath, int mode);
// The data callback: one piece of the current entry has been written (or tested).
// The pieces of one entry add up to its EntrySize. A piece is reported once at
// least 50 ms have passed since the previous report, and at the end of the entry.
// `data` points at the piece's bytes while all of them are still in memory, and is
// null otherwise: use the count. Answer 1 to go on, 0 to abandon
// the entry (ACEProcessFile then returns and leaves no file under the entry's name).
using TACEDataCallback = int (*)(void* context, const std::uint8_t* data, std::int32_t count);

struct TACEOpenArchiveData {
  const char* ArchivePath = nullptr;  // NUL-terminated path of the first volume
  std::int32_t Mode = 1;              // 1: open for extraction
  // The OEM code page of entry names that are not UTF-8: a number ("437", "850",
  // "852", "866", ...) or a name iconv knows ("CP1252"); null or empty: 850. One
  // the library cannot use makes the open fail with ACE_ERR_CONSTANT.
  const char* CodePage = nullptr;
  std::int32_t Status = 0;            // set by the library: 0 on success, else a code above
  std::int32_t Reserved = 4;          // the caller stores 4 here; not interpreted
  TACEVolumeCallback VolumeCallback = nullptr;
  TACEDataCallback DataCallback = nullptr;
  void* CallbackContext = nullptr;    // passed back to both callbacks
};

struct TACEHeaderData {
  char VolumeName[260] = {};   // NUL-terminated path of the volume that holds the entry's start
  // NUL-terminated entry name in UTF-8 (backslashes, relative): a stored name that
  // is valid UTF-8 as it is, any other converted from the code page of the open.
  // A name longer than 259 bytes is cut after its last whole character that fits;
  // ACEProcessFile still writes the entry under its whole name.
  char EntryName[260] = {};
  // Unpacked size, signed. Entries of 2 GiB and more are refused: EntrySize then
  // holds INT32_MAX and ACEProcessFile answers ACE_ERR_WRITE without writing.
  std::int32_t EntrySize = 0;
  // Further facts for listings; the installer does not read them.
  std::int64_t OriginalSize = 0;
  std::int64_t PackedSize = 0;      // over all segments
  std::uint32_t FileTime = 0;       // DOS time stamp
  std::uint32_t Attributes = 0;     // DOS attribute bits; 0x10 = directory
  std::uint32_t Crc32 = 0;          // ACE CRC of the unpacked data (last segment)
  std::uint8_t Method = 0;          // 0 stored, 1 LZ77, 2 blocked
  std::uint8_t Quality = 0;
  std::uint32_t DictionarySize = 0; // bytes
  bool Encrypted = false;
  bool Solid = false;
  bool Directory = false;
};

struct TACEArchive;  // opaque
using TACEHandle = TACEArchive*;

// Opens the set whose first volume is data->ArchivePath. Sets data->Status; the
// handle is usable only when Status is 0 (and must still be closed when it is not null).
TACEHandle ACEOpenArchive(TACEOpenArchiveData* data);
// Moves to the next entry and fills *header. 0: an entry is ready; ACE_ERR_END: the
// set has no further entry; ACE_ERR_OPEN, ACE_ERR_READ, ACE_ERR_CRC, ACE_ERR_HANDLE,
// ACE_ERR_FILES: errors.
int ACEReadHeader(TACEHandle handle, TACEHeaderData* header);
// Handles the entry last read with ACEReadHeader. destination ends with the path
// separator; the entry is written to destination + its name made safe.
int ACEProcessFile(TACEHandle handle, int operation, const char* destination);
// Sets the password for the encrypted entries that ACEProcessFile handles from now
// on (also those decoded unseen in a solid archive to keep its history); each
// entry is decrypted from its start with the password set when it begins. Only
// the first 50 bytes count (as the archiver took them: bytes, not characters).
// A null or empty password removes it. Answers ACE_OK, or ACE_ERR_HANDLE /
// ACE_ERR_MEMORY.
int ACESetPassword(TACEHandle handle, const char* password);
// Frees everything; a null handle is ignored.
int ACECloseArchive(TACEHandle handle);

// What a walk over the set's headers learned (no data is decoded).
struct TACESetSummary {
  std::int64_t UnpackedTotal = 0;  // bytes that extracting every entry writes
  std::int64_t Entries = 0;
  std::int32_t Volumes = 0;        // volumes met, the first one included
  char MissingVolume[260] = {};    // with ACE_ERR_FILES: the volume that is not there
};
// Walks the headers of every volume of the set whose first volume is `path`,
// skipping the packed data. 0 when every volume is present and every header reads;
// otherwise the code ACEOpenArchive or ACEReadHeader would give for the failure.
int ACEScanArchive(const char* path, TACESetSummary* summary);

}  // extern "C++"
