#pragma once
// The shard file: what one share of a run computed, with what tells which
// run it belongs to. Header lines (text, CR LF), an empty line, then the
// bytes of its blocks one after the other:
//
//   Lorvane shard 2                      the layout's version
//   kind: bootstrap-tree                 the verb that wrote it
//   input: SHA-256 NAME                  one line per input file, NAME its file name
//   parameters: index=3 sites=6 ...      the answers the files depend on
//   seed: 4
//   shard: 3 of 7
//   range: 287 429 of 1000               its first and last replicate (permutation)
//   block: .reps.nwk 81342               one line per block: its name and size
//
// A block whose name starts with '.' is the shard's part of the output of
// that extension, as the whole run writes it; the others hold the kind's
// tallies (little-endian numbers, see Packer).
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/runcontext.h"
#include "core/textio.h"

namespace lorvane {

// Items (replicates or permutations) first .. first + count - 1.
struct ItemRange {
  int first = 1;
  int count = 0;
  int last() const { return first + count - 1; }
};
// Share `part.index` of `total` items in `part.count` contiguous ranges, the
// first ones one larger when the count does not divide the total.
ItemRange shardrange(const ShardPart& part, int total);

struct ShardInput {
  std::string sha256;
  std::string name;
  bool operator==(const ShardInput&) const = default;
};

struct ShardHeader {
  std::string kind;
  std::vector<ShardInput> inputs;
  std::string parameters;
  std::uint32_t seed = 0;
  ShardPart part;
  ItemRange range;
  int total = 0;  // the items of the whole run
};

// A shard file made of blocks, written under a temporary name and committed.
class ShardWriter {
 public:
  explicit ShardWriter(ShardHeader header) : header_(std::move(header)) {}
  // A block of bytes held in memory.
  void add(std::string name, std::string bytes);
  // A block holding what an output not yet committed has received (its
  // temporary file is read back; the output is left as it is).
  void add(std::string name, CFile& output);
  // Writes the file and moves it onto `path`; error stop naming it (and
  // `operation`) when that fails.
  void commit(const std::string& path, const char* operation);

 private:
  struct Block {
    std::string name;
    std::string bytes;
    CFile* output = nullptr;
    std::uint64_t size = 0;
  };
  ShardHeader header_;
  std::vector<Block> blocks_;
};

// A shard file read: its header, and its blocks on demand. Error stop
// naming the file when it cannot be read or is no shard file.
class ShardReader {
 public:
  explicit ShardReader(const std::string& path);
  const std::string& path() const { return path_; }
  const ShardHeader& header() const { return header_; }
  bool has(std::string_view block) const;
  // The block's names in file order.
  std::vector<std::string> blocks() const;
  std::string block(std::string_view name) const;
  // The block's bytes appended to `out`, in pieces.
  void copy(std::string_view name, CFile& out) const;

 private:
  struct Block {
    std::string name;
    std::uint64_t offset = 0, size = 0;
  };
  const Block& find(std::string_view name) const;
  [[noreturn]] void damaged() const;
  std::string path_;
  FilePtr file_;
  ShardHeader header_;
  std::vector<Block> blocks_;
};

// Numbers as blocks hold them: little-endian, whatever the machine.
class Packer {
 public:
  void u64(std::uint64_t v);
  void f64(double v);
  void text(std::string_view s);  // its length, then its bytes
  std::string bytes;
};
class Unpacker {
 public:
  // `where`: the file named when the bytes run out.
  Unpacker(std::string_view bytes, const std::string& where) : bytes_(bytes), where_(where) {}
  std::uint64_t u64();
  double f64();
  std::string text();
  // A count of items that the bytes left can hold at `size` bytes each.
  std::size_t count(std::size_t size);
  bool done() const { return at_ == bytes_.size(); }

 private:
  std::string_view bytes_;
  const std::string& where_;
  std::size_t at_ = 0;
};

// "Error: the shard file PATH is damaged (merge)".
[[noreturn]] void damagedshard(const std::string& path);

}  // namespace lorvane
