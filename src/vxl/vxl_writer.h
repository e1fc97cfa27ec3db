#ifndef VXLFORGE_VXL_VXL_WRITER_H_
#define VXLFORGE_VXL_VXL_WRITER_H_

#include <cstdint>
#include <string>
#include <vector>

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

// Replaces `out` with the whole file's bytes.
void encode_vxl(std::vector<std::uint8_t>* out);

// Stores the Volume as the map file at `path`, replacing any file there only once all of it is written. On
// failure returns false with the operating system's reason in `reason`.
bool write_vxl(const char* path, std::string* reason);

}  // namespace vxlforge

#endif  // VXLFORGE_VXL_VXL_WRITER_H_
