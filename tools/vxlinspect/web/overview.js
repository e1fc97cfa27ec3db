// The overview beside the 3D view: the map from above with its grid and
// start regions, where the 3D view's position is drawn and a click moves
// the view's focus.
//
// vxlinspect embeds its own overview picture of the map it was given. A map
// dropped on the page or picked later has none, so the page draws a plain
// one itself: each column's top colour, lighter the higher it stands, with
// the same grid and start regions.
(function (Vxl) {
  "use strict";

  const GRID = 64;  // columns per grid square
  const START_REGIONS = [[0, 128, 128, 256], [384, 128, 128, 256]];  // x, y, width, height

  class Overview {
    // `image` shows the picture, `marks` (a canvas laid over it) the view's
    // position; `onPick(x, y)` gets the map column a click lands on.
    constructor(image, marks, onPick) {
      this.image = image;
      this.marks = marks;
      marks.addEventListener("click", (event) => {
        const box = marks.getBoundingClientRect();
        const x = Math.floor(((event.clientX - box.left) / box.width) * Vxl.MAP_X);
        const y = Math.floor(((event.clientY - box.top) / box.height) * Vxl.MAP_Y);
        if (x >= 0 && x < Vxl.MAP_X && y >= 0 && y < Vxl.MAP_Y) onPick(x, y);
      });
    }

    showPicture(source) {
      this.image.src = source;
    }

    // Draws the page's own overview of a decoded map (see vxl_decode.js).
    drawMap(map) {
      const canvas = document.createElement("canvas");
      canvas.width = Vxl.MAP_X;
      canvas.height = Vxl.MAP_Y;
      const context = canvas.getContext("2d");
      const pixels = context.createImageData(Vxl.MAP_X, Vxl.MAP_Y);
      const range = Math.max(1, map.highestSurface - map.lowestSurface);
      for (let y = 0; y < Vxl.MAP_Y; ++y) {
        for (let x = 0; x < Vxl.MAP_X; ++x) {
          const h = Vxl.topSolid(map, x, y);
          const p = (y * Vxl.MAP_X + x) * 4;
          pixels.data[p + 3] = 255;
          if (h < 0) continue;
          const word = Vxl.colourAt(map, x, y, h);
          const rgb = word < 0 ? [0x80, 0x78, 0x70] : [(word >>> 16) & 255, (word >>> 8) & 255, word & 255];
          const lift = 0.7 + (0.3 * (Vxl.MAP_Z - h - map.lowestSurface)) / range;
          for (let k = 0; k < 3; ++k) pixels.data[p + k] = Math.min(255, rgb[k] * lift);
        }
      }
      context.putImageData(pixels, 0, 0);
      drawGrid(context);
      this.image.src = canvas.toDataURL("image/png");
    }

    // Draws the 3D view's position: the ground it shows, where the eye
    // stands and the focus it turns around.
    drawPosition(camera, aspect) {
      const canvas = this.marks;
      const box = canvas.getBoundingClientRect();
      const ratio = window.devicePixelRatio || 1;
      canvas.width = Math.max(1, Math.round(box.width * ratio));
      canvas.height = Math.max(1, Math.round(box.height * ratio));
      const context = canvas.getContext("2d");
      const k = canvas.width / Vxl.MAP_X;
      const at = (p) => [p[0] * k, p[1] * k];
      context.clearRect(0, 0, canvas.width, canvas.height);
      context.lineWidth = 1.5 * ratio;

      const footprint = camera.footprint(aspect).map(at);
      context.beginPath();
      footprint.forEach((p, i) => (i === 0 ? context.moveTo(p[0], p[1]) : context.lineTo(p[0], p[1])));
      context.closePath();
      context.fillStyle = "rgba(255, 255, 255, 0.18)";
      context.fill();
      context.strokeStyle = "rgba(255, 255, 255, 0.85)";
      context.stroke();

      const eye = at(camera.eye());
      const focus = at(camera.focus);
      context.beginPath();
      context.moveTo(eye[0], eye[1]);
      context.lineTo(focus[0], focus[1]);
      context.strokeStyle = "#ffd23f";
      context.stroke();
      context.beginPath();
      context.arc(eye[0], eye[1], 4 * ratio, 0, 2 * Math.PI);
      context.fillStyle = "#ffd23f";
      context.fill();

      const r = 6 * ratio;
      context.strokeStyle = "#ff3f6c";
      context.lineWidth = 2.5 * ratio;
      context.beginPath();
      context.moveTo(focus[0] - r, focus[1]);
      context.lineTo(focus[0] + r, focus[1]);
      context.moveTo(focus[0], focus[1] - r);
      context.lineTo(focus[0], focus[1] + r);
      context.stroke();
    }
  }

  // The grid players name places by (letters A..H along x, digits 1..8
  // along y) and the two start regions, on a 512 x 512 context.
  function drawGrid(context) {
    context.strokeStyle = "rgba(255, 255, 255, 0.55)";
    context.lineWidth = 1;
    context.beginPath();
    for (let i = 1; i < 8; ++i) {
      context.moveTo(i * GRID + 0.5, 0);
      context.lineTo(i * GRID + 0.5, Vxl.MAP_Y);
      context.moveTo(0, i * GRID + 0.5);
      context.lineTo(Vxl.MAP_X, i * GRID + 0.5);
    }
    context.stroke();
    context.fillStyle = "#fff";
    context.font = "bold 11px sans-serif";
    for (let i = 0; i < 8; ++i) {
      context.fillText(String.fromCharCode(65 + i), i * GRID + 3, 12);
      context.fillText(String(i + 1), 3, i * GRID + 24);
    }
    context.strokeStyle = "#ffcc00";
    context.lineWidth = 2;
    for (const [x, y, w, h] of START_REGIONS) context.strokeRect(x + 1, y + 1, w - 2, h - 2);
  }

  // The file height of column (x, y)'s topmost solid voxel, or -1 for an
  // all-air column.
  Vxl.topSolid = function (map, x, y) {
    const c = y * Vxl.MAP_X + x;
    const lo = map.solidLo[c];
    if (lo !== 0) return 31 - Math.clz32(lo & -lo);
    const hi = map.solidHi[c];
    if (hi !== 0) return 63 - Math.clz32(hi & -hi);
    return -1;
  };

  Vxl.Overview = Overview;
})(globalThis.Vxl = globalThis.Vxl || {});
