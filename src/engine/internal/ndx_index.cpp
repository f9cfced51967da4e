#include "engine/internal/ndx_index.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>

#include "engine/internal/mapped_file.h"
#include "platform/failure.h"
#include "platform/little_endian.h"

namespace tvr::engine {

namespace {

// The layout of docs/ndx-format.md.
constexpr std::uint64_t kBlockSize = 512;
// Header block (block 0).
constexpr std::size_t kRootAt = 0;           // u32 root block
constexpr std::size_t kBlockCountAt = 4;     // u32 blocks in use, header included (= next free)
constexpr std::size_t kKeyLengthAt = 12;     // u16
constexpr std::size_t kKeysPerBlockAt = 14;  // u16
constexpr std::size_t kKeyTypeAt = 16;       // u16, 0 = character
constexpr std::size_t kGroupLengthAt = 18;   // u32
constexpr std::size_t kUniqueAt = 23;        // u8
constexpr std::size_t kExpressionAt = 24;    // NUL-terminated text
constexpr std::size_t kStampAt = 508;        // u32, the engine's stamp
// Node blocks.
constexpr std::size_t kEntriesAt = 4;  // after the u32 key count
constexpr std::size_t kEntryRecnoAt = 4;
constexpr std::size_t kEntryKeyAt = 8;

constexpr int kMaxKeyLength = 100;
constexpr std::size_t kMaxExpressionLength = 100;
// No sound tree of 512-byte blocks is this deep; a longer descent is a loop in the file.
constexpr std::size_t kMaxDepth = 40;

using platform::LoadLittle16;
using platform::LoadLittle32;
using platform::StoreLittle16;
using platform::StoreLittle32;

int GroupLengthFor(int key_length) { return (key_length + 8 + 3) / 4 * 4; }
int MaxKeysPerBlock(int group_length) {
  // A branch holds one child pointer more than it holds keys.
  return static_cast<int>((kBlockSize - kEntriesAt - 4) / static_cast<std::uint64_t>(group_length));
}

std::string FitKey(std::string_view key, int key_length) {
  std::string fitted(key.substr(0, static_cast<std::size_t>(key_length)));
  fitted.resize(static_cast<std::size_t>(key_length), ' ');
  return fitted;
}

std::string BaseName(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

[[noreturn]] void ThrowDamaged(const std::string& path, std::string_view why) {
  throw Failure(err::kIndexDamaged, std::string(StandardDescription(err::kIndexDamaged)) + " (" +
                                        BaseName(path) + ": " + std::string(why) + ")");
}

struct Header {
  std::uint32_t root = 0;
  std::uint32_t blocks = 0;
  int key_length = 0;
  int keys_per_block = 0;
  int group_length = 0;
  std::string expression;
};

Header ParseHeader(const unsigned char* b, std::uint64_t file_size, const std::string& path) {
  Header h;
  h.root = LoadLittle32(b + kRootAt);
  h.blocks = LoadLittle32(b + kBlockCountAt);
  h.key_length = LoadLittle16(b + kKeyLengthAt);
  h.keys_per_block = LoadLittle16(b + kKeysPerBlockAt);
  h.group_length =
      static_cast<int>(std::min<std::uint32_t>(LoadLittle32(b + kGroupLengthAt), 1u << 16));
  if (LoadLittle16(b + kKeyTypeAt) != 0) ThrowDamaged(path, "key type is not character");
  if (h.key_length < 1 || h.key_length > kMaxKeyLength) ThrowDamaged(path, "bad key length");
  if (h.group_length != GroupLengthFor(h.key_length)) ThrowDamaged(path, "bad group length");
  if (h.keys_per_block < 2 || h.keys_per_block > MaxKeysPerBlock(h.group_length)) {
    ThrowDamaged(path, "bad number of keys per block");
  }
  if (h.blocks < 2) ThrowDamaged(path, "bad block count");
  if (file_size < std::uint64_t{h.blocks} * kBlockSize) {
    ThrowDamaged(path, "file shorter than its block count");
  }
  if (h.root < 1 || h.root >= h.blocks) ThrowDamaged(path, "root block out of range");
  const auto* text = reinterpret_cast<const char*>(b + kExpressionAt);
  const void* end = std::memchr(text, 0, kStampAt - kExpressionAt);
  if (end == nullptr) ThrowDamaged(path, "key expression not terminated");
  h.expression.assign(text, static_cast<const char*>(end));
  if (h.expression.empty()) ThrowDamaged(path, "no key expression");
  return h;
}

// A key's bytes, held inline: a key is at most kMaxKeyLength bytes, so decoding a block of
// entries allocates nothing for them.
class KeyBytes {
 public:
  KeyBytes() = default;
  KeyBytes(std::string_view text) { assign(text.data(), text.size()); }
  KeyBytes(const std::string& text) : KeyBytes(std::string_view(text)) {}

  void assign(const char* text, std::size_t size) {
    size_ = static_cast<std::uint8_t>(std::min(size, sizeof bytes_));
    std::memcpy(bytes_, text, size_);
  }
  const char* data() const { return bytes_; }
  std::size_t size() const { return size_; }
  operator std::string_view() const { return {bytes_, size_}; }
  friend bool operator==(const KeyBytes& a, const KeyBytes& b) {
    return std::string_view(a) == std::string_view(b);
  }

 private:
  char bytes_[kMaxKeyLength];
  std::uint8_t size_ = 0;
};

// A key with its record number. Branch entries (separators) carry the key alone, with
// record number 0, as the format's readers expect.
struct Item {
  KeyBytes key;
  std::uint32_t recno = 0;
};

Item SeparatorFor(const Item& last) { return Item{last.key, 0}; }

struct Slot {
  Item item;
  std::uint32_t child = 0;
};

// One node block, decoded. A branch has slots.size() + 1 children: the slots' children and
// `rightmost`.
struct Node {
  std::uint32_t block = 0;
  bool leaf = true;
  std::vector<Slot> slots;
  std::uint32_t rightmost = 0;

  std::size_t count() const { return slots.size(); }
  std::uint32_t ChildAt(std::size_t i) const {
    return i < slots.size() ? slots[i].child : rightmost;
  }
};

// Blocks read ahead, in two windows of the file: one follows the leaves, the other takes
// the branch blocks met between them (a build writes each branch right after its last
// child). A read where a window ended fills that window again with twice the blocks, up to
// kMostBlocks; a read elsewhere fills the window used less lately with kFewestBlocks.
struct BlockWindows {
  static constexpr std::uint32_t kFewestBlocks = 8;
  static constexpr std::uint32_t kMostBlocks = 128;
  struct Window {
    std::vector<unsigned char> bytes;
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    bool Holds(std::uint32_t block) const { return block >= first && block - first < count; }
  };
  std::array<Window, 2> windows;
  std::size_t last_used = 0;

  // The bytes of block `block`, valid until the next call.
  const unsigned char* At(const platform::File& file, std::uint32_t block, std::uint32_t blocks) {
    std::size_t w = windows[0].Holds(block) ? 0 : windows[1].Holds(block) ? 1 : 2;
    if (w == 2) {
      std::uint32_t want = kFewestBlocks;
      w = 1 - last_used;
      for (std::size_t i = 0; i < 2; ++i) {
        if (windows[i].count > 0 && windows[i].first + windows[i].count == block) {
          w = i;
          want = std::min(windows[i].count * 2, kMostBlocks);
        }
      }
      Window& fill = windows[w];
      fill.bytes.resize(std::size_t{std::min(want, blocks - block)} * kBlockSize);
      const std::size_t got =
          file.ReadAt(std::uint64_t{block} * kBlockSize, fill.bytes.data(), fill.bytes.size());
      fill.first = block;
      fill.count = static_cast<std::uint32_t>(got / kBlockSize);
      if (fill.count == 0) ThrowDamaged(file.path(), "file shorter than its block count");
    }
    last_used = w;
    const Window& from = windows[w];
    return from.bytes.data() + std::size_t{block - from.first} * kBlockSize;
  }
};

// One call's view of the file: the header as read at the start of the call, block reads with
// validation, block writes and allocation.
class Tree {
 public:
  // Reads go through `map` (when given) for the blocks the file holds now.
  Tree(const platform::File& file, platform::File* writer, int expected_key_length,
       MappedFile* map = nullptr)
      : file_(file), writer_(writer), map_(map) {
    unsigned char block[kBlockSize];
    if (file_.ReadAt(0, block, kBlockSize) != kBlockSize) Damaged("no header block");
    header_ = ParseHeader(block, file_.Size(), file_.path());
    if (header_.key_length != expected_key_length) Damaged("key length changed");
    kl_ = static_cast<std::size_t>(header_.key_length);
    root_ = header_.root;
    blocks_ = header_.blocks;
    if (map_ != nullptr && !map_->Cover(std::uint64_t{blocks_} * kBlockSize)) map_ = nullptr;
  }

  [[noreturn]] void Damaged(std::string_view why) const { ThrowDamaged(file_.path(), why); }

  // For a walk through many leaves: blocks are then read with pread, several at a time,
  // instead of through the map. Leaves laid down in key order (as a build lays them) cost one
  // read per window of blocks, and the process maps none of the pages it walks through; a
  // page fault costs more than a read of many blocks in some machines.
  void ReadInWindows() {
    map_ = nullptr;
    window_.emplace();
  }

  std::uint32_t root() const { return root_; }
  void set_root(std::uint32_t root) { root_ = root; }
  std::uint32_t blocks() const { return blocks_; }
  int keys_per_block() const { return header_.keys_per_block; }

  // Full order of index entries (both record numbers set).
  bool Less(const Item& a, const Item& b) const {
    int c = std::memcmp(a.key.data(), b.key.data(), kl_);
    return c < 0 || (c == 0 && a.recno < b.recno);
  }
  // Order used to check separators and bounds: keys alone when either side is a separator
  // without record number.
  int Compare(const Item& a, const Item& b) const {
    int c = std::memcmp(a.key.data(), b.key.data(), kl_);
    if (c != 0 || a.recno == 0 || b.recno == 0) return c;
    return a.recno < b.recno ? -1 : (a.recno > b.recno ? 1 : 0);
  }
  // Whether the subtree left of `sep` may hold `target` or entries after it: a separator
  // without record number covers every entry with its key.
  bool Covers(const Item& sep, const Item& target) const {
    int c = std::memcmp(sep.key.data(), target.key.data(), kl_);
    return c > 0 || (c == 0 && (sep.recno == 0 || sep.recno >= target.recno));
  }
  // Whether the subtree left of `sep` surely ends at or after `target`. It may not when
  // both have one key, the separator gives no record number and the target does.
  bool SurelyCovers(const Item& sep, const Item& target) const {
    int c = std::memcmp(sep.key.data(), target.key.data(), kl_);
    return c > 0 ||
           (c == 0 && (target.recno == 0 || (sep.recno != 0 && sep.recno >= target.recno)));
  }
  bool Above(const Item& item, const Item& lower) const {
    int c = Compare(item, lower);
    return c > 0 || (c == 0 && (item.recno == 0 || lower.recno == 0));
  }

  // The bytes of node block `block`: in the read-ahead window when there is one (valid until
  // the next read), else read into `scratch`.
  const unsigned char* BlockBytes(std::uint32_t block, unsigned char* scratch) const {
    if (block < 1 || block >= blocks_) Damaged("block pointer out of range");
    if (window_) return window_->At(file_, block, blocks_);
    const std::uint64_t at = std::uint64_t{block} * kBlockSize;
    if ((map_ == nullptr || !map_->Copy(at, scratch, kBlockSize)) &&
        file_.ReadAt(at, scratch, kBlockSize) != kBlockSize) {
      Damaged("file shorter than its block count");
    }
    return scratch;
  }

  Node Read(std::uint32_t block) const {
    unsigned char b[kBlockSize];
    const unsigned char* bytes = BlockBytes(block, b);
    if (bytes != b) std::memcpy(b, bytes, kBlockSize);
    Node node;
    node.block = block;
    std::uint32_t count = LoadLittle32(b);
    if (count > static_cast<std::uint32_t>(header_.keys_per_block))
      Damaged("too many keys in a block");
    const std::size_t group = static_cast<std::size_t>(header_.group_length);
    node.leaf = LoadLittle32(b + kEntriesAt) == 0;
    node.slots.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      const unsigned char* e = b + kEntriesAt + i * group;
      Slot& s = node.slots[i];
      s.child = LoadLittle32(e);
      s.item.recno = LoadLittle32(e + kEntryRecnoAt);
      s.item.key.assign(reinterpret_cast<const char*>(e + kEntryKeyAt), kl_);
      if (node.leaf) {
        if (s.child != 0) Damaged("leaf and branch entries mixed");
        if (s.item.recno == 0) Damaged("record number 0");
        if (i > 0 && !Less(node.slots[i - 1].item, s.item)) Damaged("keys out of order");
      } else {
        CheckChild(node, s.child);
        if (i > 0 && Compare(node.slots[i - 1].item, s.item) > 0) Damaged("keys out of order");
      }
    }
    if (!node.leaf) {
      node.rightmost = LoadLittle32(b + kEntriesAt + count * group);
      CheckChild(node, node.rightmost);
    }
    return node;
  }

  void Write(const Node& node) {
    unsigned char b[kBlockSize] = {};
    StoreLittle32(b, static_cast<std::uint32_t>(node.count()));
    const std::size_t group = static_cast<std::size_t>(header_.group_length);
    for (std::size_t i = 0; i < node.count(); ++i) {
      unsigned char* e = b + kEntriesAt + i * group;
      StoreLittle32(e, node.leaf ? 0 : node.slots[i].child);
      StoreLittle32(e + kEntryRecnoAt, node.slots[i].item.recno);
      std::memcpy(e + kEntryKeyAt, node.slots[i].item.key.data(), kl_);
    }
    if (!node.leaf) StoreLittle32(b + kEntriesAt + node.count() * group, node.rightmost);
    writer_->WriteAt(std::uint64_t{node.block} * kBlockSize, b, kBlockSize);
  }

  std::uint32_t Allocate() {
    if (blocks_ == UINT32_MAX) throw Failure(err::kDiskFull);
    return blocks_++;
  }

  // Writes the root and the block count when the call changed them.
  void SaveHeader() {
    if (root_ == header_.root && blocks_ == header_.blocks) return;
    unsigned char b[8];
    StoreLittle32(b + kRootAt, root_);
    StoreLittle32(b + kBlockCountAt, blocks_);
    writer_->WriteAt(0, b, sizeof b);
    header_.root = root_;
    header_.blocks = blocks_;
  }

  // Appends to `out` the record numbers of the entries whose key begins with `prefix`, in key
  // order. It reads the entries in place, leaf block by leaf block, without decoding them:
  // a client's range of a tag may hold a hundred thousand entries. It skips every subtree
  // whose separator lies below the prefix and stops at the first entry past it. The entries
  // it passes must rise and each block is met once, so a damaged file ends in Failure 3256.
  void PrefixRecords(std::string_view prefix, std::vector<std::uint32_t>& out) const {
    PrefixWalk walk{*this, prefix, out};
    walk.Visit(root_, 0);
  }

  // The last entry under `block`.
  Item SubtreeMax(std::uint32_t block) const {
    for (std::size_t depth = 0; depth < kMaxDepth; ++depth) {
      Node node = Read(block);
      if (node.leaf) {
        if (node.slots.empty()) Damaged("empty leaf");
        return node.slots.back().item;
      }
      block = node.rightmost;
    }
    Damaged("loop in the tree");
  }

 private:
  struct PrefixWalk {
    const Tree& tree;
    std::string_view prefix;
    std::vector<std::uint32_t>& out;
    std::uint64_t visits = 0;
    const unsigned char* last = nullptr;  // the entry passed last, in `last_block`
    std::uint32_t last_recno = 0;
    std::array<unsigned char, kBlockSize> last_block{};
    bool done = false;

    // Compares the first prefix.size() bytes of `key` with the prefix.
    int AgainstPrefix(const unsigned char* key) const {
      return std::memcmp(key, prefix.data(), prefix.size());
    }

    void Visit(std::uint32_t block, std::size_t depth) {
      if (depth >= kMaxDepth || ++visits > tree.blocks_) tree.Damaged("loop in the tree");
      std::array<unsigned char, kBlockSize> b;
      const unsigned char* bytes = tree.BlockBytes(block, b.data());
      const std::uint32_t count = LoadLittle32(bytes);
      if (count > static_cast<std::uint32_t>(tree.header_.keys_per_block)) {
        tree.Damaged("too many keys in a block");
      }
      const std::size_t group = static_cast<std::size_t>(tree.header_.group_length);
      const std::size_t kl = tree.kl_;
      if (LoadLittle32(bytes + kEntriesAt) == 0) {
        Leaf(bytes, count, group, kl);
        return;
      }
      // A branch's bytes are kept while its children are read.
      if (bytes != b.data()) std::memcpy(b.data(), bytes, kBlockSize);
      const unsigned char* entries = b.data() + kEntriesAt;
      const unsigned char* previous = nullptr;
      for (std::uint32_t i = 0; i <= count && !done; ++i) {
        const unsigned char* e = entries + i * group;
        const std::uint32_t child = LoadLittle32(e);
        if (child == 0) tree.Damaged("leaf and branch entries mixed");
        if (child >= tree.blocks_ || child == block) tree.Damaged("block pointer out of range");
        if (i < count) {
          const unsigned char* key = e + kEntryKeyAt;
          if (previous != nullptr && std::memcmp(previous, key, kl) > 0) {
            tree.Damaged("keys out of order");
          }
          previous = key;
          // Every entry under this child is at most its separator: below the prefix, it
          // holds none of the entries sought.
          if (AgainstPrefix(key) < 0) continue;
        }
        Visit(child, depth + 1);
      }
    }

    void Leaf(const unsigned char* b, std::uint32_t count, std::size_t group, std::size_t kl) {
      const unsigned char* entries = b + kEntriesAt;
      for (std::uint32_t i = 0; i < count; ++i) {
        const unsigned char* e = entries + i * group;
        const unsigned char* key = e + kEntryKeyAt;
        const std::uint32_t recno = LoadLittle32(e + kEntryRecnoAt);
        if (LoadLittle32(e) != 0) tree.Damaged("leaf and branch entries mixed");
        if (recno == 0) tree.Damaged("record number 0");
        if (last != nullptr) {
          const int c = std::memcmp(last, key, kl);
          if (c > 0 || (c == 0 && last_recno >= recno)) tree.Damaged("keys out of order");
        }
        last = key;
        last_recno = recno;
        const int c = AgainstPrefix(key);
        if (c > 0) {
          done = true;
          return;
        }
        if (c == 0) out.push_back(recno);
      }
      // The last entry stays comparable once this block's bytes are gone.
      if (count > 0) {
        std::memcpy(last_block.data(), last, kl);
        last = last_block.data();
      }
    }
  };

  void CheckChild(const Node& node, std::uint32_t child) const {
    if (child == 0) Damaged("leaf and branch entries mixed");
    if (child >= blocks_ || child == node.block) Damaged("block pointer out of range");
  }

  const platform::File& file_;
  platform::File* writer_;
  MappedFile* map_;
  mutable std::optional<BlockWindows> window_;
  Header header_;
  std::size_t kl_ = 0;
  std::uint32_t root_ = 0;
  std::uint32_t blocks_ = 0;
};

// A position among the entries: the path from the root to a leaf and an entry of the leaf.
// Every node met is checked against the bounds its parent gives, and the entries passed
// must rise, so a damaged file ends in Failure 3256 rather than a loop or a crash.
class Cursor {
 public:
  struct Step {
    Node node;
    std::size_t index = 0;  // branch: the child followed (count() = rightmost); leaf: entry
    std::optional<Item> lo, hi;
  };

