// What the library manager decides without the page: column widths, the
// rows' texts, the default names and the checks made before a command asks
// the user anything. The server checks the limits again.

export const MAX_MERGED_DOCUMENTS = 200;
export const NONE_CHECKED = 'Please check mark the libraries first';
export const TOO_MANY_MERGED = `ERROR: Cannot have more than ${MAX_MERGED_DOCUMENTS} documents in the merged library.`
  + ' Please retry merging smaller libraries.';

// Column widths in pixels, u = client width / 17 (whole pixels): name 7u,
// marker u, documents 2u, size 3u, date 4u - 3.
export function managerColumnWidths(clientWidth) {
  const u = Math.max(0, Math.trunc(Number(clientWidth) / 17) || 0);
  return [7 * u, u, 2 * u, 3 * u, Math.max(0, 4 * u - 3)];
}

// The cells of a library's row, as the server lists it.
export function managerRow(library) {
  return [
    String(library.name ?? library.ident ?? ''),
    library.open ? 'X' : '',
    String(library.documents ?? 0),
    String(library.kb ?? '0'),
    String(library.date ?? ''),
  ];
}

export function newLibraryName(now) {
  return `New ${now}`;
}

// Merge: { refuse: text } or { ask: default name } for the checked
// libraries (in list order).
export function mergeDecision(checked, now) {
  if (checked.length < 2) return { refuse: NONE_CHECKED };
  const documents = checked.reduce((sum, library) => sum + (Number(library.documents) || 0), 0);
  if (documents > MAX_MERGED_DOCUMENTS) return { refuse: TOO_MANY_MERGED, level: 'error' };
  return { ask: `${checked[0].name} merged ${now}` };
}

// The question asked before emptying or erasing `name`.
export function confirmation(command, name) {
  return command === 'erase'
    ? `Are you sure you want to comlpetely erase ${name} ? The data will be lost forever!`
    : `Are you sure you want to delete all data stored in ${name} ? The data will be lost forever!`;
}
