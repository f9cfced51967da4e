#include "engine/internal/key_sorter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/failure.h"

namespace tvr::engine {

namespace {

std::uint32_t RecnoAt(const char* entry, std::size_t key_length) {
  std::uint32_t recno;
  std::memcpy(&recno, entry + key_length, sizeof recno);
  return recno;
}

}  // namespace

KeySorter::KeySorter(int key_length, std::size_t memory)
    : key_length_(static_cast<std::size_t>(key_length)),
      entry_(static_cast<std::size_t>(key_length) + sizeof(std::uint32_t)),
      capacity_(std::max<std::size_t>(1024, memory / (entry_ + sizeof(std::uint32_t)))) {
  buffer_.resize(capacity_ * entry_);
}

KeySorter::~KeySorter() {
  if (runs_file_ != nullptr) std::fclose(runs_file_);
}

void KeySorter::Add(const char* key, std::uint32_t recno) {
  if (buffered_ == capacity_) SpillRun();
  char* at = buffer_.data() + buffered_ * entry_;
  std::memcpy(at, key, key_length_);
  std::memcpy(at + key_length_, &recno, sizeof recno);
  ++buffered_;
  ++total_;
}

void KeySorter::SortBuffer() {
  order_.resize(buffered_);
  for (std::size_t i = 0; i < buffered_; ++i) order_[i] = static_cast<std::uint32_t>(i);
  // Entries came in record order: the position breaks ties between equal keys.
  const char* base = buffer_.data();
  const std::size_t kl = key_length_, size = entry_;
  std::sort(order_.begin(), order_.end(), [&](std::uint32_t a, std::uint32_t b) {
    int c = std::memcmp(base + a * size, base + b * size, kl);
    return c < 0 || (c == 0 && a < b);
  });
}

void KeySorter::SpillRun() {
  if (runs_file_ == nullptr) {
    runs_file_ = std::tmpfile();  // anonymous: gone with the process, whatever happens
    if (runs_file_ == nullptr) ThrowErrno(errno);
  }
  SortBuffer();
  Run run;
  run.offset = runs_.empty() ? 0 : runs_.back().offset + runs_.back().count;
  run.count = buffered_;
  std::vector<char> out;
  out.reserve(64 * 1024);
  std::fseek(runs_file_, static_cast<long>(run.offset * entry_), SEEK_SET);
  for (std::uint32_t i : order_) {
    out.insert(out.end(), buffer_.data() + i * entry_, buffer_.data() + (i + 1) * entry_);
    if (out.size() >= 64 * 1024) {
      if (std::fwrite(out.data(), 1, out.size(), runs_file_) != out.size()) ThrowErrno(errno);
      out.clear();
    }
  }
  if (!out.empty() && std::fwrite(out.data(), 1, out.size(), runs_file_) != out.size()) {
    ThrowErrno(errno);
  }
  runs_.push_back(run);
  buffered_ = 0;
  std::vector<std::uint32_t>().swap(order_);
}

void KeySorter::Start() {
  if (runs_.empty()) {
    SortBuffer();  // everything fits: hand out of the buffer in order
    sorted_at_ = 0;
    return;
  }
  if (buffered_ > 0) SpillRun();
  if (std::fflush(runs_file_) != 0) ThrowErrno(errno);
  per_run_ = capacity_ / runs_.size();
  if (per_run_ == 0) per_run_ = 1;
  if (per_run_ * runs_.size() > capacity_) buffer_.resize(per_run_ * runs_.size() * entry_);
  heap_.clear();
  for (std::size_t r = 0; r < runs_.size(); ++r) {
    runs_[r].buffer_at = r * per_run_;
    Refill(runs_[r]);
    if (runs_[r].buffered > 0) heap_.push_back(r);
  }
  const auto later = [&](std::size_t a, std::size_t b) {
    int c = std::memcmp(Head(runs_[a]), Head(runs_[b]), key_length_);
    return c > 0 || (c == 0 && a > b);  // earlier runs hold lower record numbers
  };
  std::make_heap(heap_.begin(), heap_.end(), later);
}

void KeySorter::Refill(Run& run) {
  const std::uint64_t left = run.count - run.taken;
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, per_run_));
  run.buffered = n;
  run.position = 0;
  if (n == 0) return;
  std::fseek(runs_file_, static_cast<long>((run.offset + run.taken) * entry_), SEEK_SET);
  if (std::fread(buffer_.data() + run.buffer_at * entry_, entry_, n, runs_file_) != n) {
    throw Failure(err::kDeviceIo, "Device I/O error: a sort run of an index rebuild is cut short");
  }
}

const char* KeySorter::Head(const Run& run) const {
  return buffer_.data() + (run.buffer_at + run.position) * entry_;
}

void KeySorter::Next(char* key, std::uint32_t& recno) {
  if (runs_.empty()) {
    const char* entry = buffer_.data() + order_.at(sorted_at_++) * entry_;
    std::memcpy(key, entry, key_length_);
    recno = RecnoAt(entry, key_length_);
    return;
  }
  const auto later = [&](std::size_t a, std::size_t b) {
    int c = std::memcmp(Head(runs_[a]), Head(runs_[b]), key_length_);
    return c > 0 || (c == 0 && a > b);
  };
  if (heap_.empty()) throw Failure(err::kInvalidCall, "More entries asked of a sort than it holds");
  std::pop_heap(heap_.begin(), heap_.end(), later);
  Run& run = runs_[heap_.back()];
  const char* entry = Head(run);
  std::memcpy(key, entry, key_length_);
  recno = RecnoAt(entry, key_length_);
  ++run.taken;
  if (++run.position == run.buffered) Refill(run);
  if (run.buffered > 0) {
    std::push_heap(heap_.begin(), heap_.end(), later);
  } else {
    heap_.pop_back();
  }
}

}  // namespace tvr::engine
