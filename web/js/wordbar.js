// The word bar: up to five of the words being followed, each with its own
// highlight colour.

export const WORD_COLOURS = Object.freeze(['magenta', 'yellow', 'lightgreen', 'cyan', 'red']);
export const MAX_SHOWN_WORDS = 5;

// The words of `text`: split at spaces, trimmed, empty pieces dropped.
export function splitWords(text) {
  return String(text ?? '').split(' ').map((w) => w.trim()).filter((w) => w !== '');
}

// The buttons shown: the first five words with their colours.
export function wordButtons(text) {
  return splitWords(text).slice(0, MAX_SHOWN_WORDS).map((word, i) => ({ word, colour: WORD_COLOURS[i] }));
}
