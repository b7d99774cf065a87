// The mock server keeps to the API the front relies on: polls by event
// number, refusals as 4xx with {"error"}, busy refusals and stop requests.

import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { request } from 'node:http';
import { startMockServer } from '../mock_server.mjs';

let mock;
before(async () => { mock = await startMockServer(0); });
after(async () => { await mock.close(); });

async function get(path) {
  const response = await fetch(mock.url + path);
  return { status: response.status, body: await response.json() };
}

async function post(path, body) {
  const response = await fetch(mock.url + path, { method: 'POST', body: JSON.stringify(body) });
  return { status: response.status, body: await response.json() };
}

async function pollUntilIdle() {
  for (let i = 0; i < 200; i += 1) {
    const { body } = await get('/api/poll?after=0');
    if (!body.busy && body.events.some((e) => e.type === 'completion')) return body;
    await new Promise((done) => setTimeout(done, 20));
  }
  throw new Error('the operation did not end');
}

test('serves the front and lists twelve libraries', async () => {
  const page = await fetch(mock.url + '/');
  assert.match(await page.text(), /<title>QORA<\/title>/);
  const { body } = await get('/api/libraries');
  assert.equal(body.length, 12);
  assert.deepEqual(Object.keys(body[0]).sort(), ['bytes', 'date', 'documents', 'ident', 'name']);
  // A path that climbs out of web/ with an escaped slash is refused.
  const { port } = new URL(mock.url);
  const status = await new Promise((done) => {
    request({ host: '127.0.0.1', port, path: '/..%2FREADME.md' }, (response) => {
      response.resume();
      done(response.statusCode);
    }).end();
  });
  assert.equal(status, 403);
});

test('refusals are 4xx answers with an error text', async () => {
  const eleven = Array.from({ length: 11 }, (_, i) => `lib${String(i + 1).padStart(2, '0')}`);
  const tooMany = await post('/api/research', { kind: 'keywords', text: 'x', libraries: eleven });
  assert.equal(tooMany.status, 400);
  assert.match(tooMany.body.error, /10 libraries/);
  assert.equal((await post('/api/analyze', { documents: [] })).status, 400);
  assert.equal((await post('/api/library', { ident: 'nope' })).status, 404);
  assert.equal((await get('/api/poll?after=x')).status, 400);
});

test('a research reports busy, a list and its completion, and refuses a second one meanwhile', async () => {
  const first = await post('/api/research', { kind: 'keywords', text: 'costs', libraries: ['lib01'] });
  assert.equal(first.status, 200);
  const second = await post('/api/research', { kind: 'keywords', text: 'costs', libraries: ['lib01'] });
  assert.deepEqual(second, { status: 409, body: { error: 'Program is busy. Please wait.' } });
  const answer = await pollUntilIdle();
  const types = answer.events.map((e) => e.type);
  assert.deepEqual(types.slice(0, 2), ['busy', 'list']);
  const list = answer.events.find((e) => e.type === 'list');
  assert.equal(list.title, 'Tidal Energy');
  assert.equal(list.records[0].name, 'Tidal Energy: costs');
  assert.equal(answer.events.find((e) => e.type === 'completion').code, 6);
  assert.equal(answer.status, 'Document Listing completed');
  const later = await get(`/api/poll?after=${answer.seq}`);
  assert.deepEqual(later.body.events, []);
});

test('a stop request ends the operation with the stop status', async () => {
  await post('/api/research', { kind: 'passage', text: 'tides', libraries: ['lib01', 'lib02', 'lib03'] });
  await post('/api/stop', {});
  const { body } = await get('/api/poll?after=0');
  assert.equal(body.status, 'Stop requested. Please wait...');
  for (let i = 0; i < 100 && (await get('/api/poll?after=0')).body.busy; i += 1) {
    await new Promise((done) => setTimeout(done, 20));
  }
  const events = (await get('/api/poll?after=0')).body.events;
  assert.equal(events.filter((e) => e.type === 'completion').at(-1).code, 12);
});

test('command links open dialogs and unknown ones are answered with a warning', async () => {
  const { body: before } = await get('/api/poll?after=0');
  await post('/api/command', { command: 'queryKeywords?kw=tidal+power' });
  await post('/api/command', { command: 'nonsense' });
  const { body } = await get(`/api/poll?after=${before.seq}`);
  assert.deepEqual(body.events.map(({ seq, ...e }) => e), [
    { type: 'dialog', dialog: 'keywords', text: 'tidal power' },
    { type: 'message', level: 'warning', title: 'QORA', text: 'Unknown request' },
  ]);
  assert.equal((await get('/api/settings')).body.QueryOptions.lastKeyWords, 'tidal power');
});

