// The concept map page: every concept of the map as a circle sized by its
// weight, with its key phrases inside. A click on a concept researches the
// libraries with it; a click on a phrase researches its words, and the
// mark after a phrase summarizes biased to them.

import { parseConceptMap } from '../common/dml.js';
import {
  conceptResearchLink, conceptSummaryLink, earlierMapLink, keywordResearchLink, keywordSummaryLink,
} from '../common/links.js';
import { element, fetchDml, pageValue, present, runPage, showContent } from '../common/page.js';
import {
  afterLineOffset, circleLines, conceptHue, layoutConcepts, phraseStrengths,
} from './map_layout.js';

const SVG = 'http://www.w3.org/2000/svg';

// A new SVG element with `attributes`, `children` appended (strings as text).
function svg(tag, attributes = {}, ...children) {
  const node = document.createElementNS(SVG, tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (value !== undefined && value !== null) node.setAttribute(name, String(value));
  }
  node.append(...present(children));
  return node;
}

// A link in the picture; the frame goes to `href` when it is clicked.
function link(href, tooltip, ...children) {
  return svg('a', { href }, svg('title', {}, tooltip), ...children);
}

// The circle of one concept with its title; the whole disc is the link of
// the concept research.
function conceptDisc(concept, circle, index) {
  const hue = conceptHue(index);
  return link(conceptResearchLink(concept.handle),
    `Research the libraries with concept ${concept.label} (weight ${concept.weight})`,
    svg('circle', {
      cx: circle.x, cy: circle.y, r: circle.r,
      fill: `hsla(${hue}, 70%, 62%, 0.22)`, stroke: `hsl(${hue}, 55%, 45%)`,
    }));
}

// The lines inside a circle: the title, then one link per phrase with its
// mark for a biased summary.
function conceptLines(concept, circle) {
  const title = `Concept ${concept.label}`;
  const lines = circleLines(title, concept.phrases.map((p) => p.text), circle.r);
  const strengths = phraseStrengths(concept.phrases);
  const drawn = [svg('text', {
    class: 'title', x: circle.x, y: circle.y + lines[0].dy, 'font-size': lines[0].fontSize,
  }, title)];
  concept.phrases.forEach((phrase, i) => {
    const line = lines[i + 1];
    const y = circle.y + line.dy;
    drawn.push(link(keywordResearchLink(phrase.text), `Research the libraries for "${phrase.text}"`,
      svg('text', {
        class: 'phrase', x: circle.x, y, 'font-size': line.fontSize,
        'font-weight': strengths[i] >= 0.66 ? 'bold' : 'normal',
        opacity: (0.6 + 0.4 * strengths[i]).toFixed(2),
      }, phrase.text)));
    drawn.push(link(keywordSummaryLink(phrase.text), `Summarize biased to "${phrase.text}"`,
      svg('text', {
        class: 'bias', x: circle.x + afterLineOffset(phrase.text, line.fontSize), y,
      }, '\u2197')));
  });
  drawn.push(link(conceptSummaryLink(concept.handle), `Summarize biased to concept ${concept.label}`,
    svg('text', { class: 'summary', x: circle.x, y: circle.y + circle.r - 13 }, 'summary')));
  return drawn;
}

function mapPicture(concepts) {
  const { circles, width, height } = layoutConcepts(concepts);
  return svg('svg', {
    class: 'map', xmlns: SVG, viewBox: `0 0 ${width} ${height}`, width, height,
    role: 'img', 'aria-label': `Concept map of ${concepts.length} concepts`,
  },
  concepts.map((concept, i) => conceptDisc(concept, circles[i], i)),
  concepts.map((concept, i) => conceptLines(concept, circles[i])));
}

function pageBar() {
  return element('nav', { class: 'pagebar' },
    element('span', { class: 'heading' }, 'Concept map'),
    element('span', { class: 'earlier' }, 'earlier maps:',
      element('a', { href: earlierMapLink(1) }, 'previous'),
      element('a', { href: earlierMapLink(2) }, 'the one before')));
}

runPage(async () => {
  const path = pageValue('qora-dml-path');
  if (path === '') throw new Error('this page was made without a concept map');
  const concepts = parseConceptMap(await fetchDml(path));
  if (concepts.length === 0) throw new Error('the concept map holds no concept');
  showContent(
    pageBar(),
    element('p', { class: 'hint' },
      'Click a concept to research it, a phrase to research its words, \u2197 to summarize biased to them.'),
    mapPicture(concepts));
});
