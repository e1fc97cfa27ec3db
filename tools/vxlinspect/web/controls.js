// The 3D view's controls: mouse, touch and keys turn, zoom and pan the
// camera (camera.js); every change asks for one new frame.
//
//   drag (left button, one finger)         orbit
//   drag (right button, shift + drag,
//         two fingers)                     pan
//   wheel, pinch, + and -                  zoom
//   arrow keys                             orbit
//   W A S D                                pan
//   R or Home, the reset button            the starting view
(function (Vxl) {
  "use strict";

  const ORBIT_PER_PIXEL = 0.006;  // radians
  const KEY_ORBIT = 0.06;         // radians per key press
  const KEY_PAN = 40;             // pixels' worth of pan per key press
  const KEY_ZOOM = 1.15;

  // Wires `canvas`'s events to `camera`; `changed()` is called after every
  // change of the view.
  Vxl.attachControls = function (canvas, camera, changed) {
    const pointers = new Map();  // pointerId -> {x, y}
    let panning = false;

    const spread = () => {
      const [a, b] = [...pointers.values()];
      return { mid: [(a.x + b.x) / 2, (a.y + b.y) / 2], length: Math.hypot(a.x - b.x, a.y - b.y) };
    };

    canvas.addEventListener("pointerdown", (event) => {
      canvas.focus();
      canvas.setPointerCapture(event.pointerId);
      pointers.set(event.pointerId, { x: event.clientX, y: event.clientY });
      panning = event.button === 2 || event.shiftKey;
      event.preventDefault();
    });

    canvas.addEventListener("pointermove", (event) => {
      const last = pointers.get(event.pointerId);
      if (!last) return;
      if (pointers.size === 2) {
        const before = spread();
        last.x = event.clientX;
        last.y = event.clientY;
        const after = spread();
        if (after.length > 0 && before.length > 0) camera.zoom(before.length / after.length);
        camera.pan(after.mid[0] - before.mid[0], after.mid[1] - before.mid[1], canvas.clientHeight);
        changed();
        return;
      }
      const dx = event.clientX - last.x;
      const dy = event.clientY - last.y;
      last.x = event.clientX;
      last.y = event.clientY;
      if (dx === 0 && dy === 0) return;
      if (panning) camera.pan(dx, dy, canvas.clientHeight);
      else camera.orbit(-dx * ORBIT_PER_PIXEL, dy * ORBIT_PER_PIXEL);
      changed();
    });

    const release = (event) => {
      pointers.delete(event.pointerId);
      // A pinch that loses one finger goes on as a one-finger orbit.
      if (pointers.size === 0) panning = false;
    };
    canvas.addEventListener("pointerup", release);
    canvas.addEventListener("pointercancel", release);
    canvas.addEventListener("contextmenu", (event) => event.preventDefault());

    canvas.addEventListener("wheel", (event) => {
      event.preventDefault();
      // Lines and pages count as about 40 and 800 pixels.
      const unit = event.deltaMode === 1 ? 40 : event.deltaMode === 2 ? 800 : 1;
      camera.zoom(Math.exp(event.deltaY * unit * 0.0015));
      changed();
    }, { passive: false });

    canvas.addEventListener("keydown", (event) => {
      const h = canvas.clientHeight;
      switch (event.key) {
        case "ArrowLeft": camera.orbit(KEY_ORBIT, 0); break;
        case "ArrowRight": camera.orbit(-KEY_ORBIT, 0); break;
        case "ArrowUp": camera.orbit(0, KEY_ORBIT); break;
        case "ArrowDown": camera.orbit(0, -KEY_ORBIT); break;
        case "w": case "W": camera.pan(0, KEY_PAN, h); break;
        case "s": case "S": camera.pan(0, -KEY_PAN, h); break;
        case "a": case "A": camera.pan(KEY_PAN, 0, h); break;
        case "d": case "D": camera.pan(-KEY_PAN, 0, h); break;
        case "+": case "=": camera.zoom(1 / KEY_ZOOM); break;
        case "-": case "_": camera.zoom(KEY_ZOOM); break;
        case "r": case "R": case "Home": camera.reset(); break;
        default: return;
      }
      event.preventDefault();
      changed();
    });
  };
})(globalThis.Vxl = globalThis.Vxl || {});
