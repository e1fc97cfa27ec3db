#include "vxl/vxl_writer.h"

#include <bit>
#include <cstring>
#include <vector>

#include "mapgen/huge_pages.h"
#include "mapgen/volume.h"
#include "random/parallel_rows.h"
#include "vxl/file_output.h"

namespace vxlforge {

namespace {

using Mask = std::uint64_t;  // bit z: the voxel at file height z
constexpr Mask kAllSolid = ~Mask{0};
constexpr Mask kBottom = Mask{1} << 63;

// A column's solidity in the file's order: bit h is the Volume's voxel
// z = 63 - h, so the word is the Volume's turned end for end.
Mask solid_mask(int x, int y) {
  Mask m = column_solid[column_index(x, y)];
  m = ((m >> 1) & 0x5555555555555555u) | ((m & 0x5555555555555555u) << 1);
  m = ((m >> 2) & 0x3333333333333333u) | ((m & 0x3333333333333333u) << 2);
  m = ((m >> 4) & 0x0F0F0F0F0F0F0F0Fu) | ((m & 0x0F0F0F0F0F0F0F0Fu) << 4);
  m = ((m >> 8) & 0x00FF00FF00FF00FFu) | ((m & 0x00FF00FF00FF00FFu) << 8);
  m = ((m >> 16) & 0x0000FFFF0000FFFFu) | ((m & 0x0000FFFF0000FFFFu) << 16);
  return (m >> 32) | (m << 32);
}

// A voxel is exposed when it is solid and a face neighbour inside the map is
// air. Above file height 0 lies open sky; below height 63 and beyond the
// map's edges everything counts as solid.
Mask exposed_mask(Mask self, Mask west, Mask east, Mask north, Mask south) {
  const Mask above_solid = self << 1;  // bit 0 becomes 0: sky above the map
  const Mask below_solid = (self >> 1) | kBottom;
  return self & ~(west & east & north & south & above_solid & below_solid);
}

template <typename MaskAt>
Mask exposed_at(int x, int y, const MaskAt& mask_at) {
  return exposed_mask(mask_at(x, y), x > 0 ? mask_at(x - 1, y) : kAllSolid,
                      x < MAP_X - 1 ? mask_at(x + 1, y) : kAllSolid,
                      y > 0 ? mask_at(x, y - 1) : kAllSolid,
                      y < MAP_Y - 1 ? mask_at(x, y + 1) : kAllSolid);
}

// First z >= from whose bit is set in `mask`, or 64.
int next_set(Mask mask, int from) {
  if (from >= MAP_Z) return MAP_Z;
  const Mask rest = mask & (kAllSolid << from);
  return rest == 0 ? MAP_Z : std::countr_zero(rest);
}

int next_clear(Mask mask, int from) { return next_set(~mask, from); }

// The colours of file heights first..last-1 of a column.
std::uint8_t* append_colours(const ColumnColours& column, int first, int last,
                             std::uint8_t* out) {
  for (int h = first; h < last; ++h) {
    const Colour c = colour_in_column(column, MAP_Z - 1 - h);
    *out++ = static_cast<std::uint8_t>(c);
    *out++ = static_cast<std::uint8_t>(c >> 8);
    *out++ = static_cast<std::uint8_t>(c >> 16);
    *out++ = static_cast<std::uint8_t>(c >> 24);
  }
  return out;
}

// Receives the spans of a column: counts their bytes, or writes them.
struct ByteCounter {
  std::size_t bytes = 0;
  void span(const std::uint8_t (&)[4], const ColumnColours*, int top_start, int top_end,
            int bottom_start, int bottom_end) {
    bytes += 4 + 4 * static_cast<std::size_t>((top_end - top_start) + (bottom_end - bottom_start));
  }
};

struct ByteWriter {
  std::uint8_t* at;
  void span(const std::uint8_t (&header)[4], const ColumnColours* column, int top_start,
            int top_end, int bottom_start, int bottom_end) {
    std::memcpy(at, header, 4);
    at = append_colours(*column, top_start, top_end, at + 4);
    at = append_colours(*column, bottom_start, bottom_end, at);
  }
};

// The spans of one column, top to bottom: air, exposed top colours, hidden
// interior, then exposed bottom colours unless that exposed run reaches the
// bottom, in which case it becomes the top colours of a last span of its own.
template <typename Sink>
void encode_spans(Mask self, Mask exposed, const ColumnColours* column, Sink* sink) {
  const Mask hidden = self & ~exposed;
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
    const std::uint8_t header[4] = {
        static_cast<std::uint8_t>(k == MAP_Z ? 0 : 1 + colours),
        static_cast<std::uint8_t>(top_start), static_cast<std::uint8_t>(top_end),
        static_cast<std::uint8_t>(air_start)};
    sink->span(header, column, top_start, top_end + 1, bottom_start, k);
    if (k == MAP_Z) return;
  }
}

}  // namespace

