/*
 * Addresses the host asks the person to open in a browser (the build service's sign-in page).
 * A page may not open a window by itself from a message (browsers block it as a pop-up), and
 * the machine of the browser host may have no desktop browser for the host to start; so the
 * address is shown as a link to click. It stays until it is clicked or closed: the sign-in
 * waits minutes for it, far longer than a notice is shown.
 */

/** True for an address worth a link: http or https only, never script or data. */
export function isOpenableUrl(url) {
  if (typeof url !== 'string') return false;
  try {
    const parsed = new URL(url);
    return parsed.protocol === 'http:' || parsed.protocol === 'https:';
  } catch {
    return false;
  }
}

/** The show(url) function of a link bar made in `doc` after the element `after`. */
export function createLinkBar(doc, after) {
  const bar = doc.createElement('div');
  bar.id = 'open-link';
  bar.className = 'notice link-bar';
  bar.setAttribute('role', 'status');
  bar.hidden = true;
  // It looks like the notice bar and stands just above it, so a notice never covers it.
  Object.assign(bar.style, { bottom: '72px', cursor: 'default' });
  const text = doc.createElement('span');
  text.textContent = 'If no browser window opened, open this address: ';
  const link = doc.createElement('a');
  link.target = '_blank';
  link.rel = 'noopener noreferrer';
  const close = doc.createElement('button');
  close.type = 'button';
  close.className = 'link-bar-close';
  close.textContent = '×';
  close.setAttribute('aria-label', 'Close');
  Object.assign(close.style, { marginLeft: '12px', background: 'none', border: '0', color: 'inherit', cursor: 'pointer' });
  bar.append(text, link, close);
  after.after(bar);
  const hide = () => {
    bar.hidden = true;
  };
  link.addEventListener('click', hide);
  close.addEventListener('click', hide);
  return function show(url) {
    if (!isOpenableUrl(url)) return;
    link.href = url;
    link.textContent = url;
    bar.hidden = false;
  };
}
