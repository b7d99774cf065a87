// The command links of the result pages.
import assert from 'node:assert/strict';
import test from 'node:test';

import {
  addKeywordsLink, commandArgument, conceptArgument, conceptResearchLink, conceptSummaryLink,
  earlierMapLink, exportPassageLink, keywordArgument, keywordResearchLink, keywordSummaryLink,
  passageResearchLink, passageSummaryLink,
} from '../../data/common/links.js';

test('keyword links join the words with "+"', () => {
  assert.equal(keywordResearchLink('  transact \n databas '), '/localservlets/queryKeywords?kw=transact+databas');
  assert.equal(keywordSummaryLink('backup api'), '/localservlets/biasedSummary?kw=backup+api');
  assert.equal(addKeywordsLink('one'), '/localservlets/addKeyWords2Query?kw=one');
  assert.equal(keywordArgument(''), '');
  assert.equal(keywordArgument('   '), '');
});

test('a "+" inside a word is escaped so it cannot split the word', () => {
  assert.equal(keywordArgument('c++ r&d'), 'c%2B%2B+r%26d');
});

// Every handle ends with "+", the last one too, so that it takes part.
test('concept links close every handle with "+"', () => {
  assert.equal(conceptResearchLink(6), '/localservlets/queryConcepts?concept=6+');
  assert.equal(conceptResearchLink([6, 9]), '/localservlets/queryConcepts?concept=6+9+');
  assert.equal(conceptSummaryLink([12]), '/localservlets/biasedSummary?concept=12+');
  assert.equal(conceptArgument([0, -1, 2.5, 'x', '7']), '7+');
  assert.equal(conceptArgument([]), '');
});

test('passage links keep the text, blanks as %20 and structure characters escaped', () => {
  const passage = 'Transactions are ACID,\n even 100% #1 & more+';
  const argument = 'Transactions%20are%20ACID,%20even%20100%25%20%231%20%26%20more%2B';
  assert.equal(commandArgument(passage), argument);
  assert.equal(exportPassageLink(passage), '/localservlets/exportPassage?passage=' + argument);
  assert.equal(passageResearchLink(passage), '/localservlets/queryPassage?passage=' + argument);
  assert.equal(passageSummaryLink(passage), '/localservlets/biasedSummary?passage=' + argument);
  // Letters beyond ASCII stay as they are; the browser escapes them.
  assert.equal(commandArgument('caf\u00e9 \u201cx\u201d'), 'caf\u00e9%20\u201cx\u201d');
});

test('earlier maps are asked for by level', () => {
  assert.equal(earlierMapLink(1), '/localservlets/lastConceptMap?level=1');
  assert.equal(earlierMapLink(2), '/localservlets/lastConceptMap?level=2');
});