bool is_exposed(int x, int y, int z) {
  return ((exposed_at(x, y, solid_mask) >> z) & 1) != 0;
}

void encode_column(int x, int y, std::vector<std::uint8_t>* out) {
  const Mask self = solid_mask(x, y);
  const Mask exposed = exposed_at(x, y, solid_mask);
  const ColumnColours* column = &column_colours[column_index(x, y)];
  ByteCounter counter;
  encode_spans(self, exposed, column, &counter);
  const std::size_t at = out->size();
  out->resize(at + counter.bytes);
  ByteWriter writer{out->data() + at};
  encode_spans(self, exposed, column, &writer);
}

namespace {

// Where every record goes, worked out before any is written. Fixed arrays
// like the rest of the map state; rebuilt by every encoding.
Mask solid_masks[MAP_COLUMNS];        // indexed like column_top
std::uint32_t record_offset[MAP_COLUMNS];  // from the start of the file
std::size_t file_size = 0;

Mask mask_at(int x, int y) { return solid_masks[column_index(x, y)]; }

// The file lists columns y outer, x inner, but the Volume stores them x
// outer. Records are sized first, from the masks alone, so that each can
// then be written straight into its place while the colours are read in
// the order they lie in memory.
void plan_file() {
  for_row_slices(MAP_X, core_count(), [](int, int first, int last) {
    for (int x = first; x < last; ++x) {
      for (int y = 0; y < MAP_Y; ++y) solid_masks[column_index(x, y)] = solid_mask(x, y);
    }
  });
  for_row_slices(MAP_X, core_count(), [](int, int first, int last) {
    for (int x = first; x < last; ++x) {
      for (int y = 0; y < MAP_Y; ++y) {
        ByteCounter counter;
        encode_spans(mask_at(x, y), exposed_at(x, y, mask_at), nullptr, &counter);
        record_offset[column_index(x, y)] = static_cast<std::uint32_t>(counter.bytes);
      }
    }
  });
  std::uint32_t total = 0;
  for (int y = 0; y < MAP_Y; ++y) {
    for (int x = 0; x < MAP_X; ++x) {
      const std::uint32_t size = record_offset[column_index(x, y)];
      record_offset[column_index(x, y)] = total;
      total += size;
    }
  }
  file_size = total;
}

// Offset in the file of the first record of row y (all of it for y = 512).
std::size_t row_offset(int y) { return y < MAP_Y ? record_offset[column_index(0, y)] : file_size; }

// Writes the records of rows y_first..y_last-1 into their places in `file`.
void encode_rows(int y_first, int y_last, std::uint8_t* file) {
  for (int x = 0; x < MAP_X; ++x) {
    for (int y = y_first; y < y_last; ++y) {
      ByteWriter writer{file + record_offset[column_index(x, y)]};
      encode_spans(mask_at(x, y), exposed_at(x, y, mask_at), &column_colours[column_index(x, y)],
                   &writer);
    }
  }
}

}  // namespace

void encode_vxl(std::vector<std::uint8_t>* out) {
  plan_file();
  out->resize(file_size);
  for_row_slices(MAP_Y, core_count(), [out](int, int first, int last) {
    encode_rows(first, last, out->data());
  });
}

std::span<const FixedArray> writer_tables() {
  static const FixedArray tables[] = {{solid_masks, sizeof(solid_masks)},
                                      {record_offset, sizeof(record_offset)}};
  return tables;
}

bool write_vxl(const char* path, std::string* reason) {
  // Memory first: should it run out, no temporary file has been made yet.
  plan_file();
  const HugePageBytes bytes(file_size);
  ReplacingFile file;
  if (!file.open(path)) return file.finish(reason);
  // Rows are encoded in pieces on every core, and each piece is written as
  // soon as it and all before it are ready, so that the system's copying
  // of the file overlaps the encoding.
  constexpr int kPieceRows = 64;
  for_pieces_in_order(
      MAP_Y / kPieceRows,
      [&bytes](int piece, int) {
        encode_rows(piece * kPieceRows, (piece + 1) * kPieceRows, bytes.data());
      },
      [&bytes, &file](int piece) {
        const std::size_t from = row_offset(piece * kPieceRows);
        file.append(bytes.data() + from, row_offset((piece + 1) * kPieceRows) - from);
      });
  return file.finish(reason);
}

}  // namespace vxlforge
