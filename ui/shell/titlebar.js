/* The frameless window's title bar: its three buttons and its caption behaviour. */

/** Wires the window buttons and the caption; every action is a command to the host. */
export function wireTitlebar(doc, send) {
  const titlebar = doc.getElementById('titlebar');

  // Presses on the buttons and tabs are clicks; everywhere else the bar behaves like a
  // window caption, which only the host can provide in a frameless window.
  function onCaption(event) {
    return !(event.target instanceof Element && event.target.closest('.win-btn, [role="tab"]'));
  }

  titlebar.addEventListener('mousedown', (event) => {
    if (event.button === 0 && onCaption(event)) send({ cmd: 'dragWindow' });
  });
  titlebar.addEventListener('dblclick', (event) => {
    if (onCaption(event)) send({ cmd: 'winMax' });
  });
  doc.getElementById('win-min').addEventListener('click', () => send({ cmd: 'winMin' }));
  doc.getElementById('win-max').addEventListener('click', () => send({ cmd: 'winMax' }));
  doc.getElementById('win-close').addEventListener('click', () => send({ cmd: 'winClose' }));
}
