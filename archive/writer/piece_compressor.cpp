#include "piece_compressor.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <span>
#include <stdexcept>

namespace ace::writer {
namespace {

// The encoder takes a job's bytes in steps of this size, so that a cancelled job
// ends soon.
constexpr std::size_t kReadStep = std::size_t{1} << 16;

}  // namespace

bool PieceJob::NeedsEncoder() const {
  return std::any_of(parts.begin(), parts.end(), [](const Part& p) { return p.compress; });
}

void CompressJob(PieceJob& job, Lz77Encoder& encoder, const std::atomic<bool>& cancel) {
  encoder.Restart();
  const std::span<const std::uint8_t> all(job.data);
  if (job.history) encoder.AddHistory(all.first(job.history));
  for (PieceJob::Part& part : job.parts) {
    const auto bytes = all.subspan(job.history + part.at, part.length);
    if (!part.compress) {
      encoder.AddHistory(bytes);
      continue;
    }
    if (part.independent) encoder.StartIndependentEntry();
    std::size_t taken = 0;
    const ByteReader read = [&](std::uint8_t* dst, std::size_t capacity) -> std::size_t {
      if (cancel.load(std::memory_order_relaxed)) throw std::runtime_error("cancelled");
      const std::size_t n = std::min({capacity, kReadStep, bytes.size() - taken});
      std::memcpy(dst, bytes.data() + taken, n);
      taken += n;
      return n;
    };
    encoder.EncodePiece(part.length, read, part.entryStart, part.entryEnd, part.packed);
  }
}

PieceCompressor::PieceCompressor(int threads, int dictionaryBits, int level)
    : threads_(std::max(threads, 1)), dictionaryBits_(dictionaryBits), level_(level) {
  if (threads_ == 1) own_ = std::make_unique<Lz77Encoder>(dictionaryBits_, level_);
}

PieceCompressor::~PieceCompressor() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    closing_ = true;
    cancel_ = true;
    queue_.clear();
  }
  queued_.notify_all();
  for (auto& t : workers_) t.join();
}

void PieceCompressor::Submit(const std::shared_ptr<PieceJob>& job) {
  if (!job->NeedsEncoder()) {
    std::lock_guard<std::mutex> hold(lock_);
    job->done = true;
    return;
  }
  if (own_) {
    try {
      CompressJob(*job, *own_, cancel_);
    } catch (...) {
      job->error = std::current_exception();
    }
    job->done = true;
    return;
  }
  if (workers_.empty()) {  // the threads start with the first job that needs them
    workers_.reserve(static_cast<std::size_t>(threads_));
    for (int i = 0; i < threads_; ++i) workers_.emplace_back([this] { Work(); });
  }
  {
    std::lock_guard<std::mutex> hold(lock_);
    queue_.push_back(job);
  }
  queued_.notify_one();
}

bool PieceCompressor::Done(const PieceJob& job) {
  std::lock_guard<std::mutex> hold(lock_);
  return job.done;
}

void PieceCompressor::Wait(const PieceJob& job, const std::function<void()>& whileWaiting) {
  std::unique_lock<std::mutex> hold(lock_);
  while (!job.done) {
    if (finished_.wait_for(hold, std::chrono::milliseconds(50), [&] { return job.done; })) break;
    hold.unlock();
    whileWaiting();
    hold.lock();
  }
}

void PieceCompressor::Work() {
  std::unique_ptr<Lz77Encoder> encoder;
  for (;;) {
    std::shared_ptr<PieceJob> job;
    {
      std::unique_lock<std::mutex> hold(lock_);
      queued_.wait(hold, [&] { return closing_ || !queue_.empty(); });
      if (closing_) return;
      job = std::move(queue_.front());
      queue_.pop_front();
    }
    std::exception_ptr error;
    try {
      if (!encoder) encoder = std::make_unique<Lz77Encoder>(dictionaryBits_, level_);
      CompressJob(*job, *encoder, cancel_);
    } catch (...) {
      error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> hold(lock_);
      job->error = error;
      job->done = true;
    }
    finished_.notify_all();
  }
}

}  // namespace ace::writer
