/*
 * Pointer work on the timeline: a press on the track moves the playhead and dragging keeps
 * it under the pointer; a press on a marker either clicks it (a move under three pixels) or
 * drags it to a new time. Listeners sit on the section's lasting container and on the
 * window, so a redraw in the middle of a drag neither loses it nor leaves it hanging.
 */
import { clampTime, isClick } from './sounds_model.js';
import { percentOf } from './sounds_view.js';

function timeAt(rect, clientX, length) {
  const share = rect.width > 0 ? (clientX - rect.left) / rect.width : 0;
  return clampTime(share * length, length);
}

/**
 * `actions` = { length() the chosen animation's length, eventAt(index), seek(time) while
 * the playhead is dragged, select(event) for a click on a marker, dragging(time) while a
 * marker moves, drop(event, time) when it is let go after a drag }.
 */
export function wireTimeline(container, win, actions) {
  let drag = null;

  function move(e) {
    if (!drag || e.pointerId !== drag.pointer) return;
    const time = timeAt(drag.rect, e.clientX, drag.length);
    if (drag.event) {
      if (!drag.moved && isClick(e.clientX - drag.x, e.clientY - drag.y)) return;
      drag.moved = true;
      drag.time = time;
      if (drag.marker.isConnected) drag.marker.style.left = percentOf(time, drag.length);
      actions.dragging(time);
    } else {
      actions.seek(time);
    }
  }

  function end(e) {
    if (!drag || e.pointerId !== drag.pointer) return;
    const done = drag;
    drag = null;
    win.removeEventListener('pointermove', move);
    win.removeEventListener('pointerup', end);
    win.removeEventListener('pointercancel', end);
    if (!done.event) return;
    // A cancelled drag only selects, which redraws the marker where it was.
    if (done.moved && e.type === 'pointerup') actions.drop(done.event, done.time);
    else actions.select(done.event);
  }

  container.addEventListener('pointerdown', (e) => {
    if (e.button !== 0 || drag) return;
    const track = e.target.closest('[data-timeline="track"]');
    if (!track) return;
    e.preventDefault();
    const marker = e.target.closest('[data-marker]');
    const length = actions.length();
    drag = { pointer: e.pointerId, rect: track.getBoundingClientRect(), length, x: e.clientX, y: e.clientY, moved: false };
    if (marker) {
      Object.assign(drag, { marker, event: actions.eventAt(Number(marker.dataset.marker)), time: 0 });
      if (!drag.event) drag = null;
    } else {
      actions.seek(timeAt(drag.rect, e.clientX, length));
    }
    if (!drag) return;
    win.addEventListener('pointermove', move);
    win.addEventListener('pointerup', end);
    win.addEventListener('pointercancel', end);
  });
}
