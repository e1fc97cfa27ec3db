#include "vxl/vxl_writer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "base/file_output.h"
#include "base/mapped_bytes.h"
#include "base/parallel_rows.h"
#include "mapgen/volume.h"

namespace vxlforge {

namespace {

// A column's solidity as the Volume keeps it: bit z set for a solid voxel
// z, z upward. File height h is bit 63 - h.
using Mask = std::uint64_t;
constexpr Mask kAllSolid = ~Mask{0};

// A voxel is exposed when it is solid and a face neighbour inside the map is
// air. Above z = 63 lies open sky; below z = 0 and beyond the map's edges
// everything counts as solid.
Mask exposed_mask(Mask self, Mask west, Mask east, Mask north, Mask south) {
  const Mask above_solid = self >> 1;  // bit 63 becomes 0: sky above the map
  const Mask below_solid = (self << 1) | 1u;
  return self & ~(west & east & north & south & above_solid & below_solid);
}

Mask solid_at(int x, int y) {
  return x < 0 || x >= MAP_X || y < 0 || y >= MAP_Y ? kAllSolid
                                                     : column_solid[column_index(x, y)];
}

Mask exposed_at(int x, int y) {
  return exposed_mask(solid_at(x, y), solid_at(x - 1, y), solid_at(x + 1, y), solid_at(x, y - 1),
                      solid_at(x, y + 1));
}

// First file height h >= from whose voxel is set in `mask`, or 64. Heights
// from `from` down are the bits z <= 63 - from, and the highest of them set
// is the lowest file height.
int next_set(Mask mask, int from) {
  if (from >= MAP_Z) return MAP_Z;
  return std::countl_zero(mask & (kAllSolid >> from));
}

int next_clear(Mask mask, int from) { return next_set(~mask, from); }

std::uint8_t* append_colour(Colour c, std::uint8_t* out) {
  out[0] = static_cast<std::uint8_t>(c);
  out[1] = static_cast<std::uint8_t>(c >> 8);
  out[2] = static_cast<std::uint8_t>(c >> 16);
  out[3] = static_cast<std::uint8_t>(c >> 24);
  return out + 4;
}

// A colour word as the file stores it, least significant byte first, for
// copying into the file whole.
std::uint32_t file_order(Colour c) {
  if constexpr (std::endian::native == std::endian::big) return __builtin_bswap32(c);
  return c;
}

// The colours of file heights first..last-1 of a column. Most columns are
// one colour from top to bottom, or one span in another: those need no
// lookup per voxel, only a choice between two colours, made four voxels at
// a time. Up to 12 bytes past the colours may be written: the caller's room
// has that slack, and the next record overwrites them.
std::uint8_t* append_colours(const ColumnColours& column, int first, int last,
                             std::uint8_t* out) {
  if (column.kind == ColumnColours::kOwn) {
    for (int h = first; h < last; ++h) out = append_colour(colour_in_column(column, MAP_Z - 1 - h), out);
    return out;
  }
  // Voxels z = span_first..span_last have the span's colour; a whole
  // column has none such.
  const bool span = column.kind == ColumnColours::kSpan;
  const unsigned span_from = span ? column.span_first : MAP_Z;
  const unsigned span_voxels = span ? static_cast<unsigned>(column.span_last - column.span_first) : 0u;
  const std::uint32_t span_colour = file_order(column.span);
  const std::uint32_t whole_colour = file_order(column.whole);
  for (int h = first; h < last; h += 4) {
    std::uint32_t words[4];
    for (int k = 0; k < 4; ++k) {
      const unsigned z = static_cast<unsigned>(MAP_Z - 1 - (h + k));
      words[k] = z - span_from <= span_voxels ? span_colour : whole_colour;
    }
    std::memcpy(out + 4 * (h - first), words, sizeof(words));
  }
  return out + 4 * (last - first);
}

// The record of one column, top to bottom: per span its air, exposed top
// colours, hidden interior, then exposed bottom colours unless that exposed
// run reaches the bottom, in which case it becomes the top colours of a
// last span of its own. Returns the end of what it wrote.
inline std::uint8_t* encode_record(Mask self, Mask exposed, const ColumnColours& column,
                                   std::uint8_t* out) {
  const Mask hidden = self & ~exposed;
  // Most columns are solid from the bottom up to their top and hidden below
  // a run of exposed voxels at the top: one span, whose colours are those
  // of the exposed run, and nothing more to look for.
  if (self != 0 && (self & (self + 1)) == 0 && (hidden & (hidden + 1)) == 0) {
    const int top_start = std::countl_zero(self);
    const int top_end = MAP_Z - 1 - std::countr_zero(exposed);
    out[0] = 0;
    out[1] = static_cast<std::uint8_t>(top_start);
    out[2] = static_cast<std::uint8_t>(top_end);
    out[3] = 0;
    return append_colours(column, top_start, top_end + 1, out + 4);
  }
  int k = 0;
  for (;;) {
    const int air_start = k;
    const int top_start = next_set(self, k);
    k = next_clear(exposed, top_start);
    const int top_end = k - 1;
    const int bottom_start = next_clear(hidden, k);
    k = bottom_start;
    const int j = next_clear(exposed, bottom_start);
    if (j < MAP_Z) k = j;
    const int colours = (top_end - top_start + 1) + (k - bottom_start);
    out[0] = static_cast<std::uint8_t>(k == MAP_Z ? 0 : 1 + colours);
    out[1] = static_cast<std::uint8_t>(top_start);
    out[2] = static_cast<std::uint8_t>(top_end);
    out[3] = static_cast<std::uint8_t>(air_start);
    out = append_colours(column, top_start, top_end + 1, out + 4);
    out = append_colours(column, bottom_start, k, out);
    if (k == MAP_Z) return out;
  }
}

// No record is longer than this: every span but the last takes in at least
// one voxel, so a column has at most 65 spans of 4 bytes, and at most 64
// colours of 4 bytes. Encoding may write this much past a record's end.
constexpr std::size_t kMaxRecordBytes = 4 * (MAP_Z + 1) + 4 * MAP_Z;
constexpr std::size_t kColourSlack = 12;

// The records of one row of x, y from 0 up, from `out` on; returns the
// end. The neighbours of a column along y are its neighbours in memory, so
// its solidity and the next column's are carried along the row.
std::uint8_t* encode_row(int x, std::uint8_t* out, std::uint32_t* starts, std::uint32_t base) {
  const std::uint64_t* self_row = &column_solid[column_index(x, 0)];
  const std::uint64_t* west_row = x > 0 ? &column_solid[column_index(x - 1, 0)] : nullptr;
  const std::uint64_t* east_row = x + 1 < MAP_X ? &column_solid[column_index(x + 1, 0)] : nullptr;
  const ColumnColours* colours = &column_colours[column_index(x, 0)];
  const std::uint8_t* const begin = out;
  Mask north = kAllSolid;
  Mask self = self_row[0];
  for (int y = 0; y < MAP_Y; ++y) {
    const Mask south = y + 1 < MAP_Y ? self_row[y + 1] : kAllSolid;
    const Mask west = west_row != nullptr ? west_row[y] : kAllSolid;
    const Mask east = east_row != nullptr ? east_row[y] : kAllSolid;
    starts[y] = base + static_cast<std::uint32_t>(out - begin);
    out = encode_record(self, exposed_mask(self, west, east, north, south), colours[y], out);
    north = self;
    self = south;
  }
  return out;
}

// The room of an EncodedMap: the record starts, then the records, then
// slack that lets the gathering copy short records in whole blocks.
constexpr std::size_t kStartsBytes = sizeof(std::uint32_t) * (MAP_COLUMNS + 1);
constexpr std::size_t kCopyBlock = 32;
// Room for the records of a few times a generated map's (about 6 MB), at
// first; a map that needs more gets room that is twice as large, up to
// what the largest possible map needs.
constexpr std::size_t kFirstRecordRoom = std::size_t{30} << 20;
constexpr std::size_t kMaxRowBytes = kMaxRecordBytes * MAP_Y;

// The file is written in pieces of this many rows of y, each gathered on
// any core and written as soon as it and all before it are ready, so that
// the system's copying of the file overlaps the gathering.
constexpr int kPieceRows = 16;
constexpr int kPieces = MAP_Y / kPieceRows;
constexpr std::size_t kMaxPieceBytes = kMaxRecordBytes * kPieceRows * MAP_X + kCopyBlock;

// Copies `size` bytes from `from` to `to`. Most records are shorter than
// a block, and are copied as one block: bytes past the record are read
// from the room's slack or the next records and written where the next
// record will overwrite them.
void copy_record(const std::uint8_t* from, std::size_t size, std::uint8_t* to) {
  if (size <= kCopyBlock) {
    std::memcpy(to, from, kCopyBlock);
  } else {
    std::memcpy(to, from, size);
  }
}

// Room for the pieces to take turns in: a few buffers, each with room for
// the longest possible piece. Only what is written is ever touched, and a
// buffer is used again once its piece is written, so little fresh memory is
// needed.
MappedBytes piece_room() { return MappedBytes(kMaxPieceBytes * 2 * static_cast<std::size_t>(core_count())); }

}  // namespace

bool is_exposed(int x, int y, int z) {
  return ((exposed_at(x, y) >> (MAP_Z - 1 - z)) & 1) != 0;
}

void encode_column(int x, int y, std::vector<std::uint8_t>* out) {
  std::uint8_t record[kMaxRecordBytes + kColourSlack];
  std::uint8_t* end =
      encode_record(solid_at(x, y), exposed_at(x, y), column_colours[column_index(x, y)], record);
  out->insert(out->end(), record, end);
}

EncodedMap::EncodedMap() : pieces_(piece_room()) { make_room(kFirstRecordRoom); }

EncodedMap::~EncodedMap() = default;

void EncodedMap::make_room(std::size_t record_bytes) {
  auto room = std::make_unique<MappedBytes>(kStartsBytes + record_bytes + kCopyBlock,
                                            MappedBytes::Pages::kHuge);
  if (room_ != nullptr && rows_ > 0) {
    const std::uint32_t used = starts_[column_index(rows_, 0)];
    std::memcpy(room->data(), room_->data(), kStartsBytes + used);
  }
  room_ = std::move(room);
  record_room_ = record_bytes;
  starts_ = reinterpret_cast<std::uint32_t*>(room_->data());
  bytes_ = room_->data() + kStartsBytes;
}

void EncodedMap::encode_rows(int first, int last) {
  if (first != (first == 0 ? 0 : rows_) || last <= first || last > MAP_X) {
    throw std::logic_error("map rows encoded out of order");
  }
  if (first == 0) rows_ = 0;
  std::uint32_t end = first == 0 ? 0 : starts_[column_index(first, 0)];
  for (int x = first; x < last; ++x) {
    if (end + kMaxRowBytes > record_room_) {
      make_room(std::min(2 * record_room_, kMaxRecordBytes * MAP_COLUMNS));
    }
    const std::uint8_t* row_end = encode_row(x, bytes_ + end, &starts_[column_index(x, 0)], end);
    end = static_cast<std::uint32_t>(row_end - bytes_);
    starts_[column_index(x + 1, 0)] = end;  // the row's end, until the next row begins there
    rows_ = x + 1;
  }
}

// Gathers the file in pieces in `room` and hands each piece's bytes to
// `consume(bytes, size)` in file order, one piece at a time.
template <typename Consume>
void EncodedMap::gather_pieces(const Consume& consume) const {
  if (!complete()) throw std::logic_error("map written before all its rows were encoded");
  const int buffers = static_cast<int>(pieces_.size() / kMaxPieceBytes);
  const auto buffer = [this, buffers](int piece) {
    return pieces_.data() + static_cast<std::size_t>(piece % buffers) * kMaxPieceBytes;
  };
  std::size_t size[kPieces] = {};
  for_pieces_in_order(
      kPieces, buffers,
      [&](int piece, int) {
        std::uint8_t* out = buffer(piece);
        for (int y = piece * kPieceRows; y < (piece + 1) * kPieceRows; ++y) {
          for (int x = 0; x < MAP_X; ++x) {
            const int i = column_index(x, y);
            const std::size_t record = starts_[i + 1] - starts_[i];
            copy_record(bytes_ + starts_[i], record, out);
            out += record;
          }
        }
        size[piece] = static_cast<std::size_t>(out - buffer(piece));
      },
      [&](int piece) { consume(buffer(piece), size[piece]); });
}

void EncodedMap::append_file(std::vector<std::uint8_t>* out) const {
  gather_pieces([out](const std::uint8_t* bytes, std::size_t size) {
    out->insert(out->end(), bytes, bytes + size);
  });
}

bool EncodedMap::write(const char* path, std::string* reason) const {
  if (!complete()) throw std::logic_error("map written before all its rows were encoded");
  // All the memory it needs is had with the object: should it run out, no
  // temporary file has been made yet.
  ReplacingFile file;
  if (!file.open(path)) return file.finish(reason);
  gather_pieces([&file](const std::uint8_t* bytes, std::size_t size) {
    file.append(bytes, size);
  });
  return file.finish(reason);
}

void encode_vxl(std::vector<std::uint8_t>* out) {
  EncodedMap map;
  map.encode_rows(0, MAP_X);
  out->clear();
  map.append_file(out);
}

bool write_vxl(const char* path, std::string* reason) {
  EncodedMap map;
  map.encode_rows(0, MAP_X);
  return map.write(path, reason);
}

}  // namespace vxlforge