test('acquisitions: malformed bodies are 400s, refusals are messages, a crawl fills its library', async () => {
  assert.deepEqual(await post('/api/acquire', { kind: 'internet', mode: 'fly', target: { new: 'x' } }),
    { status: 400, body: { error: 'The mode of an internet request is unknown.' } });
  assert.equal((await post('/api/acquire', { kind: 'files', target: { new: 'a', library: 'b' } })).status, 400);
  assert.equal((await post('/api/acquire', { kind: 'files', files: [3] })).status, 400);
  const { body: before } = await get('/api/poll?after=0');
  await post('/api/acquire', { kind: 'internet', mode: 'crawl', addresses: [' '], target: { library: 'lib02' } });
  await post('/api/acquire', { kind: 'internet', mode: 'basic', keywords: 'tides', target: { new: ' ' } });
  await post('/api/acquire', { kind: 'files', files: [], target: { library: 'lib02' } });
  await post('/api/acquire', { kind: 'folder', target: { library: 'lib02' } });
  const { body: refused } = await get(`/api/poll?after=${before.seq}`);
  assert.deepEqual(refused.events.map((e) => e.text), ['Please enter start addresses',
    'Please checkmark libraries first', 'Please choose files', 'Please choose a folder']);
  const { body: libs } = await get('/api/libraries');
  const count = libs.find((l) => l.ident === 'lib02').documents;
  assert.equal((await post('/api/acquire', { kind: 'internet', mode: 'crawl', addresses: ['http://a.example/'],
    target: { library: 'lib02' } })).status, 200);
  const answer = await pollUntilIdle();
  const events = answer.events.filter((e) => e.seq > refused.seq);
  assert.deepEqual(events.find((e) => e.type === 'busy'), { seq: events[0].seq, type: 'busy', busy: true,
    title: "Internet Crawl 'Wind Power'" });
  assert.equal(events.find((e) => e.type === 'completion').code, 2);
  assert.equal((await get('/api/libraries')).body.find((l) => l.ident === 'lib02').documents, count + 3);
});

test('settings: a null crawler page is reset, other nulls and odd values are refused; folders list files', async () => {
  await post('/api/settings', { CrawlerOptions: { Dpth: 4, startURLs: 'http://a.example/' } });
  assert.deepEqual((await get('/api/settings')).body.CrawlerOptions, { Dpth: '4', startURLs: 'http://a.example/' });
  await post('/api/settings', { CrawlerOptions: null });
  assert.equal((await get('/api/settings')).body.CrawlerOptions, undefined);
  assert.equal((await post('/api/settings', { Settings: null })).status, 400);
  assert.equal((await post('/api/settings', { Settings: { x: 1.5 } })).status, 400);
  const { body } = await get('/api/folders?path=%2Fhome%2Fada%2Fpapers');
  assert.deepEqual(body, { path: '/home/ada/papers', parent: '/home/ada', folders: ['old'],
    files: ['barrages.pdf', 'lagoons.htm', 'tides.html'] });
  assert.equal((await get('/api/folders?path=%2Fnowhere')).status, 404);
});

test('keeps uploads with the server\'s name rule and answers their paths', async () => {
  const send = async (name, body) => {
    const response = await fetch(`${mock.url}/api/upload?name=${encodeURIComponent(name)}`,
      { method: 'POST', headers: { 'Content-Type': 'text/html' }, body });
    return { status: response.status, body: await response.json() };
  };
  const first = await send('Tidal Notes.HTML', '<html><body>not json at all</body></html>');
  assert.equal(first.status, 200);
  assert.match(first.body.path, /^\/mock\/qoralibs\/uploads\/[^/]+\/Tidal Notes\.HTML$/);
  const second = await send('b.pdf', '%PDF-1.4');
  assert.notEqual(dirnameOf(second.body.path), dirnameOf(first.body.path), 'one folder per file');
  for (const name of ['notes.txt', '../a.html', 'x/a.html', '.html', '']) {
    const refused = await send(name, 'x');
    assert.equal(refused.status, 400, name);
    assert.equal(refused.body.error, 'Only HTML and PDF files (.htm, .html, .pdf) can be added to a library.');
  }
  assert.deepEqual(mock.state.uploads.map((u) => [u.name, u.text]),
    [['Tidal Notes.HTML', '<html><body>not json at all</body></html>'], ['b.pdf', '%PDF-1.4']]);
});

function dirnameOf(path) {
  return path.slice(0, path.lastIndexOf('/'));
}
