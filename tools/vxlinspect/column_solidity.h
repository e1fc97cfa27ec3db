#ifndef VXLFORGE_TOOLS_VXLINSPECT_COLUMN_SOLIDITY_H_
#define VXLFORGE_TOOLS_VXLINSPECT_COLUMN_SOLIDITY_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "vxl/map_reader.h"

namespace vxlforge {

// A map's shape without its colours: one word per column, in file order
// (index y * 512 + x), bit h set when the voxel at file height h (0 the top,
// 63 the bottom) is solid. 2 MiB instead of the 96 MiB of decoded voxels,
// and most figures are a shift, a mask or a bit count on these words.
using ColumnSolidity = std::vector<std::uint64_t>;

// Reads the shape of a file that decode_map has accepted, one column at a
// time in file order, without keeping any: figures that need only a column
// at a time take no memory for the map. The spans are walked once more
// without the decoder's checks, so the bytes must be exactly what was
// accepted (it never reads past them, whatever they hold).
class ValidFileColumns {
 public:
  ValidFileColumns(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

  // The next column's word; 0 once the bytes are used up.
  std::uint64_t next();

 private:
  const std::uint8_t* bytes_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// The words of all columns of an accepted file.
ColumnSolidity solidity_of_valid_file(const std::uint8_t* bytes, std::size_t size);

// The word of column (x, y) of decoded voxels.
std::uint64_t column_solidity(const MapVoxels& voxels, int x, int y);

// The shape of decoded voxels.
ColumnSolidity solidity_of_voxels(const MapVoxels& voxels);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_COLUMN_SOLIDITY_H_