  explicit Cursor(Tree& tree) : tree_(tree) {}

  // Moves to the first entry not below `target` (record number 0 = before every record of
  // the key). AtEnd() when there is none; the path then ends at the last leaf.
  void Seek(const Item& target) {
    path_.clear();
    insert_path_.clear();
    Descend(tree_.root(), std::nullopt, std::nullopt, &target);
    for (bool landing = true;; landing = false) {
      Step& leaf = path_.back();
      const auto& slots = leaf.node.slots;
      leaf.index = static_cast<std::size_t>(
          std::partition_point(slots.begin(), slots.end(),
                               [&](const Slot& s) { return tree_.Less(s.item, target); }) -
          slots.begin());
      if (leaf.index < slots.size()) return;
      // A sound file lands on the right leaf. A separator larger than its subtree, or an
      // empty leaf (both left by other writers), makes the search walk on to the next leaf;
      // a new entry then belongs after the last entry passed.
      if (landing || !slots.empty()) insert_path_ = path_;
      if (!NextLeaf()) return;
    }
  }

  // Where Insert puts the target after Seek: the current position, or the end of the leaf
  // holding the entry before it when Seek walked on to the first entry of another leaf.
  std::vector<Step>& InsertPath() {
    return path_.back().index == 0 && !insert_path_.empty() ? insert_path_ : path_;
  }

