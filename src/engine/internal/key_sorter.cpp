#include "engine/internal/key_sorter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/failure.h"

namespace tvr::engine {

namespace {

// Ranges of more items than this sort by radix, smaller ones by comparison.
constexpr std::ptrdiff_t kRadixAtLeast = 256;

std::uint32_t RecnoAt(const char* entry, std::size_t key_length) {
  std::uint32_t recno;
  std::memcpy(&recno, entry + key_length, sizeof recno);
  return recno;
}

}  // namespace

KeySorter::KeySorter(int key_length, std::size_t memory, std::uint64_t expected)
    : key_length_(static_cast<std::size_t>(key_length)),
      entry_(static_cast<std::size_t>(key_length) + sizeof(std::uint32_t)),
      capacity_(static_cast<std::size_t>(std::max<std::uint64_t>(
          1, std::min<std::uint64_t>(
                 expected, std::max<std::size_t>(1024, memory / BytesPerEntry(key_length)))))) {
  buffer_.resize(capacity_ * entry_);
  order_.reserve(capacity_);
  scratch_.reserve(capacity_);
}

std::size_t KeySorter::BytesPerEntry(int key_length) {
  return static_cast<std::size_t>(key_length) + sizeof(std::uint32_t) + 2 * sizeof(Item);
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
  for (std::size_t i = 0; i < buffered_; ++i) order_[i].at = static_cast<std::uint32_t>(i);
  SortItems(order_.data(), order_.data() + order_.size(), 0);
}

// Sorts items that are in buffer order by their keys from byte `depth` on, 8 bytes at a time:
// by the number of the next 8 bytes and then by position, after which each group of equal
// numbers is again in buffer order and is sorted by the following 8 bytes. Entries came in
// record order, so equal keys stay in record order. Keys of one client share long prefixes
// (the client's code, then blanks): a group whose 8 bytes are all alike needs no sort.
void KeySorter::SortItems(Item* begin, Item* end, std::size_t depth) {
  const char* base = buffer_.data();
  for (; end - begin > 1 && depth < key_length_; depth += 8) {
    const std::size_t take = std::min<std::size_t>(8, key_length_ - depth);
    bool alike = true;
    for (Item* it = begin; it != end; ++it) {
      unsigned char bytes[8] = {};
      std::memcpy(bytes, base + std::size_t{it->at} * entry_ + depth, take);
      std::uint64_t chunk = 0;
      for (unsigned char b : bytes) chunk = chunk << 8 | b;
      it->chunk = chunk;
      alike = alike && chunk == begin->chunk;
    }
    if (alike) continue;
    if (end - begin > kRadixAtLeast) {
      RadixSort(begin, end);
    } else {
      std::sort(begin, end, [](const Item& a, const Item& b) {
        return a.chunk < b.chunk || (a.chunk == b.chunk && a.at < b.at);
      });
    }
    if (depth + 8 >= key_length_) return;
    for (Item* group = begin; group != end;) {
      Item* group_end = group + 1;
      while (group_end != end && group_end->chunk == group->chunk) ++group_end;
      SortItems(group, group_end, depth + 8);
      group = group_end;
    }
    return;
  }
}

// A stable sort by the numbers, a byte at a time from the lowest; bytes alike in every item
// (most of them, as keys share their prefixes) take no pass.
void KeySorter::RadixSort(Item* begin, Item* end) {
  const auto n = static_cast<std::size_t>(end - begin);
  scratch_.resize(n);
  std::size_t counts[8][256] = {};
  for (const Item* it = begin; it != end; ++it) {
    for (int b = 0; b < 8; ++b) ++counts[b][(it->chunk >> (8 * b)) & 0xFF];
  }
  Item* from = begin;
  Item* to = scratch_.data();
  for (int b = 0; b < 8; ++b) {
    std::size_t* count = counts[b];
    if (count[(from->chunk >> (8 * b)) & 0xFF] == n) continue;
    std::size_t at = 0;
    for (int v = 0; v < 256; ++v) {
      const std::size_t c = count[v];
      count[v] = at;
      at += c;
    }
    for (const Item* it = from; it != from + n; ++it)
      to[count[(it->chunk >> (8 * b)) & 0xFF]++] = *it;
    std::swap(from, to);
  }
  if (from != begin) std::copy(from, from + n, begin);
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
  for (const Item& item : order_) {
    const char* entry = buffer_.data() + std::size_t{item.at} * entry_;
    out.insert(out.end(), entry, entry + entry_);
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
}

void KeySorter::Start() {
  if (runs_.empty()) {
    SortBuffer();  // everything fits: hand out of the buffer in order
    sorted_at_ = 0;
    return;
  }
  if (buffered_ > 0) SpillRun();
  std::vector<Item>().swap(order_);  // the merge needs only the buffer
  std::vector<Item>().swap(scratch_);
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
    const char* entry = buffer_.data() + std::size_t{order_.at(sorted_at_++).at} * entry_;
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
