// History lists kept in the settings: entries stored under a prefix followed
// by their position ("kwd0" is the newest), newest first, with a fixed limit.

// The keyword history of the research dialog.
export const KEYWORD_HISTORY = Object.freeze({ section: 'QueryHistory', prefix: 'kwd', limit: 20 });

// The address history of the browser frame.
export const ADDRESS_HISTORY = Object.freeze({ section: 'History', prefix: 'AddressItem', limit: 10 });

// The list after entering `entry`: it goes to the top, an equal older entry
// is removed and entries beyond `limit` are dropped. Blank entries change
// nothing.
export function addToHistory(list, entry, limit) {
  const text = String(entry ?? '');
  if (text.trim() === '') return list.slice(0, limit);
  return [text, ...list.filter((old) => old !== text)].slice(0, limit);
}

// Reads a history from a settings section ({ "kwd0": "...", ... }); reading
// stops at the first missing, empty or non-text position.
export function historyFromSection(section, prefix, limit) {
  const list = [];
  if (!section || typeof section !== 'object') return list;
  for (let i = 0; i < limit; i += 1) {
    const value = section[prefix + i];
    if (typeof value !== 'string' || value === '') break;
    list.push(value);
  }
  return list;
}

// The section values that store `list`: every position up to the limit is
// written, empty ones as "", so that a shorter list overwrites a longer one.
export function historyToSection(list, prefix, limit) {
  const section = {};
  for (let i = 0; i < limit; i += 1) section[prefix + i] = i < list.length ? list[i] : '';
  return section;
}

// The keyword text after picking `entry` from the history: a blank and the
// entry are appended to what is there.
export function appendHistoryPick(text, entry) {
  return `${text ?? ''} ${entry}`;
}