  bool AtEnd() const { return path_.back().index >= path_.back().node.count(); }
  const Item& Current() const { return path_.back().node.slots[path_.back().index].item; }

  void Next() {
    if (++path_.back().index < path_.back().node.count()) return;
    while (NextLeaf()) {
      if (path_.back().node.count() > 0) return;
    }
  }

  std::vector<Step>& path() { return path_; }

 private:
  // Pushes the nodes from `block` down to a leaf, following the first child that covers
  // `target`, or the first child when there is no target.
  void Descend(std::uint32_t block, std::optional<Item> lo, std::optional<Item> hi,
               const Item* target) {
    for (;;) {
      if (path_.size() >= kMaxDepth) tree_.Damaged("loop in the tree");
      Step step{tree_.Read(block), 0, std::move(lo), std::move(hi)};
      // Read found a leaf's entries strictly rising, so its first and last entry inside the
      // bounds put every entry inside them.
      const auto& checked = step.node.slots;
      const std::size_t skip = step.node.leaf && checked.size() > 2 ? checked.size() - 2 : 0;
      for (std::size_t i = 0; i < checked.size(); i = i == 0 ? 1 + skip : i + 1) {
        const Item& item = checked[i].item;
        if ((step.lo && !tree_.Above(item, *step.lo)) ||
            (step.hi && tree_.Compare(item, *step.hi) > 0)) {
          tree_.Damaged("keys out of order");
        }
      }
      if (step.node.leaf) {
        if (step.node.count() > 0) {
          if (last_ && !tree_.Less(*last_, step.node.slots.front().item)) {
            tree_.Damaged("keys out of order");
          }
        }
        if (++leaves_visited_ > tree_.blocks()) tree_.Damaged("loop in the tree");
        path_.push_back(std::move(step));
        return;
      }
      const auto& slots = step.node.slots;
      std::size_t i = target != nullptr ? ChooseChild(step.node, *target) : 0;
      step.index = i;
      lo = i > 0 ? std::optional<Item>(slots[i - 1].item) : step.lo;
      hi = i < slots.size() ? std::optional<Item>(slots[i].item) : step.hi;
      block = step.node.ChildAt(i);
      path_.push_back(std::move(step));
    }
  }

