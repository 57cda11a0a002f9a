/*
 * The animation preview: a species' model from its workspace, grey, playing one FBX clip at
 * the time the timeline gives. It draws only when something changed (a loaded file, a new
 * time, a resize, the camera turned), never in a loop, so an idle preview costs nothing.
 */
import * as THREE from 'three';
import { FBXLoader } from 'three/addons/loaders/FBXLoader.js';
import { OrbitControls } from 'three/addons/controls/OrbitControls.js';
import { aimAtBox } from '../../lib/camera.js';
import { sourceUrl } from './sounds_model.js';
import { takeIndex } from './anim_takes.js';

// Textures the model names are never fetched: the preview is grey, and a workspace's
// textures can be large.
const BLANK_PIXEL = 'data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAQAAAC1HAwCAAAAC0lEQVR42mNkYAAAAAYAAjCB0C8AAAAASUVORK5CYII=';

function loaderFor() {
  const manager = new THREE.LoadingManager();
  manager.setURLModifier((url) => (/\.fbx($|[?#])/i.test(url) ? url : BLANK_PIXEL));
  return new FBXLoader(manager);
}

function disposeObject(object) {
  object.traverse((node) => {
    if (node.geometry) node.geometry.dispose();
    for (const m of Array.isArray(node.material) ? node.material : node.material ? [node.material] : []) {
      for (const value of Object.values(m)) if (value && value.isTexture) value.dispose();
      m.dispose();
    }
  });
}

/**
 * Every mesh gets the one shared grey material; what the file brought is freed. Lights and
 * cameras saved in the file go too: the preview's own light and camera show every model alike.
 */
function makeGrey(object, grey) {
  const extras = [];
  object.traverse((node) => {
    if (node.isLight || node.isCamera) extras.push(node);
    if (!node.isMesh) return;
    for (const m of Array.isArray(node.material) ? node.material : [node.material]) {
      if (!m) continue;
      for (const value of Object.values(m)) if (value && value.isTexture) value.dispose();
      m.dispose();
    }
    node.material = grey;
  });
  for (const node of extras) node.removeFromParent();
}

// A three-quarter view from the front left, a little above: legs, tail and head all show.
function frame(object, camera, controls) {
  object.updateMatrixWorld(true);
  // The bounds of the posed mesh, vertex by vertex: a skinned model's stored bounds are
  // those of its bind pose, which can lie far from where the bones put it.
  object.traverse((node) => {
    if (node.isSkinnedMesh) node.skeleton.update();
  });
  aimAtBox(new THREE.Box3().setFromObject(object, true), camera, controls, new THREE.Vector3(0.8, 0.45, 1), 1.15);
}

// A missing file says so in a few words; the loader's own text would carry the whole address.
function reasonOf(error) {
  if (error && error.response && typeof error.response.status === 'number') return `HTTP ${error.response.status}`;
  return (error && error.message) || String(error);
}

/**
 * The clip of `anim` among a file's clips. Takes that move nothing are left out, as the
 * asset helper leaves them out; a file with one take left plays it whatever it is called,
 * and a take nothing names plays the first.
 */
function chooseClip(clips, anim, inspect) {
  const moving = (clips || []).filter((c) => c.duration > 0);
  if (moving.length < 2) return moving[0] || null;
  return moving[takeIndex(moving.map((c) => c.name), inspect, anim)] || moving[0];
}

/**
 * `canvas` is where the preview draws; `speciesBase` the species host's base URL;
 * `notice(text, isError)` tells the owner when a file cannot be shown.
 */
export function createAnimPreview(canvas, { speciesBase, notice = () => {} }) {
  const win = canvas.ownerDocument.defaultView;
  const view = { renderer: null, scene: null, camera: null, controls: null, failed: false };
  const shown = { modelKey: '', model: null, mixer: null, clipKey: '', clip: null };
  const grey = new THREE.MeshStandardMaterial({ color: 0x9a9ea6, roughness: 0.85, metalness: 0 });
  let pending = 0;
  let token = 0;
  let observer = null;
  const stats = { frames: 0 };

  function draw() {
    pending = 0;
    if (!view.renderer || canvas.clientWidth === 0) return;
    view.renderer.render(view.scene, view.camera);
    stats.frames++;
  }

  function requestDraw() {
    if (view.renderer && !pending) pending = win.requestAnimationFrame(draw);
  }

  function resize() {
    const width = canvas.clientWidth;
    const height = canvas.clientHeight;
    if (!view.renderer || width === 0 || height === 0) return;
    view.renderer.setSize(width, height, false);
    view.camera.aspect = width / height;
    view.camera.updateProjectionMatrix();
    requestDraw();
  }

  /** The renderer on first use; false when this browser has no WebGL. */
  function ensure() {
    if (view.renderer) return true;
    if (view.failed) return false;
    try {
      view.renderer = new THREE.WebGLRenderer({ canvas, antialias: true, preserveDrawingBuffer: true });
    } catch (error) {
      view.failed = true;
      notice('The animation preview needs WebGL, which this window does not offer.', true);
      return false;
    }
    view.renderer.setPixelRatio(Math.min(2, win.devicePixelRatio || 1));
    view.renderer.outputColorSpace = THREE.SRGBColorSpace;
    view.scene = new THREE.Scene();
    view.scene.background = new THREE.Color(0x0d0f13);
    view.scene.add(new THREE.HemisphereLight(0xffffff, 0x3a3f4a, 2.2));
    const sun = new THREE.DirectionalLight(0xffffff, 1.6);
    sun.position.set(3, 6, 4);
    view.scene.add(sun);
    view.camera = new THREE.PerspectiveCamera(40, 1, 0.01, 1000);
    view.controls = new OrbitControls(view.camera, canvas);
    view.controls.addEventListener('change', requestDraw);
    observer = new win.ResizeObserver(resize);
    observer.observe(canvas);
    resize();
    return true;
  }

  function dropModel() {
    if (!shown.model) return;
    if (shown.mixer) shown.mixer.stopAllAction();
    view.scene.remove(shown.model);
    disposeObject(shown.model);
    Object.assign(shown, { modelKey: '', model: null, mixer: null, clipKey: '', clip: null });
  }

  async function loadModel(species, modelFile, mine) {
    const key = species + '/' + modelFile;
    if (shown.modelKey === key) return true;
    const object = await loaderFor().loadAsync(sourceUrl(speciesBase, species, modelFile));
    if (mine !== token) {
      disposeObject(object);
      return false;
    }
    dropModel();
    makeGrey(object, grey);
    view.scene.add(object);
    Object.assign(shown, { modelKey: key, model: object, mixer: new THREE.AnimationMixer(object) });
    frame(object, view.camera, view.controls);
    return true;
  }

  async function loadClip(species, modelFile, anim, inspect) {
    if (anim.file === modelFile) return chooseClip(shown.model.animations, anim, inspect);
    const object = await loaderFor().loadAsync(sourceUrl(speciesBase, species, anim.file));
    disposeObject(object);
    return chooseClip(object.animations, anim, inspect);
  }

  /** Plays `clip` from the start; the clock is the timeline's, so the mixer never runs alone. */
  function useClip(key, clip) {
    shown.mixer.stopAllAction();
    if (shown.clip) shown.mixer.uncacheClip(shown.clip);
    Object.assign(shown, { clipKey: key, clip });
    if (clip) shown.mixer.clipAction(clip).play();
    shown.mixer.setTime(0);
    requestDraw();
  }

  /**
   * Shows animation `anim` ({ file, id }, or null for none) of species `species` on its
   * model `modelFile`; `inspect` is the species' inspection, which tells the takes of a file
   * apart. Resolves with the clip's length in seconds, or null when there is none or a file
   * could not be read (the owner is told which). A newer call makes an older one's result
   * void (null).
   */
  async function show(species, modelFile, anim, inspect = null) {
    const mine = ++token;
    if (!modelFile || !ensure()) return null;
    let file = modelFile;
    try {
      if (!(await loadModel(species, modelFile, mine))) return null;
      const key = anim ? `${species}\n${anim.file}\n${anim.id}` : species;
      if (shown.clipKey === key) return shown.clip ? shown.clip.duration : null;
      file = anim ? anim.file : '';
      const clip = anim && anim.file ? await loadClip(species, modelFile, anim, inspect) : null;
      if (mine !== token) return null;
      useClip(key, clip);
      return clip ? clip.duration : null;
    } catch (error) {
      if (mine === token) notice(`The preview could not read ${file}: ${reasonOf(error)}`, true);
      return null;
    }
  }

  return {
    show,
    /** Poses the model at `seconds` of the clip and draws once. */
    setTime(seconds) {
      if (!shown.mixer || !shown.clip) return;
      shown.mixer.setTime(Math.min(shown.clip.duration, Math.max(0, seconds)));
      requestDraw();
    },
    dispose() {
      token++;
      if (pending) win.cancelAnimationFrame(pending);
      pending = 0;
      if (observer) observer.disconnect();
      if (view.renderer) {
        dropModel();
        view.controls.dispose();
        view.renderer.dispose();
      }
      grey.dispose();
      view.renderer = null;
    },
    /** How many times the preview has drawn, for the tests and the benchmark. */
    get frames() {
      return stats.frames;
    },
  };
}
