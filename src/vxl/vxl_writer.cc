#include "vxl/vxl_writer.h"

#include <bit>
#include <cstring>
#include <mutex>
#include <vector>

#include "base/file_output.h"
#include "base/parallel_rows.h"
#include "base/static_room.h"
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

// No record is longer than this: every span but the last takes in at least
// one voxel, so a column has at most 65 spans of 4 bytes, and at most 64
// colours of 4 bytes. Encoding may write kColourSlack bytes past a record's
// end, which the next record overwrites.
constexpr std::size_t kMaxRecordBytes = 4 * (MAP_Z + 1) + 4 * MAP_Z;
constexpr std::size_t kColourSlack = 12;

// The colours of file heights first..last-1 of a column. Most columns are
// one colour from top to bottom, or one span in another: those need no
// lookup per voxel, only a choice between two colours, made four voxels at
// a time (so up to kColourSlack bytes past the colours are written).
// Inlined into each record's encoding, which takes the writer about 8%
// less time; a column with colours of its own is rare.
[[gnu::always_inline]] inline std::uint8_t* append_colours(const ColumnColours& column, int first,
                                                           int last, std::uint8_t* out) {
  if (column.kind == ColumnColours::kOwn) [[unlikely]] {
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


// The file is written in pieces of this many rows of y, each encoded on any
// core and written as soon as it and all before it are ready, so that the
// system's copying of the file overlaps the encoding.
constexpr int kPieceRows = 16;
constexpr int kPieces = MAP_Y / kPieceRows;
constexpr std::size_t kMaxPieceBytes = kMaxRecordBytes * kPieceRows * MAP_X + kColourSlack;

// How far encode_rows got: up to column x of row y (y_last once it is
// done), with the next byte to go at `out`.
struct EncodeStop {
  int y;
  int x;
  std::uint8_t* out;
};

// Room a record needs, its slack included.
constexpr std::size_t kRecordRoom = kMaxRecordBytes + kColourSlack;

// Writes the records from column x_first of row y_first up to the end of
// row y_last-1, in file order, from `out` on, while at least kRecordRoom
// bytes are left before `limit`; returns where it stopped. The columns are
// visited in the order of the file, so the bytes are written one after
// another; the solidity of the three columns around x is carried along the
// row. Neighbours along the row lie 512 columns apart in the Volume, a
// stride the processor's own prefetching does not follow, so the columns a
// few steps ahead are asked for.
EncodeStop encode_rows(int y_first, int x_first, int y_last, std::uint8_t* out,
                       const std::uint8_t* limit) {
  constexpr int kAhead = 16;
  // A neighbour row off the map is solid throughout: read from this one
  // word, with a step of 0, so the loop needs no test per column.
  static const Mask kSolidWord = kAllSolid;
  for (int y = y_first; y < y_last; ++y) {
    // Column (x, y) of the row is at row[x * MAP_Y], and so are those of
    // the rows beside it, from north and south.
    const Mask* row = &column_solid[column_index(0, y)];
    const Mask* north = y > 0 ? row - 1 : &kSolidWord;
    const Mask* south = y + 1 < MAP_Y ? row + 1 : &kSolidWord;
    const int north_step = y > 0 ? MAP_Y : 0;
    const int south_step = y + 1 < MAP_Y ? MAP_Y : 0;
    const ColumnColours* colours = &column_colours[column_index(0, y)];
    const int x_start = y == y_first ? x_first : 0;
    Mask west = x_start > 0 ? row[(x_start - 1) * MAP_Y] : kAllSolid;
    Mask self = row[x_start * MAP_Y];
    for (int x = x_start; x < MAP_X; ++x) {
      if (static_cast<std::size_t>(limit - out) < kRecordRoom) [[unlikely]] {
        return {y, x, out};
      }
      if (x + kAhead < MAP_X) {
        __builtin_prefetch(&colours[(x + kAhead) * MAP_Y]);
        __builtin_prefetch(&south[(x + kAhead) * south_step]);
      }
      const Mask east = x + 1 < MAP_X ? row[(x + 1) * MAP_Y] : kAllSolid;
      const Mask exposed =
          exposed_mask(self, west, east, north[x * north_step], south[x * south_step]);
      out = encode_record(self, exposed, colours[x * MAP_Y], out);
      west = self;
      self = east;
    }
  }
  return {y_last, 0, out};
}

// Room for the pieces to take turns in, taken once per process, so that a
// second map's pieces find their pages in place; a buffer is used again
// once its piece is written. Each buffer has a first part, on huge pages
// where the system has them, that holds any piece of a real map (the
// longest of 27 seeds tried was 276 KiB), and a second part with room for
// the rest of the longest possible piece (4 MiB), in small pages and
// untouched unless a piece needs it. On small pages the first parts alone
// would cost a fault per 4 KiB written: about 270 a run.
constexpr std::size_t kFirstPartBytes = std::size_t{320} << 10;
struct PieceRoom {
  std::uint8_t* first_parts;
  std::uint8_t* second_parts;
  int buffers;
};
PieceRoom piece_room() {
  static const PieceRoom room = [] {
    const int buffers = 2 * core_count();
    const auto count = static_cast<std::size_t>(buffers);
    std::uint8_t* const first_parts = take_static_room(kFirstPartBytes * count, RoomUse::kFilled);
    return PieceRoom{first_parts, take_static_room(kMaxPieceBytes * count, RoomUse::kSparse),
                     buffers};
  }();
  return room;
}

// Encodes the whole file in pieces in `room` and hands each piece's bytes
// to `consume(bytes, size)` in file order, one part at a time. Callers
// take turns, as they share the room.
template <typename Consume>
void encode_pieces(const PieceRoom& room, const Consume& consume) {
  static std::mutex one_at_a_time;
  const std::lock_guard<std::mutex> lock(one_at_a_time);
  const int buffers = room.buffers;
  struct Piece {
    std::uint8_t* first;
    std::size_t first_size;
    std::uint8_t* second;
    std::size_t second_size;
  };
  Piece pieces[kPieces] = {};
  for_pieces_in_order(
      kPieces, buffers,
      [&](int p, int) {
        const auto buffer = static_cast<std::size_t>(p % buffers);
        Piece& piece = pieces[p];
        piece.first = room.first_parts + buffer * kFirstPartBytes;
        piece.second = room.second_parts + buffer * kMaxPieceBytes;
        const int y_last = (p + 1) * kPieceRows;
        const EncodeStop stop =
            encode_rows(p * kPieceRows, 0, y_last, piece.first, piece.first + kFirstPartBytes);
        piece.first_size = static_cast<std::size_t>(stop.out - piece.first);
        if (stop.y < y_last) {
          const EncodeStop end =
              encode_rows(stop.y, stop.x, y_last, piece.second, piece.second + kMaxPieceBytes);
          piece.second_size = static_cast<std::size_t>(end.out - piece.second);
        }
      },
      [&](int p) {
        consume(pieces[p].first, pieces[p].first_size);
        if (pieces[p].second_size != 0) consume(pieces[p].second, pieces[p].second_size);
      });
}

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

void encode_vxl(std::vector<std::uint8_t>* out) {
  out->clear();
  encode_pieces(piece_room(), [out](const std::uint8_t* bytes, std::size_t size) {
    out->insert(out->end(), bytes, bytes + size);
  });
}

bool write_vxl(const char* path, std::string* reason) {
  // Memory first: should it run out, no temporary file has been made yet.
  const PieceRoom room = piece_room();
  ReplacingFile file;
  if (!file.open(path)) return file.finish(reason);
  encode_pieces(room, [&file](const std::uint8_t* bytes, std::size_t size) {
    file.append(bytes, size);
  });
  return file.finish(reason);
}

}  // namespace vxlforge
