#include "vxl/map_reader.h"

#include <algorithm>
#include <cstring>

namespace vxlforge {

MapVoxels::MapVoxels()
    : solid(MAP_VOXELS), coloured(MAP_VOXELS), colour(MAP_VOXELS) {}

namespace {

constexpr std::size_t kHeaderBytes = 4;
constexpr std::size_t kWordBytes = 4;

std::uint32_t read_u32_le(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Reads one file and remembers where it is, so every check can say where.
class Decoder {
 public:
  Decoder(const std::uint8_t* data, std::size_t size, MapVoxels* voxels, MapError* error)
      : data_(data), size_(size), voxels_(voxels), error_(error) {}

  bool decode_all(MapStats* stats) {
    MapStats counted;
    counted.bytes = size_;
    counted.lowest_surface = MAP_Z;
    for (y_ = 0; y_ < MAP_Y; ++y_) {
      for (x_ = 0; x_ < MAP_X; ++x_) {
        if (pos_ == size_ && pos_ > 0) {
          return wrong_column_count(static_cast<std::size_t>(y_) * MAP_X + x_);
        }
        int surface = 0;
        if (!decode_column(&counted.spans, &surface)) return false;
        counted.lowest_surface = std::min(counted.lowest_surface, surface);
        counted.highest_surface = std::max(counted.highest_surface, surface);
      }
    }
    if (pos_ != size_) {
      // A bigger map reads as whole columns past the last one; anything
      // else is stray bytes.
      const std::size_t end = pos_;
      std::size_t columns = MAP_COLUMNS;
      MapVoxels* const voxels = voxels_;
      MapError* const error = error_;
      voxels_ = nullptr;
      error_ = nullptr;
      std::size_t spans = 0;
      int surface = 0;
      x_ = y_ = 0;
      while (pos_ < size_ && decode_column(&spans, &surface)) ++columns;
      voxels_ = voxels;
      error_ = error;
      x_ = y_ = -1;
      if (pos_ == size_) return wrong_column_count(columns);
      return fail(MapFault::kTrailingBytes, end,
                  std::to_string(size_ - end) + " bytes after the last column");
    }
    if (stats != nullptr) *stats = counted;
    return true;
  }

 private:
  bool fail(MapFault fault, std::size_t offset, std::string what) {
    if (error_ != nullptr) {
      error_->fault = fault;
      error_->offset = offset;
      error_->x = x_;
      error_->y = y_;
      error_->what = std::move(what);
    }
    return false;
  }

  bool wrong_column_count(std::size_t columns) {
    x_ = y_ = -1;
    return fail(MapFault::kColumnCount, size_,
                "file holds " + std::to_string(columns) +
                    " complete columns; a map must be 512 x 512 columns of 64 voxels, " +
                    std::to_string(MAP_COLUMNS) + " columns");
  }

  void set_voxels(int h0, int h1, bool is_solid) {
    if (voxels_ == nullptr) return;
    for (int h = h0; h <= h1; ++h) {
      const int i = map_voxel_index(x_, y_, h);
      voxels_->solid[i] = is_solid ? 1 : 0;
      voxels_->coloured[i] = 0;
      voxels_->colour[i] = 0;
    }
  }

  void set_colours(int h0, int count, const std::uint8_t* words) {
    if (voxels_ == nullptr) return;
    for (int k = 0; k < count; ++k) {
      const int i = map_voxel_index(x_, y_, h0 + k);
      voxels_->solid[i] = 1;
      voxels_->coloured[i] = 1;
      voxels_->colour[i] = read_u32_le(words + k * kWordBytes);
    }
  }

  // Reads the record of column (x_, y_) at pos_ and moves past it.
  bool decode_column(std::size_t* spans, int* surface) {
    // What the previous span left for the next one to place: bottom colours
    // whose heights depend on the next air_start, above which, down from
    // `solid_from`, lies hidden solid ground.
    bool first = true;
    int topmost_solid = MAP_Z;  // nearest the top; MAP_Z while none is seen
    const auto note_solid = [&topmost_solid](int h0, int h1) {
      if (h0 <= h1) topmost_solid = std::min(topmost_solid, h0);
    };
    int prev_air_start = 0;
    int solid_from = 0;
    int bottom_count = 0;
    const std::uint8_t* bottom_words = nullptr;

    for (;;) {
      const std::size_t at = pos_;
      if (size_ - at < kHeaderBytes) {
        return fail(MapFault::kTruncated, at,
                    "file ends " + std::to_string(size_ - at) +
                        " bytes into a span header of 4");
      }
      const int span_length = data_[at];
      const int top_start = data_[at + 1];
      const int top_end = data_[at + 2];
      const int air_start = data_[at + 3];

      if (first) {
        if (air_start != 0) {
          return fail(MapFault::kHeightOrder, at + 3,
                      "first span's air_start is " + std::to_string(air_start) + ", not 0");
        }
      } else {
        if (air_start <= prev_air_start) {
          return fail(MapFault::kHeightOrder, at + 3,
                      "air_start " + std::to_string(air_start) +
                          " does not move below the previous span's air_start " +
                          std::to_string(prev_air_start));
        }
        if (air_start > MAP_Z - 1) {
          return fail(MapFault::kHeightOrder, at + 3,
                      "air_start " + std::to_string(air_start) +
                          " starts a span below the column's bottom (63)");
        }
        if (air_start - bottom_count < solid_from) {
          return fail(MapFault::kHeightOrder, at + 3,
                      "air_start " + std::to_string(air_start) + " puts the previous span's " +
                          std::to_string(bottom_count) +
                          " bottom colours over its top colours, which end at " +
                          std::to_string(solid_from - 1));
        }
      }
      if (top_start > MAP_Z) {
        return fail(MapFault::kPastBottom, at + 1,
                    "top_start " + std::to_string(top_start) +
                        " is past the column's 64 voxels");
      }
      if (air_start > top_start) {
        return fail(MapFault::kHeightOrder, at + 3,
                    "air_start " + std::to_string(air_start) + " is below top_start " +
                        std::to_string(top_start));
      }
      if (top_end < top_start - 1) {
        return fail(MapFault::kTopEndBelowStart, at + 2,
                    "top_end " + std::to_string(top_end) + " is below top_start " +
                        std::to_string(top_start) + " - 1");
      }
      if (top_end > MAP_Z - 1) {
        return fail(MapFault::kPastBottom, at + 2,
                    "top_end " + std::to_string(top_end) +
                        " is past the column's 64 voxels");
      }
      const int top_count = top_end - top_start + 1;
      const bool last = span_length == 0;
      const int words = last ? top_count : span_length - 1;
      if (words < top_count) {
        return fail(MapFault::kColourCount, at,
                    "span_length " + std::to_string(span_length) + " holds " +
                        std::to_string(words) + " colours, but top_start " +
                        std::to_string(top_start) + " to top_end " +
                        std::to_string(top_end) + " needs " + std::to_string(top_count));
      }
      const int bottoms = words - top_count;
      if (!last && bottoms == 0 && top_end == MAP_Z - 1) {
        return fail(MapFault::kPastBottom, at,
                    "span_length " + std::to_string(span_length) +
                        " announces a further span, but this one reaches the column's bottom");
      }
      if (!last && top_end + 1 + bottoms > MAP_Z - 1) {
        return fail(MapFault::kPastBottom, at,
                    "span_length " + std::to_string(span_length) + " gives " +
                        std::to_string(bottoms) + " bottom colours below top_end " +
                        std::to_string(top_end) +
                        ", past the column's 64 voxels with room for a next span");
      }
      const std::size_t span_bytes = kHeaderBytes + kWordBytes * static_cast<std::size_t>(words);
      if (size_ - at < span_bytes) {
        return fail(MapFault::kTruncated, at,
                    "file ends " + std::to_string(size_ - at) + " bytes into a span of " +
                        std::to_string(span_bytes));
      }

      // Every height is now known to be in range: place the voxels.
      if (!first) {
        note_solid(solid_from, air_start - 1);
        set_voxels(solid_from, air_start - bottom_count - 1, true);
        set_colours(air_start - bottom_count, bottom_count, bottom_words);
      }
      set_voxels(air_start, top_start - 1, false);
      note_solid(top_start, top_end);
      set_colours(top_start, top_count, data_ + at + kHeaderBytes);
      ++*spans;
      pos_ = at + span_bytes;
      if (last) {
        note_solid(top_end + 1, MAP_Z - 1);
        set_voxels(top_end + 1, MAP_Z - 1, true);
        *surface = MAP_Z - topmost_solid;
        return true;
      }
      first = false;
      prev_air_start = air_start;
      solid_from = top_end + 1;
      bottom_count = bottoms;
      bottom_words = data_ + at + kHeaderBytes + kWordBytes * static_cast<std::size_t>(top_count);
    }
  }

  const std::uint8_t* data_;
  std::size_t size_;
  MapVoxels* voxels_;
  MapError* error_;
  std::size_t pos_ = 0;
  int x_ = 0;
  int y_ = 0;
};

}  // namespace

bool decode_map(const std::uint8_t* data, std::size_t size, MapVoxels* voxels,
                MapStats* stats, MapError* error) {
  Decoder decoder(data, size, voxels, error);
  return decoder.decode_all(stats);
}

std::string describe_map_error(const MapError& error) {
  std::string where = "byte " + std::to_string(error.offset);
  if (error.x >= 0) {
    where += ", column (" + std::to_string(error.x) + ", " + std::to_string(error.y) + ")";
  }
  return where + ": " + error.what;
}

}  // namespace vxlforge
