// The map page itself: takes the map vxlinspect embedded (or one the user
// drops or picks), decodes it, builds its mesh, and keeps the 3D view, the
// overview and the figures in step.
//
// The page reports its state on <body> for people and for tests:
//   data-state        loading, ready, no-webgl or error
//   data-map-name     the map shown
//   data-faces        exposed voxel faces; data-quads the rectangles that
//                     hold them; data-rectangles-drawn and data-draw-calls
//                     in the last frame
//   data-frames       frames drawn so far; data-first-frame-ms the time
//                     from opening the page to its first finished frame
//   data-timings      milliseconds each step of showing the map took:
//                     "inflate N decode N mesh N upload N draw N"
//   data-camera       "yaw pitch distance"; data-focus "x y h"
//   data-errors       script errors seen (listed in #errors)
//   data-load-error   why the last dropped or picked file was refused
(function (Vxl) {
  "use strict";

  const $ = (id) => document.getElementById(id);
  // No valid map is larger (64 spans and 64 colours a column); the file is
  // refused before it is read into memory.
  const MAX_FILE_BYTES = 512 * 512 * 512;

  function report(fields) {
    for (const [key, value] of Object.entries(fields)) document.body.dataset[key] = String(value);
  }

  const errors = [];
  function recordError(text) {
    errors.push(text);
    const item = document.createElement("li");
    item.textContent = text;
    $("errors").appendChild(item);
    $("errors").hidden = false;
    report({ errors: errors.length });
  }
  window.addEventListener("error", (event) => recordError(event.message));
  window.addEventListener("unhandledrejection", (event) => recordError(String(event.reason)));

  function showMessage(text) {
    $("message").textContent = text;
    $("message").hidden = !text;
  }

  function base64Bytes(text) {
    const binary = atob(text.trim());
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }

  // The map is embedded deflated (zlib format); the browser inflates it.
  async function inflate(bytes) {
    const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream("deflate"));
    return new Uint8Array(await new Response(stream).arrayBuffer());
  }

  const percent = (share) => `${(100 * share).toFixed(1)} %`;
  const voxels = (v) => `${Number(v).toFixed(1)}`;

  // The figures of `vxlinspect stats`, as label and text.
  function figureRows(f) {
    return [
      ["Size", `${f.bytes.toLocaleString("en")} bytes`],
      ["SHA-256", f.sha256, "", "hash"],
      ["Surface height", `${f.surface_min} / ${voxels(f.surface_mean)} / ${f.surface_max}`, "min / mean / max, voxels"],
      ["Land, whole map", percent(f.land_share)],
      ["Land, left start", percent(f.land_share_left)],
      ["Land, right start", percent(f.land_share_right)],
      ["Land, smaller start", percent(f.land_share_smaller)],
      ["Land difference", percent(f.land_share_difference)],
      ["Height, left start", voxels(f.mean_surface_left), "mean, voxels"],
      ["Height, right start", voxels(f.mean_surface_right), "mean, voxels"],
      ["Floating voxels", Number(f.floating_voxels).toLocaleString("en")],
      ["Highest point", `${f.highest_square} (${f.highest_x}, ${f.highest_y})`],
    ];
  }

  function showFigures(figures, map) {
    const body = $("figures").tBodies[0];
    body.replaceChildren();
    const add = (label, text, title, kind) => {
      const row = body.insertRow();
      const th = document.createElement("th");
      th.textContent = label;
      row.appendChild(th);
      const cell = row.insertCell();
      cell.textContent = text;
      if (title) cell.title = title;
      if (kind) cell.className = kind;
    };
    if (figures) {
      for (const [label, text, title, kind] of figureRows(figures)) add(label, text, title, kind);
    } else {
      add("Size", `${map.bytes.toLocaleString("en")} bytes`);
      add("Surface height", `${map.lowestSurface} to ${map.highestSurface}`, "voxels");
      add("Figures", "vxlinspect stats gives the rest for a file opened here.", "", "note");
    }
  }

  class Viewer {
    constructor() {
      this.camera = new Vxl.OrbitCamera();
      this.map = null;
      this.frames = 0;
      this.timings = [];
      this.pending = false;
      this.overview = new Vxl.Overview($("overview-image"), $("overview-marks"),
                                       (x, y) => this.lookAt(x, y));
      try {
        this.renderer = new Vxl.Renderer($("scene"));
      } catch (error) {
        this.renderer = null;
        this.noWebGL = String(error.message || error);
      }
      if (this.renderer) {
        Vxl.attachControls($("scene"), this.camera, () => this.requestFrame());
        $("reset").addEventListener("click", () => {
          this.camera.reset();
          this.requestFrame();
        });
        window.addEventListener("resize", () => this.requestFrame());
      } else {
        $("reset").disabled = true;
      }
      this.acceptFiles();
    }

    // Shows the map in `bytes`; throws Vxl.MapFormatError when it is not one.
    show(bytes, name, figures, picture) {
      let t = performance.now();
      const lap = (step) => {
        const now = performance.now();
        this.timings.push(`${step} ${Math.round(now - t)}`);
        t = now;
      };
      const map = Vxl.decodeMap(bytes);
      lap("decode");
      this.map = map;
      report({ mapName: name });
      $("map-name").textContent = name;
      document.title = `${name} - vxlinspect`;
      showFigures(figures, map);
      if (picture) this.overview.showPicture(picture);
      else this.overview.drawMap(map);
      const canvas = $("scene");
      this.camera.aspect = canvas.clientWidth / Math.max(1, canvas.clientHeight);
      this.camera.setHome(homeFocus(map), Vxl.MAP_Z - map.highestSurface);
      this.camera.reset();
      if (!this.renderer) {
        showMessage("This browser offers no WebGL2 (or has it turned off), which the 3D view needs. " +
                    "The overview and figures beside still describe the map.");
        report({ state: "no-webgl" });
        return;
      }
      const mesh = Vxl.buildMesh(map);
      lap("mesh");
      this.renderer.setMap(map, mesh);
      this.renderer.waitForFrame();
      lap("upload");
      this.shownAt = performance.now();
      this.frames = 0;
      report({ faces: mesh.faces, quads: mesh.count });
      showMessage("");
      // The keys work at once, without a click into the view first.
      $("scene").focus({ preventScroll: true });
      this.requestFrame();
    }

    requestFrame() {
      if (this.pending || !this.renderer || !this.map) return;
      this.pending = true;
      requestAnimationFrame(() => this.drawFrame());
    }

    drawFrame() {
      this.pending = false;
      const canvas = $("scene");
      this.camera.aspect = canvas.clientWidth / Math.max(1, canvas.clientHeight);
      this.renderer.draw(this.camera);
      this.overview.drawPosition(this.camera, this.camera.aspect);
      ++this.frames;
      const f = this.camera.focus;
      report({
        frames: this.frames,
        drawCalls: this.renderer.drawCalls,
        rectanglesDrawn: this.renderer.rectangles,
        camera: this.camera.describe(),
        focus: `${f[0].toFixed(1)} ${f[1].toFixed(1)} ${f[2].toFixed(1)}`,
      });
      if (this.frames === 1) {
        // The first frame counts once the graphics work is done: reading a
        // pixel back waits for it.
        this.renderer.waitForFrame();
        this.timings.push(`draw ${Math.round(performance.now() - this.shownAt)}`);
        report({ firstFrameMs: Math.round(performance.now()), timings: this.timings.join(" "),
                 state: "ready" });
        this.timings = [];
      }
    }

    // Moves the focus to column (x, y), on its ground, and comes closer
    // when the whole map is in view, so that the place can be seen.
    lookAt(x, y) {
      if (!this.map) return;
      const top = Vxl.topSolid(this.map, x, y);
      this.camera.setFocus(x + 0.5, y + 0.5, top < 0 ? Vxl.MAP_Z : top);
      if (this.camera.distance > 260) this.camera.distance = 260;
      this.requestFrame();
      if (!this.renderer) this.overview.drawPosition(this.camera, this.camera.aspect);
    }

    // A .vxl dropped anywhere on the page, or picked with the button.
    acceptFiles() {
      const input = $("file-input");
      $("open").addEventListener("click", () => input.click());
      input.addEventListener("change", () => {
        if (input.files.length > 0) this.load(input.files[0]);
        input.value = "";
      });
      document.addEventListener("dragover", (event) => {
        event.preventDefault();
        document.body.classList.add("dragging");
      });
      document.addEventListener("dragleave", () => document.body.classList.remove("dragging"));
      document.addEventListener("drop", (event) => {
        event.preventDefault();
        document.body.classList.remove("dragging");
        const files = event.dataTransfer && event.dataTransfer.files;
        if (files && files.length > 0) this.load(files[0]);
      });
    }

    async load(file) {
      const refuse = (why) => {
        $("load-error").textContent = `${file.name}: ${why}`;
        $("load-error").hidden = false;
        report({ loadError: `${file.name}: ${why}` });
      };
      if (file.size > MAX_FILE_BYTES) {
        refuse(`${file.size} bytes is larger than any map`);
        return;
      }
      let bytes;
      try {
        bytes = new Uint8Array(await file.arrayBuffer());
      } catch (error) {
        refuse(`cannot be read: ${error.message}`);
        return;
      }
      try {
        this.show(bytes, file.name, null, null);
      } catch (error) {
        if (!(error instanceof Vxl.MapFormatError)) throw error;
        refuse(`not a valid map: ${error.message}`);
        return;
      }
      $("load-error").hidden = true;
      delete document.body.dataset.loadError;
    }
  }

  // The starting focus: the map's centre, at the mean height of its ground.
  function homeFocus(map) {
    let sum = 0;
    for (let y = 0; y < Vxl.MAP_Y; y += 4) {
      for (let x = 0; x < Vxl.MAP_X; x += 4) {
        const top = Vxl.topSolid(map, x, y);
        sum += top < 0 ? Vxl.MAP_Z : top;
      }
    }
    return [Vxl.MAP_X / 2, Vxl.MAP_Y / 2, sum / ((Vxl.MAP_X / 4) * (Vxl.MAP_Y / 4))];
  }

  async function start() {
    const meta = JSON.parse($("vxl-meta").textContent);
    if (meta.back) {
      $("back").href = meta.back;
      $("back").hidden = false;
    }
    const viewer = new Viewer();
    Vxl.viewer = viewer;  // for the browser tests and the curious
    try {
      const started = performance.now();
      const bytes = await inflate(base64Bytes($("vxl-map").textContent));
      viewer.timings.push(`inflate ${Math.round(performance.now() - started)}`);
      viewer.show(bytes, meta.name, meta.figures, $("overview-image").src);
    } catch (error) {
      showMessage(`This page could not show its map: ${error.message}`);
      report({ state: "error" });
      throw error;
    }
  }

  start();
})(globalThis.Vxl = globalThis.Vxl || {});
