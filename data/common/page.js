// What every result page does around its own drawing: read the path of
// the DML file it was made for, fetch that file from the application,
// build elements, and show a quiet "(empty)" when there is nothing to show.
// A page never ends in a script error: whatever fails becomes that notice.

import { decodeDmlBytes } from './dml.js';

// The value the page maker put in place of a placeholder, trimmed; "" when
// the element still holds the placeholder itself (a template opened
// unfilled) or nothing.
export function placeholderValue(text) {
  const value = String(text ?? '').trim();
  return value.startsWith('<!--') ? '' : value;
}

// The address under which the application hands out a DML file of the
// data folder.
export function dmlFileUrl(path) {
  return '/datafile?path=' + encodeURIComponent(path);
}

// The text of the element `id` of the page, read as a placeholder value.
export function pageValue(id, doc = document) {
  return placeholderValue(doc.getElementById(id)?.textContent);
}

// The text of the DML file at `path`, fetched from the application; throws
// an Error saying why when it cannot be had.
export async function fetchDml(path) {
  let response;
  try {
    response = await fetch(dmlFileUrl(path));
  } catch (error) {
    throw new Error(`the document "${path}" could not be fetched`);
  }
  if (!response.ok) {
    throw new Error(`the document "${path}" could not be read (${response.status})`);
  }
  return decodeDmlBytes(await response.arrayBuffer());
}

// A new element: `attributes` set as attributes (event handlers as
// functions under "on..." names), `children` appended; strings become
// text, never markup.
export function element(tag, attributes = {}, ...children) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (value === undefined || value === null || value === false) continue;
    if (name.startsWith('on') && typeof value === 'function') {
      node.addEventListener(name.slice(2), value);
    } else {
      node.setAttribute(name, value === true ? '' : String(value));
    }
  }
  node.append(...present(children));
  return node;
}

// `children` flattened to any depth, without the absent ones (undefined,
// null, false), strings made text nodes: what append may be given.
export function present(children) {
  return [children].flat(Infinity)
    .filter((child) => child !== undefined && child !== null && child !== false)
    .map((child) => (typeof child === 'string' ? document.createTextNode(child) : child));
}

// Replaces the page's content (the element "page") with `children`.
export function showContent(...children) {
  const root = document.getElementById('page') ?? document.body;
  root.replaceChildren(...present(children));
}

// Replaces the page's content with the "(empty)" notice, and below it, in
// small type, why (when known).
export function showEmpty(why = '') {
  showContent(
    element('p', { class: 'empty' }, ' (empty)'),
    why ? element('p', { class: 'why' }, why) : null,
  );
}

// Runs the page's drawing `draw` (which may be async) and turns any
// failure into the "(empty)" notice.
export async function runPage(draw) {
  try {
    await draw();
  } catch (error) {
    showEmpty(error instanceof Error ? error.message : String(error));
  }
}
