// Events, command links, pane layout, word bar and progress bar.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { completionChangesLibraries, eventProblem, readPollAnswer } from '../../../web/js/events.js';
import { commandFromAddress } from '../../../web/js/commands.js';
import { defaultEdges, paneEdges } from '../../../web/js/layout.js';
import { splitWords, wordButtons } from '../../../web/js/wordbar.js';
import { stepProgress } from '../../../web/js/progress.js';

test('well-formed events have no problem', () => {
  const events = [
    { type: 'message', level: 'warning', title: 'QORA', text: 'Unknown request' },
    { type: 'dialog', dialog: 'passage', text: 'x' },
    { type: 'busy', busy: false, title: '' },
    { type: 'completion', code: 6 },
    { type: 'list', title: 't', quick: false, records: [{ name: 'a' }] },
    { type: 'page', url: '/pages/map_.htm' },
    { type: 'title', text: 'QORA' },
    { type: 'wordbar', words: 'a b' },
    { type: 'scratch', passage: 'p' },
  ];
  for (const event of events) assert.equal(eventProblem(event), '', event.type);
});

test('malformed events are described in words', () => {
  assert.equal(eventProblem(null), 'The server sent an event that is not an object.');
  assert.equal(eventProblem({ type: 'beep' }), 'The server sent an event of unknown type "beep".');
  assert.equal(eventProblem({ type: 'message', level: 'loud', text: 'x' }),
    'The server sent a "message" event with unknown level.');
  assert.equal(eventProblem({ type: 'list', records: [1] }), 'The server sent a "list" event with a record is not an object.');
  assert.equal(eventProblem({ type: 'dialog', dialog: 'library' }), 'The server sent a "dialog" event with unknown dialog.');
  assert.equal(eventProblem({ type: 'completion', code: '6' }),
    'The server sent a "completion" event with code is not an integer.');
  assert.equal(eventProblem({ type: 'page', url: '' }), 'The server sent a "page" event with no url.');
  assert.equal(eventProblem({ type: 'page', url: 'javascript:alert(1)' }),
    'The server sent a "page" event with an address that is neither a path nor a web address.');
  assert.equal(eventProblem({ type: 'page', url: 'http://127.0.0.1:8080/pages/sum_.htm' }), '');
});

test('poll answers are read with safe defaults and refused without an event number', () => {
  assert.deepEqual(readPollAnswer({ busy: true, status: 'Merging', seq: 4, events: [{ type: 'title', text: 'x' }] }),
    { ok: true, busy: true, status: 'Merging', seq: 4, events: [{ type: 'title', text: 'x' }] });
  assert.deepEqual(readPollAnswer({ seq: 0 }), { ok: true, busy: false, status: '', seq: 0, events: [] });
  assert.equal(readPollAnswer({ busy: true }).ok, false);
  assert.equal(readPollAnswer('nonsense').ok, false);
});

test('library operations refresh the libraries, researches do not', () => {
  assert.equal(completionChangesLibraries(2), true);
  assert.equal(completionChangesLibraries(16), true);
  assert.equal(completionChangesLibraries(6), false);
  assert.equal(completionChangesLibraries(7), false);
});

test('command links give the text after the prefix with only %20 decoded', () => {
  assert.equal(commandFromAddress('http://127.0.0.1:8080/localservlets/queryKeywords?kw=tidal+power'),
    'queryKeywords?kw=tidal+power');
  assert.equal(commandFromAddress('/localservlets/exportPassage?passage=Tides%20turn%2C%20twice'),
    'exportPassage?passage=Tides turn%2C twice');
  assert.equal(commandFromAddress('http://example.org/page.htm'), null);
  assert.equal(commandFromAddress(undefined), null);
});

test('panes start at 9/40 and 9/10 of the height and keep their minimum sizes', () => {
  assert.deepEqual(defaultEdges(800, 1000), { vSplitterEdge1: 180, vSplitterEdge2: 720, frameRight: 800 });
  // The default second boundary would leave the scratch pad 80 pixels;
  // its minimum of 9·H/50 = 144 pixels wins.
  assert.deepEqual(paneEdges({}, 800, 1000), { edge1: 180, edge2: 656 });
  assert.deepEqual(paneEdges({ vSplitterEdge1: 300, vSplitterEdge2: 500 }, 800, 1000), { edge1: 300, edge2: 500 });
  // The first and third panes keep 9·H/50 = 144 pixels.
  assert.deepEqual(paneEdges({ vSplitterEdge1: 20, vSplitterEdge2: 790 }, 800, 1000), { edge1: 144, edge2: 656 });
  // The second pane keeps 10 pixels.
  assert.deepEqual(paneEdges({ vSplitterEdge1: 400, vSplitterEdge2: 405 }, 800, 1000), { edge1: 395, edge2: 405 });
  assert.deepEqual(paneEdges({ vSplitterEdge1: 'tall' }, 800, 1000), { edge1: 180, edge2: 656 });
});

test('the word bar shows the first five words with their fixed colours', () => {
  assert.deepEqual(splitWords('  tidal   power '), ['tidal', 'power']);
  assert.deepEqual(splitWords(''), []);
  const buttons = wordButtons('a b c d e f g');
  assert.deepEqual(buttons.map((b) => b.word), ['a', 'b', 'c', 'd', 'e']);
  assert.deepEqual(buttons.map((b) => b.colour), ['magenta', 'yellow', 'lightgreen', 'cyan', 'red']);
});

test('the progress bar steps while busy, wraps when full and rests when idle', () => {
  assert.equal(stepProgress(0, true), 1);
  assert.equal(stepProgress(99, true), 100);
  assert.equal(stepProgress(100, true), 0);
  assert.equal(stepProgress(42, false), 0);
  assert.equal(stepProgress(undefined, true), 1);
});
