// The four calls of unace.h over ace::Archive.
#include "unace.h"

#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "archive.h"

struct TACEArchive {
  explicit TACEArchive(const ace::ArchiveOptions& options) : archive(options) {}
  ace::Archive archive;
  bool open = false;
};

namespace ace {

int ToApiCode(Status s) {
  switch (s) {
    case Status::Ok: return ACE_OK;
    case Status::End: return ACE_ERR_END;
    case Status::Memory: return ACE_ERR_MEMORY;
    case Status::MissingVolume: return ACE_ERR_FILES;
    case Status::DiskFull: return ACE_ERR_FULL;
    case Status::OpenFailed: return ACE_ERR_OPEN;
    case Status::ReadFailed: return ACE_ERR_READ;
    case Status::WriteFailed: return ACE_ERR_WRITE;
    case Status::BadHeader: return ACE_ERR_CRC;
    case Status::BadData: return ACE_ERR_CRC;
    case Status::NotAce: return ACE_ERR_NOT_ACE;
    case Status::BadHandle: return ACE_ERR_HANDLE;
    case Status::BadConstant: return ACE_ERR_CONSTANT;
    case Status::Encrypted: return ACE_ERR_ENCRYPTED;
    case Status::WrongPassword: return ACE_ERR_PASSWORD;
    case Status::UnknownMethod: return ACE_ERR_UNKNOWN_METHOD;
    case Status::UnsafeName: return ACE_ERR_UNSAFE_NAME;
    case Status::Cancelled: return ACE_ERR_CANCELLED;
    case Status::TooLarge: return ACE_ERR_WRITE;
  }
  return ACE_ERR_CRC;
}

}  // namespace ace

namespace {

void CopyName(char (&out)[260], const std::string& in) {
  const std::size_t n = in.size() < sizeof out - 1 ? in.size() : sizeof out - 1;
  std::memcpy(out, in.data(), n);
  out[n] = '\0';
}

// As CopyName, but a UTF-8 name that does not fit loses whole characters only.
void CopyUtf8Name(char (&out)[260], const std::string& in) {
  std::size_t n = in.size() < sizeof out - 1 ? in.size() : sizeof out - 1;
  while (n < in.size() && n > 0 && (static_cast<unsigned char>(in[n]) & 0xC0) == 0x80) --n;
  std::memcpy(out, in.data(), n);
  out[n] = '\0';
}

}  // namespace

TACEHandle ACEOpenArchive(TACEOpenArchiveData* data) {
  if (!data) return nullptr;
  if (!data->ArchivePath) {
    data->Status = ACE_ERR_FILES;
    return nullptr;
  }
  ace::ArchiveOptions options;
  options.volume.function = data->VolumeCallback;
  options.volume.context = data->CallbackContext;
  options.data.function = data->DataCallback;
  options.data.context = data->CallbackContext;
  options.maxEntrySize = INT32_MAX;
  if (data->CodePage) options.codePage = data->CodePage;
  TACEHandle handle = new (std::nothrow) TACEArchive(options);
  if (!handle) {
    data->Status = ACE_ERR_MEMORY;
    return nullptr;
  }
  try {
    const ace::Status s = handle->archive.Open(data->ArchivePath);
    data->Status = ace::ToApiCode(s);
    handle->open = s == ace::Status::Ok;
  } catch (const std::bad_alloc&) {
    data->Status = ACE_ERR_MEMORY;
  }
  return handle;
}

int ACEReadHeader(TACEHandle handle, TACEHeaderData* header) {
  if (!handle || !header || !handle->open) return ACE_ERR_HANDLE;
  try {
    ace::Entry e;
    const ace::Status s = handle->archive.ReadHeader(e);
    if (s != ace::Status::Ok) return ace::ToApiCode(s);
    *header = TACEHeaderData{};
    CopyName(header->VolumeName, e.volumePath);
    CopyUtf8Name(header->EntryName, e.name);
    header->EntrySize = e.size > INT32_MAX ? INT32_MAX : std::int32_t(e.size);
    header->OriginalSize = std::int64_t(e.size > INT64_MAX ? INT64_MAX : e.size);
    header->PackedSize = std::int64_t(e.packedSize > INT64_MAX ? INT64_MAX : e.packedSize);
    header->FileTime = e.fileTime;
    header->Attributes = e.attributes;
    header->Crc32 = e.crc;
    header->Method = e.method;
    header->Quality = e.quality;
    header->DictionarySize = e.dictionarySize;
    header->Encrypted = e.encrypted;
    header->Solid = e.solid;
    header->Directory = e.directory;
    return ACE_OK;
  } catch (const std::bad_alloc&) {
    return ACE_ERR_MEMORY;
  }
}

int ACEProcessFile(TACEHandle handle, int operation, const char* destination) {
  if (!handle || !handle->open) return ACE_ERR_HANDLE;
  if (operation < ACE_SKIP || operation > ACE_EXTRACT) return ACE_ERR_CONSTANT;
  if (operation == ACE_EXTRACT && !destination) return ACE_ERR_OPEN;
  try {
    return ace::ToApiCode(handle->archive.Process(static_cast<ace::Operation>(operation),
                                                  destination ? destination : ""));
  } catch (const std::bad_alloc&) {
    return ACE_ERR_MEMORY;
  }
}

int ACESetPassword(TACEHandle handle, const char* password) {
  if (!handle) return ACE_ERR_HANDLE;
  try {
    handle->archive.SetPassword(password ? password : "");
    return ACE_OK;
  } catch (const std::bad_alloc&) {
    return ACE_ERR_MEMORY;
  }
}

int ACECloseArchive(TACEHandle handle) {
  delete handle;
  return ACE_OK;
}
