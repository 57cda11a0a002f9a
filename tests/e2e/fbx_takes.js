'use strict';
// An ASCII FBX file written here for the tests: one box of 100 units and several takes, each
// sliding the box from where it stands by its own offset over its own length. Exporters
// write a file of many takes this way when a whole character's motions live in one file.

const KTIME_PER_SECOND = 46186158000;

// Corners of the box and its six faces, counter-clockwise seen from outside, with normals.
const CORNERS = [[-1, -1, 1], [1, -1, 1], [-1, 1, 1], [1, 1, 1], [-1, 1, -1], [1, 1, -1], [-1, -1, -1], [1, -1, -1]];
const FACES = [
  [[0, 1, 3, 2], [0, 0, 1]],
  [[2, 3, 5, 4], [0, 1, 0]],
  [[4, 5, 7, 6], [0, 0, -1]],
  [[6, 7, 1, 0], [0, -1, 0]],
  [[1, 7, 5, 3], [1, 0, 0]],
  [[6, 0, 2, 4], [-1, 0, 0]],
];

const array = (name, values, indent) => `${indent}${name}: *${values.length} {\n${indent}\ta: ${values.join(',')}\n${indent}}\n`;

function geometry(id) {
  const vertices = CORNERS.flat().map((v) => v * 50);
  const indices = FACES.flatMap(([corners]) => corners.map((c, i) => (i === corners.length - 1 ? -c - 1 : c)));
  const normals = FACES.flatMap(([corners, normal]) => corners.flatMap(() => normal));
  return `\tGeometry: ${id}, "Geometry::Box", "Mesh" {\n` +
    array('Vertices', vertices, '\t\t') +
    array('PolygonVertexIndex', indices, '\t\t') +
    '\t\tGeometryVersion: 124\n' +
    '\t\tLayerElementNormal: 0 {\n\t\t\tVersion: 102\n\t\t\tName: ""\n' +
    '\t\t\tMappingInformationType: "ByPolygonVertex"\n\t\t\tReferenceInformationType: "Direct"\n' +
    array('Normals', normals, '\t\t\t') +
    '\t\t}\n\t\tLayer: 0 {\n\t\t\tVersion: 100\n\t\t\tLayerElement:  {\n\t\t\t\tType: "LayerElementNormal"\n\t\t\t\tTypedIndex: 0\n\t\t\t}\n\t\t}\n\t}\n';
}

function curve(id, to, seconds) {
  return `\tAnimationCurve: ${id}, "AnimCurve::", "" {\n\t\tDefault: 0\n\t\tKeyVer: 4009\n` +
    array('KeyTime', [0, seconds * KTIME_PER_SECOND], '\t\t') +
    array('KeyValueFloat', [0, to], '\t\t') +
    array('KeyAttrFlags', [24840], '\t\t') +
    array('KeyAttrDataFloat', [0, 0, 255790911, 0], '\t\t') +
    array('KeyAttrRefCount', [2], '\t\t') +
    '\t}\n';
}

/**
 * The file's text for `takes`, each { name, seconds, move: [x, y, z] }, in the order given.
 * Ids are large, as exporters make them, and rise in file order.
 */
function fbxWithTakes(takes) {
  const ids = { geometry: 3000000000001, model: 3000000000002 };
  let objects = geometry(ids.geometry) +
    `\tModel: ${ids.model}, "Model::Box", "Mesh" {\n\t\tVersion: 232\n\t\tProperties70:  {\n` +
    '\t\t\tP: "Lcl Translation", "Lcl Translation", "", "A",0,0,0\n\t\t}\n\t\tShading: T\n\t\tCulling: "CullingOff"\n\t}\n';
  let connections = `\tC: "OO",${ids.model},0\n\tC: "OO",${ids.geometry},${ids.model}\n`;
  takes.forEach((take, t) => {
    const base = 3000000000100 + t * 100;
    const [stack, layer, node] = [base, base + 1, base + 2];
    const stop = take.seconds * KTIME_PER_SECOND;
    objects += `\tAnimationStack: ${stack}, "AnimStack::${take.name}", "" {\n\t\tProperties70:  {\n` +
      `\t\t\tP: "LocalStop", "KTime", "Time", "",${stop}\n\t\t\tP: "ReferenceStop", "KTime", "Time", "",${stop}\n\t\t}\n\t}\n` +
      `\tAnimationLayer: ${layer}, "AnimLayer::BaseLayer", "" {\n\t}\n` +
      `\tAnimationCurveNode: ${node}, "AnimCurveNode::T", "" {\n\t\tProperties70:  {\n` +
      '\t\t\tP: "d|X", "Number", "", "A",0\n\t\t\tP: "d|Y", "Number", "", "A",0\n\t\t\tP: "d|Z", "Number", "", "A",0\n\t\t}\n\t}\n';
    connections += `\tC: "OO",${layer},${stack}\n\tC: "OO",${node},${layer}\n\tC: "OP",${node},${ids.model}, "Lcl Translation"\n`;
    ['X', 'Y', 'Z'].forEach((axis, a) => {
      objects += curve(node + 1 + a, take.move[a], take.seconds);
      connections += `\tC: "OP",${node + 1 + a},${node}, "d|${axis}"\n`;
    });
  });
  return '; FBX 7.4.0 project file\n\n' +
    'FBXHeaderExtension:  {\n\tFBXHeaderVersion: 1003\n\tFBXVersion: 7400\n\tCreator: "Forgeset test fixture"\n}\n' +
    'GlobalSettings:  {\n\tVersion: 1000\n\tProperties70:  {\n\t\tP: "UpAxis", "int", "Integer", "",1\n' +
    '\t\tP: "UnitScaleFactor", "double", "Number", "",1\n\t\tP: "TimeMode", "enum", "", "",6\n\t}\n}\n' +
    `Objects:  {\n${objects}}\n` +
    `Connections:  {\n${connections}}\n`;
}

module.exports = { fbxWithTakes };