  // The child of `node` that holds the first entry not below `target`. Among children whose
  // separators all give the target's key, the largest entries below them decide (a binary
  // search), so that a record among many equal keys is found without walking them all.
  std::size_t ChooseChild(const Node& node, const Item& target) const {
    const auto& slots = node.slots;
    auto first = std::partition_point(slots.begin(), slots.end(),
                                      [&](const Slot& s) { return !tree_.Covers(s.item, target); });
    auto sure = std::partition_point(
        first, slots.end(), [&](const Slot& s) { return !tree_.SurelyCovers(s.item, target); });
    // The answer is the first child in [lo, hi) whose largest entry is not below the
    // target, or hi.
    std::size_t lo = static_cast<std::size_t>(first - slots.begin());
    std::size_t hi = static_cast<std::size_t>(sure - slots.begin());
    auto below = [&](std::size_t i) {
      return tree_.Less(tree_.SubtreeMax(slots[i].child), target);
    };
    // A new record for a key usually goes after all others: try the last candidate first.
    if (lo < hi && below(hi - 1)) lo = hi;
    while (lo < hi) {
      std::size_t mid = lo + (hi - lo) / 2;
      if (below(mid)) {
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    return lo;
  }

  // Moves to the first entry of the next leaf; false (nothing changed) at the last leaf.
  bool NextLeaf() {
    std::size_t level = path_.size() - 1;
    while (level > 0 && path_[level - 1].index >= path_[level - 1].node.count()) --level;
    if (level == 0) return false;
    const Node& leaf = path_.back().node;
    if (leaf.count() > 0) last_ = leaf.slots.back().item;
    path_.resize(level);
    Step& parent = path_.back();
    std::size_t i = ++parent.index;
    const auto& slots = parent.node.slots;
    Descend(parent.node.ChildAt(i), slots[i - 1].item,
            i < slots.size() ? std::optional<Item>(slots[i].item) : parent.hi, nullptr);
    path_.back().index = 0;
    return true;
  }

  Tree& tree_;
  std::vector<Step> path_;
  std::vector<Step> insert_path_;
  std::optional<Item> last_;  // the last entry of the leaves left behind
  std::uint64_t leaves_visited_ = 0;
};

using Path = std::vector<Cursor::Step>;

// The subtree at path[level] now ends with `last`: rewrite the separator of the nearest
// ancestor that names it (none when it is the rightmost subtree all the way up).
void FixMaxUpward(Tree& tree, Path& path, std::size_t level, const Item& last) {
  while (level > 0) {
    Cursor::Step& parent = path[--level];
    if (parent.index < parent.node.count()) {
      Item& sep = parent.node.slots[parent.index].item;
      if (sep.recno != 0 || sep.key != last.key) {
        sep = SeparatorFor(last);
        tree.Write(parent.node);
      }
      return;
    }
  }
}

// path[level] holds too many entries: split it in two and give its parent one more child,
// splitting upward as far as needed. The left half moves to a new block, so the parent's
// separator for the old block (its last entry) stays right.
void SplitUpward(Tree& tree, Path& path, std::size_t level) {
  for (;;) {
    Node& right = path[level].node;
    Node left;
    left.block = tree.Allocate();
    left.leaf = right.leaf;
    std::size_t half = right.count() / 2;
    Item left_max;
    if (right.leaf) {
      left.slots.assign(right.slots.begin(), right.slots.begin() + half);
      right.slots.erase(right.slots.begin(), right.slots.begin() + half);
      left_max = SeparatorFor(left.slots.back().item);
    } else {
      left.slots.assign(right.slots.begin(), right.slots.begin() + half);
      left.rightmost = right.slots[half].child;
      left_max = right.slots[half].item;
      right.slots.erase(right.slots.begin(), right.slots.begin() + half + 1);
    }
    tree.Write(left);
    tree.Write(right);
    if (level == 0) {
      Node root;
      root.block = tree.Allocate();
      root.leaf = false;
      root.slots.push_back(Slot{left_max, left.block});
      root.rightmost = right.block;
      tree.Write(root);
      tree.set_root(root.block);
      return;
    }
    Cursor::Step& parent = path[level - 1];
    parent.node.slots.insert(parent.node.slots.begin() + static_cast<std::ptrdiff_t>(parent.index),
                             Slot{left_max, left.block});
    ++parent.index;
    if (parent.node.count() <= static_cast<std::size_t>(tree.keys_per_block())) {
      tree.Write(parent.node);
      return;
    }
    --level;
  }
}

// path[level] is a branch left with one child and no key. Hand the child to a neighbour, or
// take one from a full neighbour, so that every branch keeps a key and every leaf stays at
// the same depth; the root gives way to its only child.
void MendLoneChild(Tree& tree, Path& path, std::size_t level) {
  for (;;) {
    Node& lone = path[level].node;
    std::uint32_t child = lone.rightmost;
    if (level == 0) {
      tree.set_root(child);
      return;
    }
    Cursor::Step& up = path[level - 1];
    Node& parent = up.node;
    std::size_t j = up.index;
    if (parent.count() == 0) tree.Damaged("branch without keys");
    const std::size_t limit = static_cast<std::size_t>(tree.keys_per_block());
    if (j > 0) {
      Node left = tree.Read(parent.slots[j - 1].child);
      if (left.leaf) tree.Damaged("leaves at different depths");
      if (left.count() < limit) {
        // Append the child to the left neighbour, which takes the lone node's place.
        left.slots.push_back(Slot{SeparatorFor(tree.SubtreeMax(left.rightmost)), left.rightmost});
        left.rightmost = child;
        tree.Write(left);
        if (j < parent.count()) {
          parent.slots[j].child = left.block;
        } else {
          parent.rightmost = left.block;
        }
        parent.slots.erase(parent.slots.begin() + static_cast<std::ptrdiff_t>(j - 1));
      } else {
        // Take the left neighbour's last child.
        Slot moved = left.slots.back();
        left.slots.pop_back();
        lone.slots.assign(1, Slot{SeparatorFor(tree.SubtreeMax(left.rightmost)), left.rightmost});
        left.rightmost = moved.child;
        parent.slots[j - 1].item = moved.item;
        tree.Write(left);
        tree.Write(lone);
        tree.Write(parent);
        return;
      }
    } else {
      Node right = tree.Read(parent.ChildAt(1));
      if (right.leaf) tree.Damaged("leaves at different depths");
      if (right.count() < limit) {
        // Put the child in front of the right neighbour's children.
        right.slots.insert(right.slots.begin(), Slot{SeparatorFor(tree.SubtreeMax(child)), child});
        tree.Write(right);
        parent.slots.erase(parent.slots.begin());
      } else {
        // Take the right neighbour's first child.
        Slot moved = right.slots.front();
        right.slots.erase(right.slots.begin());
        lone.slots.assign(1, Slot{SeparatorFor(tree.SubtreeMax(child)), child});
        lone.rightmost = moved.child;
        parent.slots[0].item = moved.item;
        tree.Write(right);
        tree.Write(lone);
        tree.Write(parent);
        return;
      }
    }
    if (parent.count() > 0) {
      tree.Write(parent);
      return;
    }
    --level;
  }
}

// Writes a new file block by block, so that building needs little memory besides the
// entries.
class BlockWriter {
 public:
  explicit BlockWriter(platform::File& file) : file_(file) { buffer_.reserve(kBuffer); }
  void Append(const unsigned char* block) {
    buffer_.insert(buffer_.end(), block, block + kBlockSize);
    if (buffer_.size() >= kBuffer) Flush();
  }
  void Flush() {
    if (buffer_.empty()) return;
    file_.WriteAt(offset_, buffer_.data(), buffer_.size());
    offset_ += buffer_.size();
    buffer_.clear();
  }

 private:
  static constexpr std::size_t kBuffer = 128 * kBlockSize;
  platform::File& file_;
  std::vector<unsigned char> buffer_;
  std::uint64_t offset_ = kBlockSize;  // block 0, the header, is written last
};

// Bottom-up building: the nodes of every level are filled in key order, the children shared
// evenly among the nodes of a level, and each node is written as soon as it is complete, so
// that blocks go out in one stream and the root comes last.
class BulkLoader {
 public:
  BulkLoader(BlockWriter& out, int key_length, int keys_per_block, std::uint64_t entries)
      : out_(out),
        kl_(static_cast<std::size_t>(key_length)),
        group_(static_cast<std::size_t>(GroupLengthFor(key_length))) {
    // Level 0 holds up to keys_per_block entries a node; a branch up to keys_per_block + 1
    // children. Every branch gets at least two children (keys_per_block >= 4 here).
    std::uint64_t items = entries;
    std::uint64_t capacity = static_cast<std::uint64_t>(keys_per_block);
    for (;;) {
      std::uint64_t nodes = std::max<std::uint64_t>(1, (items + capacity - 1) / capacity);
      Level level;
      level.nodes = nodes;
      level.base = items / nodes;
      level.extra = items % nodes;
      levels_.push_back(level);
      if (nodes == 1) break;
      items = nodes;
      capacity = static_cast<std::uint64_t>(keys_per_block) + 1;
    }
  }

  void Add(const std::string& key, std::uint32_t recno) { Put(0, 0, key.data(), recno); }

  // Writes the last node of a tree without entries; returns the root block.
  std::uint32_t Finish() {
    if (next_block_ == 1) Emit(0);
    return next_block_ - 1;
  }
  std::uint32_t blocks() const { return next_block_; }

 private:
  struct Level {
    std::uint64_t nodes = 0, base = 0, extra = 0;  // node n gets base (+1 while n < extra) items
    std::uint64_t node = 0;                        // node being filled
    std::uint64_t filled = 0;
    std::array<unsigned char, kBlockSize> block{};
  };

  void Put(std::size_t level, std::uint32_t child, const char* key, std::uint32_t recno) {
    Level& l = levels_[level];
    std::uint64_t want = l.base + (l.node < l.extra ? 1 : 0);
    unsigned char* e = l.block.data() + kEntriesAt + l.filled * group_;
    StoreLittle32(e, child);
    if (level > 0 && l.filled + 1 == want) {
      // The last child of a branch is its rightmost pointer, without key.
      StoreLittle32(l.block.data(), static_cast<std::uint32_t>(l.filled));
    } else {
      StoreLittle32(e + kEntryRecnoAt, level == 0 ? recno : 0);
      std::memcpy(e + kEntryKeyAt, key, kl_);
      if (level == 0) StoreLittle32(l.block.data(), static_cast<std::uint32_t>(l.filled + 1));
    }
    if (++l.filled < want) return;
    // The node is complete: its last entry is the largest key below it.
    std::uint32_t block = Emit(level);
    if (level + 1 < levels_.size()) Put(level + 1, block, key, recno);
  }

  std::uint32_t Emit(std::size_t level) {
    Level& l = levels_[level];
    out_.Append(l.block.data());
    l.block.fill(0);
    l.filled = 0;
    ++l.node;
    return next_block_++;
  }

  BlockWriter& out_;
  std::size_t kl_, group_;
  std::vector<Level> levels_;
  std::uint32_t next_block_ = 1;
};

}  // namespace

NdxIndex::NdxIndex(platform::File file, std::string key_expression, int key_length, bool writable)
    : file_(std::move(file)),
      key_expression_(std::move(key_expression)),
      key_length_(key_length),
      writable_(writable) {}

NdxIndex::~NdxIndex() = default;

namespace {

void CheckBuildArguments(std::string_view key_expression, int key_length) {
  if (key_length < 1 || key_length > kMaxKeyLength) {
    throw Failure(err::kInvalidCall, "Index key length must be 1 to 100");
  }
  if (key_expression.empty() || key_expression.size() > kMaxExpressionLength ||
      key_expression.find('\0') != std::string_view::npos) {
    throw Failure(err::kInvalidCall, "Index key expression must be 1 to 100 characters");
  }
}

}  // namespace

void NdxIndex::Build(const std::string& path, std::string_view key_expression, int key_length,
                     std::vector<Entry> entries, std::uint32_t stamp) {
  CheckBuildArguments(key_expression, key_length);
  for (Entry& e : entries) {
    if (e.recno == 0) throw Failure(err::kInvalidCall, "Record number 0 in an index");
    if (e.key.size() != static_cast<std::size_t>(key_length)) e.key = FitKey(e.key, key_length);
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    int c = a.key.compare(b.key);  // equal lengths: byte order of unsigned chars
    return c < 0 || (c == 0 && a.recno < b.recno);
  });
  entries.erase(std::unique(entries.begin(), entries.end(),
                            [](const Entry& a, const Entry& b) {
                              return a.recno == b.recno && a.key == b.key;
                            }),
                entries.end());
  std::size_t next = 0;
  BuildSorted(path, key_expression, key_length, entries.size(), stamp,
              [&](char* key, std::uint32_t& recno) {
                std::memcpy(key, entries[next].key.data(), static_cast<std::size_t>(key_length));
                recno = entries[next].recno;
                ++next;
              });
}

void NdxIndex::BuildSorted(const std::string& path, std::string_view key_expression, int key_length,
                           std::uint64_t count, std::uint32_t stamp,
                           const std::function<void(char* key, std::uint32_t& recno)>& next) {
  CheckBuildArguments(key_expression, key_length);
  if (count >= UINT32_MAX) throw Failure(err::kInvalidCall, "Too many entries for an index");
  const int group = GroupLengthFor(key_length);
  const int keys_per_block = MaxKeysPerBlock(group);
  // A build killed halfway left its temporary file beside the index; the builders of one tag
  // take turns (the table's index lock), so any such file of a process that ended is garbage.
  platform::RemoveStaleTemporaryFiles(path);
  platform::ReplacementFile replacement(path);
  platform::File& out = replacement.file();
  BlockWriter writer(out);
  BulkLoader loader(writer, key_length, keys_per_block, count);
  std::string key(static_cast<std::size_t>(key_length), ' ');
  for (std::uint64_t i = 0; i < count; ++i) {
    std::uint32_t recno = 0;
    next(key.data(), recno);
    if (recno == 0) throw Failure(err::kInvalidCall, "Record number 0 in an index");
    loader.Add(key, recno);
  }
  std::uint32_t root = loader.Finish();
  writer.Flush();

  unsigned char header[kBlockSize] = {};
  StoreLittle32(header + kRootAt, root);
  StoreLittle32(header + kBlockCountAt, loader.blocks());
  StoreLittle16(header + kKeyLengthAt, static_cast<std::uint16_t>(key_length));
  StoreLittle16(header + kKeysPerBlockAt, static_cast<std::uint16_t>(keys_per_block));
  StoreLittle16(header + kKeyTypeAt, 0);
  StoreLittle32(header + kGroupLengthAt, static_cast<std::uint32_t>(group));
  header[kUniqueAt] = 0;
  std::memcpy(header + kExpressionAt, key_expression.data(), key_expression.size());
  StoreLittle32(header + kStampAt, stamp);
  out.WriteAt(0, header, kBlockSize);
  out.Truncate(std::uint64_t{loader.blocks()} * kBlockSize);
  // An index can be rebuilt from its table, so the directory need not be flushed.
  replacement.Commit(platform::Durability::kAtomic);
}

std::unique_ptr<NdxIndex> NdxIndex::Open(const std::string& path, bool writable) {
  platform::File file = platform::File::OpenIfExists(
      path, writable ? platform::File::Mode::kReadWrite : platform::File::Mode::kReadOnly);
  if (!file.is_open()) return nullptr;
  unsigned char block[kBlockSize];
  if (file.ReadAt(0, block, kBlockSize) != kBlockSize) ThrowDamaged(path, "no header block");
  Header h = ParseHeader(block, file.Size(), path);
  return std::unique_ptr<NdxIndex>(
      new NdxIndex(std::move(file), std::move(h.expression), h.key_length, writable));
}

std::uint32_t NdxIndex::ReadStamp() const {
  unsigned char b[4];
  if (file_.ReadAt(kStampAt, b, sizeof b) != sizeof b) ThrowDamaged(file_.path(), "no header");
  return LoadLittle32(b);
}

void NdxIndex::WriteStamp(std::uint32_t stamp) {
  RequireWritable();
  unsigned char b[4];
  StoreLittle32(b, stamp);
  file_.WriteAt(kStampAt, b, sizeof b);
}

void NdxIndex::RequireWritable() const {
  if (!writable_) throw Failure(err::kInvalidCall, "Index opened for reading only");
}

void NdxIndex::Insert(std::string_view key, std::uint32_t recno) {
  RequireWritable();
  if (recno == 0) throw Failure(err::kInvalidCall, "Record number 0 in an index");
  Tree tree(file_, &file_, key_length_, &map_);
  Item item{FitKey(key, key_length_), recno};
  Cursor cursor(tree);
  cursor.Seek(item);
  if (!cursor.AtEnd() && !tree.Less(item, cursor.Current())) return;  // already there
  Path& path = cursor.InsertPath();
  std::size_t level = path.size() - 1;
  Node& leaf = path[level].node;
  std::size_t pos = path[level].index;
  leaf.slots.insert(leaf.slots.begin() + static_cast<std::ptrdiff_t>(pos), Slot{item, 0});
  if (pos + 1 == leaf.count()) FixMaxUpward(tree, path, level, item);
  if (leaf.count() <= static_cast<std::size_t>(tree.keys_per_block())) {
    tree.Write(leaf);
  } else {
    SplitUpward(tree, path, level);
  }
  tree.SaveHeader();
}

void NdxIndex::Remove(std::string_view key, std::uint32_t recno) {
  RequireWritable();
  Tree tree(file_, &file_, key_length_);
  Item item{FitKey(key, key_length_), recno};
  Cursor cursor(tree);
  cursor.Seek(item);
  if (cursor.AtEnd() || tree.Less(item, cursor.Current())) return;  // not there
  Path& path = cursor.path();
  std::size_t level = path.size() - 1;
  Node& leaf = path[level].node;
  std::size_t pos = path[level].index;
  leaf.slots.erase(leaf.slots.begin() + static_cast<std::ptrdiff_t>(pos));
  if (level == 0 || leaf.count() > 0) {
    tree.Write(leaf);
    if (pos == leaf.count() && leaf.count() > 0)
      FixMaxUpward(tree, path, level, leaf.slots.back().item);
    return;
  }
  // The leaf is empty: drop it from its parent (its block stays unused until a rebuild).
  Cursor::Step& up = path[level - 1];
  Node& parent = up.node;
  // Every branch this index writes holds a key; one without names a damaged file, and is
  // refused before anything is written.
  if (parent.count() == 0) tree.Damaged("a branch holds no key");
  if (up.index < parent.count()) {
    parent.slots.erase(parent.slots.begin() + static_cast<std::ptrdiff_t>(up.index));
  } else {
    // The parent's last child goes: the one before it becomes the rightmost, and the
    // parent's largest key is now that child's.
    Slot last = parent.slots.back();
    parent.slots.pop_back();
    parent.rightmost = last.child;
    FixMaxUpward(tree, path, level - 1, last.item);
  }
  if (parent.count() > 0) {
    tree.Write(parent);
  } else {
    MendLoneChild(tree, path, level - 1);
  }
  tree.SaveHeader();
}

std::vector<std::uint32_t> NdxIndex::Equal(std::string_view key) const {
  Tree tree(file_, nullptr, key_length_, &map_);
  Item target{FitKey(key, key_length_), 0};
  std::vector<std::uint32_t> found;
  Cursor cursor(tree);
  for (cursor.Seek(target); !cursor.AtEnd() && cursor.Current().key == target.key; cursor.Next()) {
    found.push_back(cursor.Current().recno);
  }
  return found;
}

std::vector<std::uint32_t> NdxIndex::From(std::string_view key, std::size_t limit) const {
  Tree tree(file_, nullptr, key_length_, &map_);
  std::vector<std::uint32_t> found;
  Cursor cursor(tree);
  for (cursor.Seek(Item{FitKey(key, key_length_), 0});
       !cursor.AtEnd() && (limit == 0 || found.size() < limit); cursor.Next()) {
    found.push_back(cursor.Current().recno);
  }
  return found;
}

std::vector<std::uint32_t> NdxIndex::WithPrefix(std::string_view prefix) const {
  Tree tree(file_, nullptr, key_length_);
  tree.ReadInWindows();
  if (prefix.size() > static_cast<std::size_t>(key_length_)) prefix = prefix.substr(0, key_length_);
  std::vector<std::uint32_t> found;
  tree.PrefixRecords(prefix, found);
  return found;
}

namespace {

// Walks the subtree at `block`: every block met once, keys inside their parent's bounds and
// rising from leaf to leaf, every leaf at the same depth, no empty leaf below the root and
// no branch without a key (standard readers stumble over both).
struct Walk {
  Tree& tree;
  std::vector<bool> seen;
  std::optional<std::size_t> leaf_depth;
  std::optional<Item> last;

