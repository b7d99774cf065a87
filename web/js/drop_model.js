// Files dropped on the window, without the page: which of them a library
// can import (the server's own rule for /api/upload), the message naming
// the files left out, and the drag that is carrying files.

// The server's answer to a name it will not keep.
export const MSG_ONLY_HTML_PDF = 'Only HTML and PDF files (.htm, .html, .pdf) can be added to a library.';
export const MSG_NOTHING_DROPPED = 'No files were dropped.';

const IMPORTABLE = new Set(['.htm', '.html', '.pdf']);

// The extension of `name` as the server reads it: from the last dot, in
// lower case; a name that only begins with a dot (".html") has none.
export function extensionOf(name) {
  const text = String(name ?? '');
  const dot = text.lastIndexOf('.');
  return dot > 0 ? text.slice(dot).toLowerCase() : '';
}

// Whether the server keeps an upload named `name`: a plain file name (no
// folder part) of an importable kind.
export function importableName(name) {
  if (typeof name !== 'string' || name === '' || name === '.' || name === '..') return false;
  if (/[/\\\0]/.test(name)) return false;
  return IMPORTABLE.has(extensionOf(name));
}

// The dropped files split into those to upload and those left out, each
// in the order they were dropped. `files` holds anything with a `name`.
export function sortDropped(files) {
  const importable = [];
  const leftOut = [];
  for (const file of files ?? []) (importableName(file?.name) ? importable : leftOut).push(file);
  return { importable, leftOut };
}

// The one message for the files left out, naming them; '' when none was.
export function leftOutMessage(names) {
  const list = (names ?? []).map((n) => String(n) || '(no name)');
  if (list.length === 0) return '';
  const which = list.length === 1 ? `This file was left out: ${list[0]}`
    : `These files were left out: ${list.join(', ')}`;
  return `${MSG_ONLY_HTML_PDF} ${which}`;
}

// The request that keeps one dropped file in the data folder.
export function uploadPath(name) {
  return `/api/upload?name=${encodeURIComponent(name)}`;
}

// The path in the server's answer to an upload, or '' when the answer has
// none.
export function uploadedPath(answer) {
  const path = answer?.path;
  return typeof path === 'string' && path.startsWith('/') ? path : '';
}

// Whether a drag carries files (its types name "Files"), rather than text
// or a link dragged inside the page.
export function carriesFiles(types) {
  return Array.from(types ?? []).includes('Files');
}

// The drag hint stays while the drag is inside the window: every element
// entered counts one up, every element left one down (entering the next
// element comes before leaving the last). A drop or a drag's end clears it.
export function dragDepth(depth, type) {
  switch (type) {
    case 'dragenter':
      return depth + 1;
    case 'dragleave':
      return Math.max(0, depth - 1);
    case 'drop':
    case 'dragend':
      return 0;
    default:
      return depth;
  }
}
