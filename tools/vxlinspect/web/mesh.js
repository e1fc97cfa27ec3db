// Building the 3D view's mesh: every voxel face that touches air, merged
// into as few rectangles as the shape allows, built once when a map is
// loaded.
//
// Coordinates are the file's own: x and y across the map, h down from the
// top (h = 0 is the highest voxel); they form a right-handed frame, so the
// view needs no mirroring. Voxel (x, y, h) fills [x, x+1] x [y, y+1] x
// [h, h+1], and "up" is -h.
//
// A face is drawn where a solid voxel meets air: above it (h - 1), below it
// (h + 1, except under the column's bottom, which nobody can see), or
// beside it. Beyond the map's edge counts as air here, so the map's sides
// are closed walls rather than holes.
//
// Faces of one direction in one plane merge into rectangles whatever their
// colours: the renderer looks each pixel's colour up from the voxel behind
// it, so a rectangle needs no colour of its own. A generated map has about
// 2.4 million exposed faces, which merge into about half a million
// rectangles. They are stored direction by direction and plane by plane, so
// that the renderer can leave out, in a few calls, every plane whose faces
// look away from the eye.
(function (Vxl) {
  "use strict";

  const MAP_X = 512;
  const MAP_Y = 512;
  const MAP_Z = 64;
  const COLUMNS = MAP_X * MAP_Y;

  // Face directions by the way they look; the renderer's shaders know them
  // by these numbers.
  const UP = 0, DOWN = 1, WEST = 2, EAST = 3, NORTH = 4, SOUTH = 5;
  Vxl.FACE = { UP, DOWN, WEST, EAST, NORTH, SOUTH };
  // Planes per direction: one per height, or per column along x or y.
  Vxl.PLANES = [MAP_Z, MAP_Z, MAP_X, MAP_X, MAP_Y, MAP_Y];

  // Each rectangle becomes four corners and two triangles. A corner is
  // four 16-bit numbers: its x, y and h on the map (0..512, 0..512, 0..64),
  // then the direction plus 8 times which corner it is (bit 0: at the far
  // end of the first axis, bit 1: of the second), which the renderer needs
  // to find the voxel behind each pixel. Triangles are wound
  // counter-clockwise seen from the air the face looks into.
  //
  // The first axis of UP and DOWN faces is x and the second y; of WEST and
  // EAST faces y and h; of NORTH and SOUTH faces x and h. For UP, WEST and
  // SOUTH faces the first axis crossed with the second points into the
  // voxel, so their triangles are turned round.
  Vxl.VERTEX_WORDS = 4;
  const MIRRORED = [true, false, true, false, false, true];

  class QuadList {
    // Room for `expected` rectangles to start with.
    constructor(expected) {
      this.vertices = new Uint16Array(16 * expected);
      this.indices = new Uint32Array(6 * expected);
      this.count = 0;
      // planeStart[dir][p]: the first rectangle of plane p of direction dir.
      this.planeStart = Vxl.PLANES.map((n) => new Uint32Array(n + 1));
    }

    startPlane(dir, p) {
      this.planeStart[dir][p] = this.count;
    }

    // The rectangle of `du` by `dv` faces of direction `dir` whose first
    // voxel is (x, y, h).
    push(x, y, h, du, dv, dir) {
      if ((this.count + 1) * 6 > this.indices.length) this.grow();
      // The plane's corner, and the two axes scaled to the rectangle.
      let px = x, py = y, ph = h;
      let ux = 0, uy = 0, uh = 0, vx = 0, vy = 0, vh = 0;
      switch (dir) {
        case DOWN: ph = h + 1; // fall through
        case UP: ux = du; vy = dv; break;
        case EAST: px = x + 1; // fall through
        case WEST: uy = du; vh = dv; break;
        case SOUTH: py = y + 1; // fall through
        case NORTH: ux = du; vh = dv; break;
      }
      const d = this.vertices;
      let at = this.count * 16;
      d[at] = px; d[at + 1] = py; d[at + 2] = ph; d[at + 3] = dir;
      at += 4;
      d[at] = px + ux; d[at + 1] = py + uy; d[at + 2] = ph + uh; d[at + 3] = dir + 8;
      at += 4;
      d[at] = px + ux + vx; d[at + 1] = py + uy + vy; d[at + 2] = ph + uh + vh; d[at + 3] = dir + 24;
      at += 4;
      d[at] = px + vx; d[at + 1] = py + vy; d[at + 2] = ph + vh; d[at + 3] = dir + 16;
      const base = this.count * 4;
      const t = this.indices;
      const i = this.count * 6;
      if (MIRRORED[dir]) {
        t[i] = base; t[i + 1] = base + 2; t[i + 2] = base + 1;
        t[i + 3] = base; t[i + 4] = base + 3; t[i + 5] = base + 2;
      } else {
        t[i] = base; t[i + 1] = base + 1; t[i + 2] = base + 2;
        t[i + 3] = base; t[i + 4] = base + 2; t[i + 5] = base + 3;
      }
      ++this.count;
    }

    grow() {
      const vertices = new Uint16Array(this.vertices.length * 2);
      vertices.set(this.vertices);
      this.vertices = vertices;
      const indices = new Uint32Array(this.indices.length * 2);
      indices.set(this.indices);
      this.indices = indices;
    }
  }

  const popcount = (v) => Vxl.popcount(v);
  const lowestBit = (v) => 31 - Math.clz32(v & -v);

  // Side faces of direction `dir` (WEST, EAST, NORTH or SOUTH). In plane p
  // (the voxels at x = p, or y = p) a row is one column's mask of faces
  // over h. A rectangle takes the lowest run of faces in its row, then
  // grows across the following rows as long as each holds the whole run.
  function sideQuads(map, dir, quads) {
    const sLo = map.solidLo, sHi = map.solidHi;
    const alongY = dir === WEST || dir === EAST;  // a plane's rows run along y
    const step = dir === WEST || dir === NORTH ? -1 : 1;
    const rowLo = new Uint32Array(512);
    const rowHi = new Uint32Array(512);
    for (let p = 0; p < 512; ++p) {
      quads.startPlane(dir, p);
      const q = p + step;
      const inside = q >= 0 && q < 512;
      for (let r = 0; r < 512; ++r) {
        const c = alongY ? r * MAP_X + p : p * MAP_X + r;
        const n = alongY ? r * MAP_X + q : q * MAP_X + r;
        rowLo[r] = inside ? sLo[c] & ~sLo[n] : sLo[c];
        rowHi[r] = inside ? sHi[c] & ~sHi[n] : sHi[c];
      }
      for (let r = 0; r < 512; ++r) {
        while (rowLo[r] !== 0 || rowHi[r] !== 0) {
          // The run of set bits from the lowest one: adding the lowest bit
          // carries through the run, so the bits that change and were set
          // are the run. A run that fills bit 31 of `lo` goes on in `hi`.
          const lo = rowLo[r], hi = rowHi[r];
          let runLo = 0, runHi = 0;
          if (lo !== 0) {
            runLo = (lo & ~(lo + (lo & -lo))) >>> 0;
            if ((runLo & 0x80000000) !== 0 && (hi & 1) !== 0) runHi = (hi & ~(hi + 1)) >>> 0;
          } else {
            runHi = (hi & ~(hi + (hi & -hi))) >>> 0;
          }
          let r1 = r + 1;
          while (r1 < 512 && (rowLo[r1] & runLo) >>> 0 === runLo && (rowHi[r1] & runHi) >>> 0 === runHi) {
            rowLo[r1] = (rowLo[r1] & ~runLo) >>> 0;
            rowHi[r1] = (rowHi[r1] & ~runHi) >>> 0;
            ++r1;
          }
          rowLo[r] = (lo & ~runLo) >>> 0;
          rowHi[r] = (hi & ~runHi) >>> 0;
          const h0 = runLo !== 0 ? lowestBit(runLo) : 32 + lowestBit(runHi);
          const length = popcount(runLo) + popcount(runHi);
          if (alongY) quads.push(p, r, h0, r1 - r, length, dir);
          else quads.push(r, p, h0, r1 - r, length, dir);
        }
      }
    }
    quads.startPlane(dir, 512);
  }

  // Faces that look up or down: one plane per height, in which each row of
  // the map is a mask of 512 bits (16 words), one per column. A rectangle
  // takes the run of faces from the first one in its row, then grows down
  // the rows while the next row holds its whole width. `cells` is scratch
  // room for the 64 planes' masks.
  const ROW_WORDS = MAP_X / 32;

  // Bits a..b (0 <= a <= b <= 31) of a word.
  const bits = (a, b) => ((b === 31 ? 0xffffffff : (1 << (b + 1)) - 1) & ~((1 << a) - 1)) >>> 0;

  // True when bits x .. x + w - 1 of the row at `at` are all set.
  function rowHolds(cells, at, x, w) {
    for (let k = x >> 5, end = (x + w - 1) >> 5; k <= end; ++k) {
      const m = bits(k === x >> 5 ? x & 31 : 0, k === end ? (x + w - 1) & 31 : 31);
      if (((cells[at + k] & m) >>> 0) !== m) return false;
    }
    return true;
  }

  function rowClear(cells, at, x, w) {
    for (let k = x >> 5, end = (x + w - 1) >> 5; k <= end; ++k) {
      cells[at + k] &= ~bits(k === x >> 5 ? x & 31 : 0, k === end ? (x + w - 1) & 31 : 31);
    }
  }

  function flatQuads(map, dir, quads, cells) {
    const sLo = map.solidLo, sHi = map.solidHi;
    cells.fill(0);
    const planeWords = MAP_Y * ROW_WORDS;
    for (let c = 0; c < COLUMNS; ++c) {
      const lo = sLo[c], hi = sHi[c];
      let fLo, fHi;
      if (dir === UP) {
        // Solid with air (or the sky, for h = 0) at h - 1.
        fLo = lo & ~(lo << 1);
        fHi = hi & ~((hi << 1) | (lo >>> 31));
      } else {
        // Solid with air at h + 1; the column's bottom is never seen.
        fLo = lo & ~((lo >>> 1) | (hi << 31));
        fHi = hi & ~(hi >>> 1) & 0x7fffffff;
      }
      const word = c >> 5;  // c = y * 512 + x, so this is row y's word x / 32
      const bit = 1 << (c & 31);
      for (fLo >>>= 0; fLo !== 0; fLo = (fLo & (fLo - 1)) >>> 0) {
        cells[lowestBit(fLo) * planeWords + word] |= bit;
      }
      for (fHi >>>= 0; fHi !== 0; fHi = (fHi & (fHi - 1)) >>> 0) {
        cells[(32 + lowestBit(fHi)) * planeWords + word] |= bit;
      }
    }
    for (let h = 0; h < MAP_Z; ++h) {
      quads.startPlane(dir, h);
      for (let y = 0; y < MAP_Y; ++y) {
        const row = h * planeWords + y * ROW_WORDS;
        for (let k = 0; k < ROW_WORDS; ++k) {
          while (cells[row + k] !== 0) {
            const x = k * 32 + lowestBit(cells[row + k]);
            // The run's width: the set bits from x on, across words. The
            // lowest clear bit of a word shifted down to x is the run's
            // length in that word.
            let w = 0;
            for (let j = k; j < ROW_WORDS; ++j) {
              const from = j === k ? x & 31 : 0;
              const clear = ~(cells[row + j] >>> from);
              const run = clear === 0 ? 32 : lowestBit(clear);
              w += run;
              if (from + run < 32) break;
            }
            rowClear(cells, row, x, w);
            let y1 = y + 1;
            while (y1 < MAP_Y && rowHolds(cells, h * planeWords + y1 * ROW_WORDS, x, w)) {
              rowClear(cells, h * planeWords + y1 * ROW_WORDS, x, w);
              ++y1;
            }
            quads.push(x, y, h, w, y1 - y, dir);
          }
        }
      }
    }
    quads.startPlane(dir, MAP_Z);
  }

  // The number of exposed faces before merging, for the page's report.
  function countFaces(map) {
    const sLo = map.solidLo, sHi = map.solidHi;
    let faces = 0;
    for (let y = 0; y < MAP_Y; ++y) {
      for (let x = 0; x < MAP_X; ++x) {
        const c = y * MAP_X + x;
        const lo = sLo[c], hi = sHi[c];
        const all = popcount(lo) + popcount(hi);
        faces += popcount(lo & ~(lo << 1)) + popcount(hi & ~((hi << 1) | (lo >>> 31)));
        faces += popcount(lo & ~((lo >>> 1) | (hi << 31))) + popcount(hi & ~(hi >>> 1) & 0x7fffffff);
        faces += x > 0 ? popcount(lo & ~sLo[c - 1]) + popcount(hi & ~sHi[c - 1]) : all;
        faces += x < MAP_X - 1 ? popcount(lo & ~sLo[c + 1]) + popcount(hi & ~sHi[c + 1]) : all;
        faces += y > 0 ? popcount(lo & ~sLo[c - MAP_X]) + popcount(hi & ~sHi[c - MAP_X]) : all;
        faces += y < MAP_Y - 1 ? popcount(lo & ~sLo[c + MAP_X]) + popcount(hi & ~sHi[c + MAP_X]) : all;
      }
    }
    return faces;
  }

  // Builds the merged rectangles of a decoded map (see vxl_decode.js).
  // Returns { vertices: Uint16Array, VERTEX_WORDS numbers per corner;
  // indices: Uint32Array, three per triangle; count: rectangles;
  // planeStart: per direction, the first rectangle of each plane and, last,
  // the end of the direction's; faces: exposed faces before merging }.
  Vxl.buildMesh = function (map) {
    // Merging leaves about one rectangle for every four or five faces.
    const faces = countFaces(map);
    const quads = new QuadList(Math.ceil(faces / 4) + 1024);
    const cells = new Uint32Array(MAP_Z * MAP_Y * ROW_WORDS);
    flatQuads(map, UP, quads, cells);
    flatQuads(map, DOWN, quads, cells);
    for (const dir of [WEST, EAST, NORTH, SOUTH]) sideQuads(map, dir, quads);
    return {
      vertices: quads.vertices.subarray(0, quads.count * 16),
      indices: quads.indices.subarray(0, quads.count * 6),
      count: quads.count,
      planeStart: quads.planeStart,
      faces,
    };
  };

  // The planes of direction `dir` whose faces may look toward an eye at
  // `eye` ([x, y, h]), as [first, end). A face looks toward the eye when
  // the eye lies on its outward side; one plane more each way is kept, so
  // rounding never drops a plane that shows.
  Vxl.planesFacing = function (dir, eye) {
    const n = Vxl.PLANES[dir];
    const e = eye[dir <= DOWN ? 2 : dir <= EAST ? 0 : 1];
    const clamp = (v) => Math.min(n, Math.max(0, v));
    // UP, WEST and NORTH faces look toward smaller coordinates: they show
    // when the eye is below their plane's number, the others when above.
    if (dir === UP || dir === WEST || dir === NORTH) return [clamp(Math.floor(e)), n];
    return [0, clamp(Math.ceil(e))];
  };
})(globalThis.Vxl = globalThis.Vxl || {});