  void Visit(std::uint32_t block, std::size_t depth, const std::optional<Item>& lo,
             const std::optional<Item>& hi) {
    if (depth >= kMaxDepth) tree.Damaged("loop in the tree");
    Node node = tree.Read(block);
    if (seen[block]) tree.Damaged("block reached twice");
    seen[block] = true;
    for (const Slot& s : node.slots) {
      if ((lo && !tree.Above(s.item, *lo)) || (hi && tree.Compare(s.item, *hi) > 0)) {
        tree.Damaged("keys out of order");
      }
    }
    if (node.leaf) {
      if (leaf_depth && *leaf_depth != depth) tree.Damaged("leaves at different depths");
      leaf_depth = depth;
      if (node.count() == 0 && depth > 0) tree.Damaged("empty leaf");
      for (const Slot& s : node.slots) {
        if (last && !tree.Less(*last, s.item)) tree.Damaged("keys out of order");
        last = s.item;
      }
      return;
    }
    if (node.count() == 0) tree.Damaged("branch without keys");
    for (std::size_t i = 0; i <= node.count(); ++i) {
      Visit(node.ChildAt(i), depth + 1, i > 0 ? std::optional<Item>(node.slots[i - 1].item) : lo,
            i < node.count() ? std::optional<Item>(node.slots[i].item) : hi);
      // A separator is the largest key below it: readers that stop at the first separator
      // not below a key expect to find the key in that subtree.
      if (i < node.count() && (!last || tree.Compare(*last, node.slots[i].item) != 0)) {
        tree.Damaged("separator is not the largest key below it");
      }
    }
  }
};

}  // namespace

void NdxIndex::Check() const {
  Tree tree(file_, nullptr, key_length_);
  Walk walk{tree, std::vector<bool>(tree.blocks()), std::nullopt, std::nullopt};
  walk.Visit(tree.root(), 0, std::nullopt, std::nullopt);
}

}  // namespace tvr::engine
