// Compresses runs of the archive's data stream ("jobs") on worker threads. A job
// carries the history that precedes it (up to the dictionary size) and is
// compressed by an encoder restarted for it, so its packed pieces depend only on
// the job itself: whichever thread takes it, and however many there are, the
// result is the same bytes. With one thread the jobs run on the caller's thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "lz77_encoder.h"

namespace ace::writer {

struct PieceJob {
  // One run of the job's own bytes, in stream order.
  struct Part {
    std::size_t at = 0;       // offset in `data`, after the history
    std::size_t length = 0;
    bool compress = true;     // false: stored bytes, which only enter the history
    bool entryStart = false;  // the first piece of its entry
    bool entryEnd = false;    // the last piece of its entry
    bool independent = false; // must not refer to bytes before itself (non-solid entry)
    PackedBits packed;        // the result, for parts that are compressed
  };

  std::vector<std::uint8_t> data;  // `history` bytes that precede the job, then its own
  std::size_t history = 0;
  std::vector<Part> parts;

  std::size_t OwnBytes() const { return data.size() - history; }
  bool NeedsEncoder() const;

  // Set by the compressor.
  bool done = false;  // guarded by the compressor's lock
  std::exception_ptr error;
};

class PieceCompressor {
 public:
  // `threads` >= 1 encoders, each of `dictionaryBits` and `level`.
  PieceCompressor(int threads, int dictionaryBits, int level);
  // Cancels what is still running and waits for the threads.
  ~PieceCompressor();
  PieceCompressor(const PieceCompressor&) = delete;
  PieceCompressor& operator=(const PieceCompressor&) = delete;

  int Threads() const { return threads_; }

  // Queues a job (with one thread: compresses it before returning).
  void Submit(const std::shared_ptr<PieceJob>& job);
  bool Done(const PieceJob& job);
  // Waits for the job, calling `whileWaiting` now and then on this thread (it may
  // throw, to give up waiting).
  void Wait(const PieceJob& job, const std::function<void()>& whileWaiting);

 private:
  void Work();

  const int threads_, dictionaryBits_, level_;
  std::unique_ptr<Lz77Encoder> own_;  // one thread: the caller's encoder
  std::mutex lock_;
  std::condition_variable queued_, finished_;
  std::deque<std::shared_ptr<PieceJob>> queue_;
  bool closing_ = false;
  std::atomic<bool> cancel_{false};
  std::vector<std::thread> workers_;
};

// Compresses one job with `encoder` (restarted first). Throws if `cancel` turns true.
void CompressJob(PieceJob& job, Lz77Encoder& encoder, const std::atomic<bool>& cancel);

}  // namespace ace::writer
