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

// The shape of a file that decode_map has accepted. The spans are walked
// once more without checks, so `bytes` must be exactly what was accepted.
ColumnSolidity solidity_of_valid_file(const std::uint8_t* bytes, std::size_t size);

// The shape of decoded voxels.
ColumnSolidity solidity_of_voxels(const MapVoxels& voxels);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_COLUMN_SOLIDITY_H_
