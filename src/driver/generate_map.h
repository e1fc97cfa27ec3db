#ifndef VXLFORGE_DRIVER_GENERATE_MAP_H_
#define VXLFORGE_DRIVER_GENERATE_MAP_H_

namespace vxlforge {

// Runs the generation passes, in their fixed order, over the process-wide
// map state. The generator must already be seeded; the order of the passes
// is part of what a seed means, since each draws from the one generator.
void generate_map();

}  // namespace vxlforge

#endif  // VXLFORGE_DRIVER_GENERATE_MAP_H_
