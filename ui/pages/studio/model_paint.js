/*
 * Painting on the model: a press that hits it paints at the texel under the pointer, any
 * other press is left to the orbit controls.
 */
import * as THREE from 'three';
import { PAINT_SIZE } from './constants.js';

/**
 * `canvas` is the renderer's, `viewer` the model view's { camera, controls, model },
 * `enabled()` whether the owner switched painting on the model on.
 */
export function attachModelPainting(canvas, viewer, { enabled, painting }) {
  const raycaster = new THREE.Raycaster();
  const pointer = new THREE.Vector2();
  let active = false;

  function texelAt(event) {
    if (!viewer.model) return null;
    const box = canvas.getBoundingClientRect();
    pointer.set(((event.clientX - box.left) / box.width) * 2 - 1, -((event.clientY - box.top) / box.height) * 2 + 1);
    raycaster.setFromCamera(pointer, viewer.camera);
    const hit = raycaster.intersectObject(viewer.model, true).find((h) => h.uv);
    if (!hit) return null;
    const clamp = (v) => Math.min(PAINT_SIZE - 0.5, Math.max(0, v * PAINT_SIZE));
    return { x: clamp(hit.uv.x), y: clamp(hit.uv.y) };
  }

  canvas.addEventListener('pointerdown', (event) => {
    if (!enabled() || event.button !== 0) return;
    const texel = texelAt(event);
    if (!texel) return;
    active = true;
    viewer.controls.enabled = false;
    canvas.setPointerCapture(event.pointerId);
    painting.begin();
    painting.strokeTo(texel.x, texel.y, false);
  });
  canvas.addEventListener('pointermove', (event) => {
    if (!active) return;
    const texel = texelAt(event);
    if (!texel) {
      painting.breakLine();
      return;
    }
    // A long jump in texture space means the pointer crossed a seam: no line across it.
    const last = painting.last();
    const near = last && Math.hypot(texel.x - last.x, texel.y - last.y) < PAINT_SIZE / 10;
    painting.strokeTo(texel.x, texel.y, near);
  });
  const finish = (event) => {
    if (!active) return;
    active = false;
    viewer.controls.enabled = true;
    if (canvas.hasPointerCapture(event.pointerId)) canvas.releasePointerCapture(event.pointerId);
    painting.end();
  };
  canvas.addEventListener('pointerup', finish);
  canvas.addEventListener('pointercancel', finish);
}
