// The four summary pages: one weighted document ("sumry": its strongest
// sentences; "sum": its whole text, every sentence highlighted by its
// weight) or several ("csum" and "csumry": the same over the documents of a
// combined summary). Each page links to its partner page.

import { parseCombinedSummary, parseWeightedDocument } from './dml.js';
import {
  exportPassageLink, keywordResearchLink, keywordSummaryLink, passageResearchLink,
  passageSummaryLink,
} from './links.js';
import { element, fetchDml, pageValue, runPage, showContent } from './page.js';
import {
  greatestWeight, highlightAlpha, keyWords, sentencesOf, strongestSentences, summaryLength,
} from './summary.js';

const KEY_WORD_COUNT = 12;

// The three things a sentence can be taken to: the scratch pad, a passage
// research, a summary biased to it.
function sentenceActions(text) {
  return element('span', { class: 'actions' },
    element('a', { href: exportPassageLink(text), title: 'Put this sentence into the scratch pad' },
      'scratch pad'),
    element('a', { href: passageResearchLink(text), title: 'Research the libraries with this sentence' },
      'research'),
    element('a', { href: passageSummaryLink(text), title: 'Summarize again, biased to this sentence' },
      'summary'));
}

// A sentence of the whole text, its background as strong as its weight.
function highlightedSentence(sentence, greatest) {
  const alpha = highlightAlpha(sentence.weight, greatest);
  return element('span', {
    class: 'sentence',
    style: alpha > 0 ? `background-color: rgba(255, 196, 0, ${alpha})` : undefined,
    title: `weight ${sentence.weight}`,
  }, sentence.text, sentenceActions(sentence.text), ' ');
}

// One of the strongest sentences, with a bar showing its weight.
function strongSentence(sentence, greatest) {
  const share = greatest > 0 ? Math.round((100 * sentence.weight) / greatest) : 0;
  return element('li', { class: 'strong' },
    element('span', { class: 'bar', title: `weight ${sentence.weight}` },
      element('span', { class: 'fill', style: `width: ${share}%` })),
    element('span', { class: 'text' }, sentence.text),
    sentenceActions(sentence.text));
}

function keyWordList(words) {
  if (words.length === 0) return null;
  return element('p', { class: 'keywords' },
    element('span', { class: 'label' }, 'Words: '),
    words.map(({ word }) => element('span', { class: 'keyword' },
      element('a', { href: keywordResearchLink(word), title: `Research the libraries for "${word}"` },
        word),
      element('a', { class: 'bias', href: keywordSummaryLink(word),
        title: `Summarize again, biased to "${word}"` }, '\u2197'))));
}

function documentHeading(doc, level) {
  const address = doc.record.uri;
  return element('header', {},
    element(level, { class: 'title' }, doc.title || '(untitled)'),
    address ? element('p', { class: 'address' }, address) : null);
}

// The strongest sentences of one document with its key words.
function strongestView(doc, level) {
  const sentences = sentencesOf(doc.paragraphs);
  const chosen = strongestSentences(sentences, summaryLength(sentences.length));
  const greatest = greatestWeight(sentences);
  return element('section', { class: 'document' },
    documentHeading(doc, level),
    chosen.length > 0
      ? element('ol', { class: 'strongest' }, chosen.map((s) => strongSentence(s, greatest)))
      : element('p', { class: 'none' }, 'No sentence of this document weighs anything.'),
    keyWordList(keyWords(chosen, KEY_WORD_COUNT)));
}

// The whole text of one document, every sentence highlighted.
function wholeTextView(doc, level) {
  const greatest = greatestWeight(sentencesOf(doc.paragraphs));
  return element('section', { class: 'document' },
    documentHeading(doc, level),
    doc.paragraphs.map((paragraph) =>
      element('p', { class: 'paragraph' }, paragraph.map((s) => highlightedSentence(s, greatest)))));
}

function pageHeader(heading, partner) {
  return element('nav', { class: 'pagebar' },
    element('span', { class: 'heading' }, heading),
    element('a', { class: 'partner', href: partner.href }, partner.label));
}

// Reads the one weighted document of a single summary.
async function readSingle(path) {
  const doc = parseWeightedDocument(await fetchDml(path));
  if (doc.paragraphs.length === 0) throw new Error(`the document "${path}" holds no text`);
  return [doc];
}

// Reads the weighted documents a combined summary lists; those that cannot
// be read are left out (and counted), but not all of them.
async function readCombined(path) {
  const entries = parseCombinedSummary(await fetchDml(path));
  const read = await Promise.allSettled(entries.map(async (entry) =>
    parseWeightedDocument(await fetchDml(entry.path))));
  const docs = read.filter((r) => r.status === 'fulfilled').map((r) => r.value)
    .filter((doc) => doc.paragraphs.length > 0);
  if (docs.length === 0) throw new Error(`the summary "${path}" lists no readable document`);
  return { docs, missing: entries.length - docs.length };
}

// Draws a summary page. `options`: combined (several documents), whole
// (the whole text instead of the strongest sentences), heading, partner
// ({href, label}: the paired page).
export function showSummary(options) {
  return runPage(async () => {
    const path = pageValue('qora-dml-path');
    if (path === '') throw new Error('this page was made without a document');
    const { docs, missing } = options.combined ? await readCombined(path)
      : { docs: await readSingle(path), missing: 0 };
    const level = options.combined ? 'h2' : 'h1';
    const view = options.whole ? wholeTextView : strongestView;
    const combinedWords = options.combined && !options.whole
      ? keyWordList(keyWords(docs.flatMap((d) => sentencesOf(d.paragraphs)), KEY_WORD_COUNT))
      : null;
    showContent(
      pageHeader(options.heading, options.partner),
      combinedWords,
      docs.map((doc) => view(doc, level)),
      missing > 0 ? element('p', { class: 'why' },
        `${missing} of the documents could not be read.`) : null);
    if (docs.length === 1 && docs[0].title) document.title = docs[0].title;
  });
}
