#ifndef VXLFORGE_VXL_VXL_WRITER_H_
#define VXLFORGE_VXL_VXL_WRITER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/mapped_bytes.h"

namespace vxlforge {

// The map file is headerless: one record per column, y outer and x inner,
// each a list of spans from the top of the map down. The file counts heights
// from the top (0) to the bottom (63), the other way round from the Volume:
// file height h is the Volume's voxel z = 63 - h. The encoders read each
// column in that reversed order as they go, so the Volume itself is never
// changed.

// True when the voxel at file height z of column (x, y) is solid and touches air:
// one of its six face neighbours inside the map is air, or it is at height 0,
// the top of the map, with open sky above. Neighbours off the map count as
// solid, so edge columns encode like inner ones. Without the sky rule a
// hidden voxel at height 0 would give a span whose top_end is 0xff, which
// readers misparse.
bool is_exposed(int x, int y, int z);

// Appends the record of column (x, y) to `out`.
void encode_column(int x, int y, std::vector<std::uint8_t>* out);

// A map's column records, encoded a few rows of x at a time as a run
// finishes those rows, and kept until the file is written. The file lists
// the columns y outer and x inner, so none of it is complete before the
// last row of x is; the records are encoded in the Volume's order, where a
// column's neighbours are close in memory, and gathered into the file's
// order as it is written.
class EncodedMap {
 public:
  // Room for a map's records and for writing them, of which only what is
  // written takes memory; it grows when a map needs more (few can). Throws
  // std::bad_alloc when memory cannot be had, here or while encoding. One
  // object serves any number of maps, one after another, and takes fresh
  // memory only for the first.
  EncodedMap();
  ~EncodedMap();

  // Encodes the records of rows first..last-1 of x, from the Volume as it
  // is now: the rows in order, one call at a time, each map's from row 0
  // (which starts the next map). Row x reads the solidity of rows x - 1 and
  // x + 1 too, so those must be final.
  void encode_rows(int first, int last);

  // Whether every row is encoded.
  bool complete() const { return rows_ == 512; }

  // Appends the whole file's bytes to `out`. Needs complete().
  void append_file(std::vector<std::uint8_t>* out) const;

  // Stores the file at `path`, replacing any file there only once all of
  // it is written; on failure returns false with the operating system's
  // reason in `reason`. Needs complete().
  bool write(const char* path, std::string* reason) const;

 private:
  template <typename Consume>
  void gather_pieces(const Consume& consume) const;

  // Room for the records of at least `record_bytes`.
  void make_room(std::size_t record_bytes);

  std::unique_ptr<MappedBytes> room_;  // the record starts, then the records
  std::size_t record_room_ = 0;
  std::uint32_t* starts_ = nullptr;  // per column_index, where its record begins; one more for the end
  std::uint8_t* bytes_ = nullptr;
  MappedBytes pieces_;  // where the file's pieces are gathered, in turns
  int rows_ = 0;
};

// Replaces `out` with the whole file's bytes.
void encode_vxl(std::vector<std::uint8_t>* out);

// Stores the Volume as the map file at `path`, replacing any file there only once all of it is written. On
// failure returns false with the operating system's reason in `reason`.
bool write_vxl(const char* path, std::string* reason);

}  // namespace vxlforge

#endif  // VXLFORGE_VXL_VXL_WRITER_H_
