/*
 * The Model section: what the last import brought (the model file and what the asset helper
 * read from it), the animations and texture slots the definition names, and the settings
 * for preparing them. Importing and relinking start here.
 */
import { esc } from '../../lib/html.js';
import { SOURCE_FIELDS } from './field_lists.js';
import { docFieldsHtml, sectionHtml } from './view_common.js';

const INSPECT_BROKEN = 'The last import left an inspect.json that cannot be read. Import the folder again.';

function factsHtml(inspect, broken) {
  if (broken) return `<p class="ai-warning">${INSPECT_BROKEN}</p>`;
  if (!inspect) return '<p class="empty">Nothing imported yet. Import the folder that holds the FBX model, its animations and textures.</p>';
  const m = inspect.mesh;
  const facts = [
    ['Triangles', m.triangles], ['Bones', m.bones], ['Length', `${Math.round(m.lengthCm) / 100} m`],
    ['Materials', m.materials.join(', ') || 'none'],
  ].map(([k, v]) => `<span class="sp-fact"><span class="vf-label">${k}</span> ${esc(v)}</span>`).join('');
  const warnings = inspect.warnings.map((w) => `<li>${esc(w)}</li>`).join('');
  return `<div class="sp-facts">${facts}</div>${warnings ? `<ul class="sp-warnings">${warnings}</ul>` : ''}`;
}

// Rows rather than a table: rows out of view of the scroll box are then skipped by layout
// (content-visibility), which table rows do not allow, and a model may bring hundreds.
function animationsHtml(doc, inspect) {
  if (doc.source.animations.length === 0) return '<p class="empty">No animations.</p>';
  const seconds = new Map((inspect ? inspect.animations : []).map((a) => [a.id, a.seconds]));
  const rows = doc.source.animations.map((a) => {
    const length = seconds.has(a.id) ? `${seconds.get(a.id)} s` : '';
    const markers = a.sounds ? a.sounds.length : '';
    return `<div class="sp-anim-row" role="row"><span class="mono" role="cell">${esc(a.id)}</span><span class="mono sp-file" role="cell">${esc(a.file)}</span>` +
      `<span role="cell">${esc(length)}</span><span role="cell">${markers}</span></div>`;
  }).join('');
  const head = '<div class="sp-anim-row sp-anim-head" role="row"><span role="columnheader">Id</span><span role="columnheader">File</span>' +
    '<span role="columnheader">Length</span><span role="columnheader">Sounds</span></div>';
  return `<div class="sp-scroll sp-anims" role="table" aria-label="Animations">${head}${rows}</div>`;
}

function texturesHtml(doc) {
  if (doc.source.textures.length === 0) return '';
  const rows = doc.source.textures.map((t) => {
    const types = Object.keys(t).filter((k) => k !== 'slot').map((k) => `${k}: ${t[k]}`).join(' · ');
    return `<tr><td class="mono">${esc(t.slot)}</td><td class="sp-file">${esc(types)}</td></tr>`;
  }).join('');
  return `<h4 class="sp-sub">Texture slots</h4><table class="sp-table"><tbody>${rows}</tbody></table>`;
}

/** The Model section; `importBlock` is why importing is not possible now ('' when it is). */
export function modelHtml(ws, importBlock) {
  const doc = ws.doc;
  const mesh = doc.source.mesh
    ? `<p><span class="vf-label">Model</span> <span class="mono" id="species-mesh">${esc(doc.source.mesh)}</span></p>`
    : '<p class="hint" id="species-mesh">No model yet.</p>';
  const canLink = !!ws.inspect && ws.inspect.animations.length > 0;
  const buttons = `<div class="actions">
      <button type="button" class="btn primary" data-action="import"${importBlock ? ' disabled' : ''}>Import model folder</button>
      <button type="button" class="btn" data-action="adopt"${ws.inspect && ws.inspect.mesh.file ? '' : ' disabled'}>Take over the last import</button>
      <button type="button" class="btn" data-action="link"${canLink ? '' : ' disabled'}>Link from file names</button>
      ${importBlock ? `<span class="hint sp-reason">${esc(importBlock)}</span>` : ''}
    </div>`;
  const body = `${buttons}${mesh}${factsHtml(ws.inspect, ws.inspectBroken)}
    <h4 class="sp-sub">Animations <span class="ai-count">${doc.source.animations.length}</span></h4>${animationsHtml(doc, ws.inspect)}
    ${texturesHtml(doc)}${docFieldsHtml(SOURCE_FIELDS, doc)}`;
  return sectionHtml('species-model', 'Model and animations', body);
}
