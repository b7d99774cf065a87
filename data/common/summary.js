// What the summary pages pick from weighted documents: the strongest
// sentences, the highlight strength of each sentence, and the words worth
// a research. Pure functions over the paragraphs that dml.js reads (arrays
// of {weight, text} sentences): no DOM.

// How many sentences the short summary of a document of `total` sentences
// shows: about one in seven, at least 3 and at most 10 (never more than
// there are).
export function summaryLength(total) {
  return Math.min(total, Math.max(3, Math.min(10, Math.ceil(total / 7))));
}

// Every sentence of `paragraphs` with its paragraph and position, in text
// order.
export function sentencesOf(paragraphs) {
  const all = [];
  paragraphs.forEach((paragraph, p) => {
    paragraph.forEach((sentence, s) => {
      all.push({ ...sentence, paragraph: p, index: all.length, position: s });
    });
  });
  return all;
}

// The `count` sentences of greatest weight (the earlier of two equal ones
// first), in text order. Sentences of weight 0 are never chosen: they share
// nothing with the reference.
export function strongestSentences(sentences, count) {
  return sentences
    .filter((sentence) => sentence.weight > 0)
    .sort((a, b) => b.weight - a.weight || a.index - b.index)
    .slice(0, Math.max(0, count))
    .sort((a, b) => a.index - b.index);
}

// The greatest sentence weight of the sentences (0 when none is positive).
export function greatestWeight(sentences) {
  return sentences.reduce((most, sentence) => Math.max(most, sentence.weight), 0);
}

// Highlight strength of a sentence from 0 to 0.8: proportional to its
// weight over the greatest weight of its document.
export function highlightAlpha(weight, greatest) {
  if (!(greatest > 0) || !(weight > 0)) return 0;
  return Math.round(Math.min(1, weight / greatest) * 0.8 * 1000) / 1000;
}

// Short words that carry no subject, left out of the key words.
const COMMON_WORDS = new Set(`
  about above after again against also been before being below between both
  cannot could does doing down during each from further have having here
  into itself just more most must only other over same should some such than
  that their them then there these they this those through under until very
  were what when where which while will with would your yours also using used
  upon many much make made like well even ever every first next last into
`.split(/\s+/).filter(Boolean));

// The words of a sentence that may be key words: letters and digits
// (inner hyphens and underscores kept), at least 4 long, lower case, not a
// common word, not a number.
export function candidateWords(text) {
  return (String(text).toLowerCase().match(/[\p{L}\p{N}](?:[\p{L}\p{N}_-]*[\p{L}\p{N}])?/gu) ?? [])
    .filter((word) => word.length >= 4 && !COMMON_WORDS.has(word) && !/^[\d.,-]+$/.test(word));
}

// The `count` words that the strongest sentences share most: each word
// scores the weights of the sentences it occurs in (once a sentence); the
// highest come first, equal scores in order of first appearance.
export function keyWords(sentences, count) {
  const scores = new Map();
  for (const sentence of sentences) {
    if (!(sentence.weight > 0)) continue;
    for (const word of new Set(candidateWords(sentence.text))) {
      scores.set(word, (scores.get(word) ?? 0) + sentence.weight);
    }
  }
  return [...scores.entries()]
    .map(([word, score], order) => ({ word, score, order }))
    .sort((a, b) => b.score - a.score || a.order - b.order)
    .slice(0, Math.max(0, count))
    .map(({ word, score }) => ({ word, score }));
}
