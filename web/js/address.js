// Addresses typed in the browser frame: completion of a bare name, the
// quick web search address, and the normal form that tells a stored
// document from a live page.

// Schemes besides "http://" that keep a typed address as it is.
const OTHER_SCHEMES = Object.freeze(['file://', 'https://', 'ftp://', 'about:', 'javascript:', 'res:']);
export const SCHEMES = Object.freeze(['http://', ...OTHER_SCHEMES]);

// The address `typed` stands for when completion is on: a text naming no
// scheme anywhere becomes "http://www." + text + ".com/" when it has
// neither "www." nor ".com", else "http://" + text. Case does not matter
// for the checks; the text keeps its own.
export function completeAddress(typed) {
  const text = String(typed ?? '');
  const lower = text.toLowerCase();
  if (lower.includes('http://') || OTHER_SCHEMES.some((s) => lower.includes(s))) return text;
  if (!lower.includes('www.') && !lower.includes('.com')) return `http://www.${text}.com/`;
  return `http://${text}`;
}

// Whether `text` starts with one of the seven schemes (any case): without
// completion only such a text is navigated to.
export function hasScheme(text) {
  const lower = String(text ?? '').toLowerCase();
  return SCHEMES.some((s) => lower.startsWith(s));
}

// Whether the frame may show `address` as a live page: a web address.
export function isWebAddress(address) {
  return /^https?:\/\//i.test(String(address ?? ''));
}

// The address of a quick web search with `keywords` on `engine`
// ({ url, pre, post }): every space becomes "+", and the result count 10
// ends it.
export function quickSearchAddress(engine, keywords) {
  const words = String(keywords ?? '').split(' ').join('+');
  return `${engine.url}${engine.pre}${words}${engine.post}10`;
}

// The normal form of an address and its kind: 'file' (a local file, its
// path after "file://" or "file:///"), 'web' ("http://" at the start),
// 'script' (starts with "javascript") or 'other'. Lower case, "\" as "/",
// "%20" as a blank, a "#" fragment cut (unless "#" is the first
// character) and one trailing "/" removed from addresses of two or more
// characters.
export function normaliseAddress(address) {
  let text = String(address ?? '').toLowerCase().split('\\').join('/').split('%20').join(' ');
  let kind;
  if (text.startsWith('file:///')) {
    text = text.slice(8);
    kind = 'file';
  } else if (text.startsWith('file://')) {
    text = text.slice(7);
    kind = 'file';
  } else if (text.startsWith('http://')) {
    kind = 'web';
  } else if (text.startsWith('javascript')) {
    kind = 'script';
  } else {
    kind = 'other';
  }
  const hash = text.lastIndexOf('#');
  if (hash > 0) text = text.slice(0, hash);
  if (text.length > 1 && text.endsWith('/')) text = text.slice(0, -1);
  return { address: text, kind };
}

// Whether two addresses name the same page once normalised.
export function sameAddress(a, b) {
  return normaliseAddress(a).address === normaliseAddress(b).address;
}

// The frame address that shows web address `address` through the
// application (the page fetched by it, sandboxed).
export function liveAddress(address) {
  return `/live?url=${encodeURIComponent(address)}`;
}
