#include "archive.h"

#include <unistd.h>

#include "method_decoders.h"
#include "password_key.h"

namespace ace {
namespace {

constexpr std::size_t kStepBytes = 256 * 1024;

class Discard final : public Output {
 public:
  void Emit(const std::uint8_t*, std::size_t) override {}
};

ssize_t SystemWrite(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }

}  // namespace

Archive::Archive(const ArchiveOptions& options)
    : options_(options),
      volumes_(options.volume),
      lastReport_(std::chrono::steady_clock::now()),
      sink_(options.data, &lastReport_, options.pieceInterval) {
  if (!options_.write) options_.write = SystemWrite;
}

Archive::~Archive() { Close(); }

Status Archive::Open(const std::string& path) {
  if (!names_.Open(options_.codePage)) return Status::BadConstant;
  const Status s = volumes_.Open(path);
  if (s == Status::Ok) solidArchive_ = volumes_.mainHeader().flags & kFlagSolid;
  return s;
}

void Archive::SetPassword(std::string_view password) {
  cipher_ = password.empty() ? nullptr : std::make_shared<const EntryCipher>(KeyFromPassword(password));
}

void Archive::Close() {
  for (const auto& [dest, folder] : folders_) {
    Destination d;
    if (d.Open(dest) == Status::Ok) d.MakeFolder(folder.first, folder.second);
  }
  folders_.clear();
}

bool Archive::Decodable() const {
  return header_.origSize > 0 && (!(header_.flags & kFlagEncrypted) || cipher_) && header_.method <= 2 &&
         (header_.params & 15) <= 12;
}

Status Archive::StartDecoder() {
  if (!window_) window_ = std::make_unique<LzWindow>();
  // Only an encrypted entry's data goes through the decryption; the others are
  // read as they always were.
  ByteSource* packed = &volumes_;
  if (header_.flags & kFlagEncrypted) {
    decrypted_ = std::make_unique<DecryptingSource>(volumes_, cipher_);
    packed = decrypted_.get();
  }
  bits_ = std::make_unique<BitReader>(packed);
  EntryParams params;
  params.size = header_.origSize;
  params.dictionarySize = 1u << (10 + (header_.params & 15));
  // Only a solid entry may reach into the entries before it.
  const bool solid = solidArchive_ && (header_.flags & kFlagSolid);
  params.historyStart = solid ? 0 : window_->pos();
  params.modeBytes = options_.modeBytes;
  params.keepHistory = solidArchive_;
  switch (header_.method) {
    case 0: decoder_ = MakeStoredDecoder(*packed, *window_, params); break;
    case 1: decoder_ = MakeLz77Decoder(*bits_, *window_, params); break;
    default: decoder_ = MakeBlockedDecoder(*bits_, *window_, params); break;
  }
  return Status::Ok;
}

Status Archive::DataFailure(Status decoderStatus) const {
  const Status v = volumes_.error();
  return v != Status::Ok ? v : decoderStatus;
}

// Decrypted with a wrong password, a stream is random bits: its decoding breaks
// off or its CRC differs, just as for damaged data, and nothing tells the two apart.
Status Archive::EntryFailure(Status s) const {
  return s == Status::BadData && (header_.flags & kFlagEncrypted) ? Status::WrongPassword : s;
}

// Runs the decoder to the end of the entry, or until the sink stops taking output.
Status Archive::Decode(OutputSink* sink) {
  for (;;) {
    const Status s = decoder_->Step(kStepBytes);
    if (s == Status::End) return Status::End;
    if (s != Status::Ok) return DataFailure(s);
    if (sink && sink->stopped()) return Status::Cancelled;
  }
}

Status Archive::DecodeIntoNothing() {
  Discard nothing;
  if (!decoder_) StartDecoder();
  decoder_->set_output(&nothing);
  const Status s = Decode(nullptr);
  decoder_.reset();
  return s;
}

Status Archive::FinishPending() {
  if (state_ == State::Ready || state_ == State::Partial) {
    // The history of a solid archive needs every entry, wanted or not.
    if (solidArchive_ && Decodable() && (state_ == State::Ready || decoder_)) {
      const Status s = DecodeIntoNothing();
      if (volumes_.error() != Status::Ok) return volumes_.error();
      (void)s;  // a broken entry spoils only the entries that depend on it
    }
  }
  decoder_.reset();
  bits_.reset();
  decrypted_.reset();
  state_ = State::Done;
  return Status::Ok;
}

Status Archive::ReadHeader(Entry& entry) {
  if (state_ == State::Finished) return Status::End;
  Status s = FinishPending();
  if (s != Status::Ok) return s;
  std::string volumePath;
  s = volumes_.NextEntry(header_, volumePath);
  if (s != Status::Ok) {
    state_ = State::Finished;
    return s;
  }
  Entry e;
  e.name = names_.ToUtf8(header_.name);
  e.volumePath = volumePath;
  e.size = header_.origSize;
  e.packedSize = header_.packSize;
  e.crc = header_.crc;
  if (header_.flags & kFlagToNext) volumes_.PeekSpan(e.packedSize, e.crc);
  e.fileTime = header_.fileTime;
  e.attributes = header_.attributes;
  e.method = header_.method;
  e.quality = header_.quality;
  e.dictionarySize = (header_.params & 15) <= 12 ? 1u << (10 + (header_.params & 15)) : 0;
  e.encrypted = header_.flags & kFlagEncrypted;
  e.solid = header_.flags & kFlagSolid;
  e.directory = header_.attributes & kAttrDirectory;
  e.comment = header_.comment;
  entry_ = e;
  entry = e;
  state_ = State::Ready;
  return Status::Ok;
}

Status Archive::Process(Operation op, const std::string& destination) {
  if (op != Operation::Skip && op != Operation::Test && op != Operation::Extract) {
    return Status::BadConstant;
  }
  if (state_ != State::Ready) return Status::BadHandle;
  if (op == Operation::Skip) return FinishPending();

  const bool hasData = header_.origSize > 0;
  if (hasData && (header_.flags & kFlagEncrypted) && !cipher_) {
    FinishPending();
    return Status::Encrypted;
  }
  if (hasData && header_.method > 2) {
    FinishPending();
    return Status::UnknownMethod;
  }
  if (hasData && (header_.params & 15) > 12) {
    FinishPending();
    return Status::BadData;
  }
  if (header_.origSize > options_.maxEntrySize) {
    FinishPending();
    return Status::TooLarge;
  }

  Destination dest;
  PendingFile file(options_.write, &swept_);
  std::vector<std::string> parts;
  if (op == Operation::Extract) {
    Status s = SplitEntryName(entry_.name, parts);
    if (s == Status::Ok) s = dest.Open(destination);
    if (s == Status::Ok && entry_.directory) {
      s = dest.MakeFolder(parts, header_.fileTime);
      if (s == Status::Ok) folders_.push_back({destination, {parts, header_.fileTime}});
      FinishPending();
      return s;
    }
    if (s == Status::Ok) s = file.Create(dest, parts, header_.origSize);
    if (s != Status::Ok) {
      FinishPending();  // in a solid archive the entry is still decoded, into nothing
      return s;
    }
  } else if (entry_.directory) {
    FinishPending();
    return Status::Ok;
  }

  sink_.Begin(op == Operation::Extract ? &file : nullptr, true);
  if (hasData) {
    StartDecoder();
    decoder_->set_output(&sink_);
    const Status s = Decode(&sink_);
    if (s == Status::Cancelled) {
      // Left for ReadHeader to finish (into nothing) when a later entry needs it.
      state_ = State::Partial;
      file.Discard();
      return sink_.cancelled() ? Status::Cancelled : sink_.writeError();
    }
    if (s != Status::End) {
      decoder_.reset();
      state_ = State::Partial;
      file.Discard();
      return EntryFailure(s);
    }
    decoder_.reset();
  }
  // The rest of the packed data (padding, perhaps in a further volume) leads to
  // the last segment, whose CRC covers the whole entry.
  const Status skipped = volumes_.SkipRest();
  state_ = State::Done;
  bits_.reset();
  decrypted_.reset();
  const Status finished = sink_.Finish();
  if (skipped != Status::Ok) return skipped;
  if (finished != Status::Ok) return finished;
  if (sink_.crc() != volumes_.segment().crc || sink_.size() != header_.origSize) {
    return EntryFailure(Status::BadData);  // the pending file never gets the entry's name
  }
  if (op == Operation::Extract) {
    return file.Commit(header_.fileTime, header_.attributes & kAttrReadOnly);
  }
  return Status::Ok;
}

}  // namespace ace
