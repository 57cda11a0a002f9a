/*
 * The 3D view of a species' model wearing the preview texture. The renderer is made on first
 * use, so a page that never opens a species never starts WebGL.
 */
import * as THREE from 'three';
import { OrbitControls } from 'three/addons/controls/OrbitControls.js';
import { aimAtBox } from '../../lib/camera.js';

function materialsOf(object) {
  const list = [];
  object.traverse((node) => {
    if (!node.isMesh) return;
    for (const m of Array.isArray(node.material) ? node.material : [node.material]) if (m) list.push(m);
  });
  return list;
}

/** Frees what `object` holds on the GPU, all but the texture `keep`. */
function disposeObject(object, keep) {
  object.traverse((node) => {
    if (node.geometry) node.geometry.dispose();
  });
  for (const m of materialsOf(object)) {
    for (const value of Object.values(m)) {
      if (value && value.isTexture && value !== keep) value.dispose();
    }
    m.dispose();
  }
}

// Puts the model in view from its side, a little above and ahead of it: the flank is
// where most of a pattern shows.
function frameModel(object, camera, controls) {
  aimAtBox(new THREE.Box3().setFromObject(object), camera, controls, new THREE.Vector3(1, 0.4, 0.45), 0.95);
}

function createScene() {
  const scene = new THREE.Scene();
  scene.background = new THREE.Color(0x0d0f13);
  scene.add(new THREE.HemisphereLight(0xffffff, 0x3a3f4a, 2.2));
  const sun = new THREE.DirectionalLight(0xffffff, 1.6);
  sun.position.set(3, 6, 4);
  scene.add(sun);
  return scene;
}

function createRenderer(win) {
  const renderer = new THREE.WebGLRenderer({ antialias: true, preserveDrawingBuffer: true });
  renderer.setPixelRatio(Math.min(2, win.devicePixelRatio || 1));
  renderer.outputColorSpace = THREE.SRGBColorSpace;
  renderer.domElement.className = 'studio-gl';
  return renderer;
}

function createPreviewTexture(canvas, renderer) {
  const texture = new THREE.CanvasTexture(canvas);
  texture.flipY = false; // glTF texture coordinates start at the top left
  texture.colorSpace = THREE.SRGBColorSpace;
  texture.anisotropy = Math.min(8, renderer.capabilities.getMaxAnisotropy());
  return texture;
}

/**
 * `view` is the element the renderer goes into and `empty` the line shown while there is no
 * model. `attachPainting(canvas, viewer)` hooks painting on the model to the renderer's canvas;
 * it runs before the orbit controls exist, so its listeners see a press first and can switch
 * the controls off before they act on it.
 */
export function createModelView(win, { view, empty, texture: textureCanvas, attachPainting }) {
  const viewer = { renderer: null, scene: null, camera: null, controls: null, model: null, frame: 0 };
  let texture = null;

  function ensure() {
    if (viewer.renderer) return;
    const renderer = createRenderer(win);
    view.appendChild(renderer.domElement);
    const camera = new THREE.PerspectiveCamera(40, 1, 0.01, 1000);
    camera.position.set(4, 2, 4);

    attachPainting(renderer.domElement, viewer);
    const controls = new OrbitControls(camera, renderer.domElement);
    controls.addEventListener('change', requestRender);
    texture = createPreviewTexture(textureCanvas, renderer);

    Object.assign(viewer, { renderer, scene: createScene(), camera, controls });
    new win.ResizeObserver(resize).observe(view);
    resize();
  }

  function resize() {
    if (!viewer.renderer) return;
    const width = view.clientWidth;
    const height = view.clientHeight;
    if (width === 0 || height === 0) return; // the tab is hidden
    viewer.renderer.setSize(width, height, false);
    viewer.camera.aspect = width / height;
    viewer.camera.updateProjectionMatrix();
    requestRender();
  }

  function requestRender() {
    if (!viewer.renderer || viewer.frame) return;
    viewer.frame = win.requestAnimationFrame(() => {
      viewer.frame = 0;
      if (view.clientWidth > 0) viewer.renderer.render(viewer.scene, viewer.camera);
    });
  }

  // The preview texture is shared by every model shown and outlives them all.
  const dispose = (object) => disposeObject(object, texture);

  /** Shows `object` (a loaded scene) in the preview texture, or no model when it is null. */
  function show(object) {
    if (viewer.model) {
      viewer.scene.remove(viewer.model);
      dispose(viewer.model);
      viewer.model = null;
    }
    empty.hidden = !!object;
    if (!object) {
      empty.textContent = 'No model to show.';
      requestRender();
      return;
    }
    for (const m of materialsOf(object)) {
      m.map = texture;
      if (m.color) m.color.set(0xffffff);
      m.needsUpdate = true;
    }
    viewer.scene.add(object);
    viewer.model = object;
    frameModel(object, viewer.camera, viewer.controls);
    requestRender();
  }

  return {
    ensure,
    resize,
    show,
    dispose,
    /** The preview canvas was redrawn: upload it and draw again. */
    textureChanged() {
      if (texture) texture.needsUpdate = true;
      requestRender();
    },
  };
}
