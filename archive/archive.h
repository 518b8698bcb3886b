// The archive reader as a C++ class: the four calls of unace.h are thin wrappers
// around it, and the tests and the aceextract tool may use it directly.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bit_reader.h"
#include "code_page.h"
#include "decoder.h"
#include "decrypting_source.h"
#include "headers.h"
#include "lz_window.h"
#include "output_sink.h"
#include "safe_writer.h"
#include "status.h"
#include "volume_set.h"

namespace ace {

enum class Operation { Skip = 0, Test = 1, Extract = 2 };

struct Entry {
  std::string name;        // in UTF-8 (see code_page.h), with the stored backslashes
  std::string volumePath;  // volume holding the entry's first segment
  std::uint64_t size = 0;
  std::uint64_t packedSize = 0;  // over all segments (when they can be found)
  std::uint32_t fileTime = 0;
  std::uint32_t attributes = 0;
  std::uint32_t crc = 0;         // of the whole entry (last segment's field)
  std::uint8_t method = 0;
  std::uint8_t quality = 0;
  std::uint32_t dictionarySize = 0;
  bool encrypted = false;
  bool solid = false;
  bool directory = false;
  std::string comment;
};

struct ArchiveOptions {
  VolumeCallback volume;
  DataCallback data;
  WriteFunction write = nullptr;    // null: the system's write
  std::uint64_t maxEntrySize = ~std::uint64_t(0);  // larger entries are refused (TooLarge)
  std::array<std::uint64_t, 8>* modeBytes = nullptr;  // bytes per blocked-method mode
  // Least time between two data callbacks (see output_sink.h); tests use 0 to get
  // a piece for every block of output.
  std::chrono::milliseconds pieceInterval = OutputSink::kPieceInterval;
  // The OEM code page of stored names that are not UTF-8 (see CodePage::Open);
  // empty: 850. Open answers BadConstant for one that cannot be used.
  std::string codePage;
};

class Archive {
 public:
  explicit Archive(const ArchiveOptions& options);
  ~Archive();
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  Status Open(const std::string& path);
  // The password for the encrypted entries processed from now on (an entry
  // already begun keeps the one it began with); empty: none, and such entries
  // end with Encrypted. Only the first kPasswordBytes bytes count.
  void SetPassword(std::string_view password);
  const MainHeader& mainHeader() const { return volumes_.mainHeader(); }
  // Moves to the next entry (finishing the current one first). End at the end.
  Status ReadHeader(Entry& entry);
  // Skips, tests or extracts the entry last read. `destination` is the folder.
  Status Process(Operation op, const std::string& destination);
  // Gives the folders made by directory entries their time stamps again (writing
  // their contents changed them). Called by the destructor too.
  void Close();

 private:
  enum class State { NoEntry, Ready, Partial, Done, Finished };

  Status FinishPending();
  bool Decodable() const;
  Status StartDecoder();
  Status Decode(OutputSink* sink);
  Status DecodeIntoNothing();
  Status DataFailure(Status decoderStatus) const;
  // What a failure of the current entry's data is reported as.
  Status EntryFailure(Status s) const;

  ArchiveOptions options_;
  VolumeSet volumes_;
  std::unique_ptr<LzWindow> window_;
  std::shared_ptr<const EntryCipher> cipher_;    // null: no password given
  std::unique_ptr<DecryptingSource> decrypted_;  // the encrypted entry being decoded
  std::unique_ptr<BitReader> bits_;
  std::unique_ptr<EntryDecoder> decoder_;
  std::chrono::steady_clock::time_point lastReport_;
  OutputSink sink_;
  State state_ = State::NoEntry;
  FileHeader header_;
  Entry entry_;
  CodePage names_;
  bool solidArchive_ = false;
  std::vector<std::pair<std::string, std::pair<std::vector<std::string>, std::uint32_t>>> folders_;
  SweptFolders swept_;  // folders this run has cleared of earlier runs' temporary files
};

}  // namespace ace
