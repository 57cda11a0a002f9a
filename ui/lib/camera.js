/*
 * Aiming a preview's camera at a model: from `direction`, far enough that the model fills the
 * view, with `margin` around it.
 */
import * as THREE from 'three';

/**
 * Half the longest side of `box` rather than its bounding sphere sets the distance: animals
 * are long and low, and the sphere would leave most of the view empty.
 */
export function aimAtBox(box, camera, controls, direction, margin) {
  if (box.isEmpty()) return;
  const center = box.getCenter(new THREE.Vector3());
  const size = box.getSize(new THREE.Vector3());
  const radius = Math.max(1e-3, Math.max(size.x, size.y, size.z) / 2);
  const halfV = THREE.MathUtils.degToRad(camera.fov / 2);
  const halfH = Math.atan(Math.tan(halfV) * camera.aspect);
  const distance = (radius / Math.tan(Math.min(halfV, halfH))) * margin;
  camera.position.copy(center).addScaledVector(direction.clone().normalize(), distance);
  camera.near = distance / 100;
  camera.far = distance * 100;
  camera.updateProjectionMatrix();
  controls.target.copy(center);
  controls.update();
}
