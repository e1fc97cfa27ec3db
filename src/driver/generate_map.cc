#include "driver/generate_map.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "base/parallel_rows.h"
#include "base/task_graph.h"
#include "mapgen/fixed_arrays.h"
#include "mapgen/heightmap.h"
#include "mapgen/roads.h"
#include "mapgen/start_regions.h"
#include "mapgen/surface_detail.h"
#include "mapgen/terrain_colour.h"
#include "mapgen/volume.h"
#include "random/fast_noise_fill.h"

namespace vxlforge {

namespace {

using Heightmap = HeightmapPass;
using Cover = SurfaceDetailPass;
constexpr int kRowsPerHeightChunk = Heightmap::kChunkRows;
constexpr int kCoverChunks = Cover::kChunks;

// Chunks of the cover pass whose noise may be filled ahead of the column
// loop: enough that the loop rarely waits, few enough to stay in the caches.
constexpr int kCoverBuffers = 8;

// The steps of a run as tasks, with the stage at whose hand-over each is
// complete. Tasks are listed in the order they are best taken: the column
// loop's next chunk and what it needs first.
class RunTasks {
 public:
  RunTasks(const Heightmap& heightmap, std::optional<Cover>& cover)
      : heightmap_(heightmap), cover_(cover) {
    roads_ = add(Stage::kRoads, [](int) { build_road_mask(); });
    // The cover pass's fills make their draws after the roads', before any
    // of the column loop's.
    cover_draws_ = add(Stage::kSurfaceDetail, [this](int) { cover_.emplace(kCoverBuffers); }, {roads_});
    for (int j = 0; j < kCoverChunks; ++j) {
      // The loop's chunk j reads column_top of its rows and paints rows up
      // to the one after its last, which must be coloured first.
      const int first = j * Cover::kChunkRows;
      const int own = height_chunk(first);
      const int next = height_chunk(std::min(first + Cover::kChunkRows, MAP_X - 1));
      list_colouring(own);
      list_colouring(next);
      std::vector<int> fill_after{cover_draws_, shape_[own]};
      if (j >= kCoverBuffers) fill_after.push_back(dress_[j - kCoverBuffers]);
      fill_.push_back(add(Stage::kSurfaceDetail, [this, j](int slot) { cover_->fill_chunk(j, slot); },
                          fill_after));
      std::vector<int> dress_after{fill_.back(), colour_[own], colour_[next]};
      if (j > 0) dress_after.push_back(dress_[j - 1]);
      dress_.push_back(add(Stage::kSurfaceDetail, [this, j](int) { cover_->dress_chunk(j); },
                           dress_after));
    }
  }

  TaskGraph& graph() { return graph_; }
  // The hand-over at which the task is done.
  Stage stage_of(int task) const { return stage_[static_cast<std::size_t>(task)]; }

 private:
  static int height_chunk(int x) { return x / kRowsPerHeightChunk; }

  int add(Stage stage, TaskGraph::Work work, std::vector<int> after = {}) {
    stage_.push_back(stage);
    return graph_.add(std::move(work), std::move(after));
  }

  // Lists the heightmap chunk's steps and its colouring, unless listed.
  void list_colouring(int chunk) {
    const int west = (chunk + Heightmap::kChunks - 1) % Heightmap::kChunks;
    list_heights(west);
    list_heights(chunk);
    if (colour_[chunk] >= 0) return;
    colour_[chunk] = add(
        Stage::kTerrainColoured,
        [chunk](int) {
          colour_terrain_rows(chunk * kRowsPerHeightChunk, (chunk + 1) * kRowsPerHeightChunk,
                              kTerrainColourLow, kTerrainColourHigh);
        },
        {relief_[chunk], relief_[west]});
  }

  void list_heights(int chunk) {
    if (shape_[chunk] >= 0) return;
    shape_[chunk] = add(Stage::kVoxelised, [this, chunk](int) { heightmap_.shape_rows(chunk); });
    relief_[chunk] = add(Stage::kTerrainColoured,
                         [this, chunk](int) { heightmap_.add_colour_relief(chunk); },
                         {shape_[chunk]});
  }

  const Heightmap& heightmap_;
  std::optional<Cover>& cover_;
  TaskGraph graph_;
  std::vector<Stage> stage_;
  // Task numbers, -1 until listed: per heightmap chunk, then per cover chunk.
  int roads_ = -1;
  int cover_draws_ = -1;
  std::vector<int> shape_ = std::vector<int>(Heightmap::kChunks, -1);
  std::vector<int> relief_ = std::vector<int>(Heightmap::kChunks, -1);
  std::vector<int> colour_ = std::vector<int>(Heightmap::kChunks, -1);
  std::vector<int> fill_;
  std::vector<int> dress_;
};

}  // namespace

void generate_map(const StageObserver& observer) {
  advise_fixed_arrays();  // again, for callers that are not the program
  // Started now, so that the worker threads are up by the time the
  // heightmap's fills, shared out over every core, need them.
  start_workers();
  // The heightmap's draws come first. While this thread makes them and
  // prepares the octaves, another runs the noise kernels' checks, which the
  // first fills would otherwise wait for.
  std::optional<const Heightmap> heightmap;
  for_row_slices(2, 2, [&heightmap](int slice, int, int) {
    if (slice == 0) {
      heightmap.emplace();
    } else {
      choose_noise_fill_kernels();
    }
  });
  std::optional<Cover> cover;
  RunTasks tasks(*heightmap, cover);
  if (!observer) {
    tasks.graph().run_all();
    draw_start_regions();
    return;
  }
  for (Stage stage : {Stage::kVoxelised, Stage::kTerrainColoured, Stage::kRoads,
                      Stage::kSurfaceDetail}) {
    tasks.graph().run([&tasks, stage](int t) { return tasks.stage_of(t) == stage; });
    observer(stage);
  }
  draw_start_regions();
  observer(Stage::kStartRegions);
}

}  // namespace vxlforge
