// The acquisition dialogs' pure rules: pages and titles of each mode, the
// wizard's choices, what the pages read from the settings and write back,
// the checks on leaving a page and the bodies of POST /api/acquire.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  internetDialog, internetRequest, localRequest, pageDecision, pageValues, readListing, settingsUpdate,
  storedWizardChoice, toggleFile, wholeNumber, wizardPlan,
} from '../../../web/js/acquire_model.js';

const PAGE = 'http://example.org/tides.htm';

test('each internet mode has its title and pages in order', () => {
  const shown = (mode, address) => {
    const d = internetDialog(mode, address);
    return [d.title, d.pages.join(',')];
  };
  assert.deepEqual(shown('basic'), ['Basic Internet Search', 'keywords,engines,target']);
  assert.deepEqual(shown('advanced'), ['Advanced Internet Search', 'keywords,engines,advanced,target']);
  assert.deepEqual(shown('crawl'), ['Internet Crawl', 'start,engines,crawler,advanced,target']);
  assert.deepEqual(shown('crawlpage', ` ${PAGE} `), [`Crawling: ${PAGE}`, 'crawler,advanced,target']);
  assert.deepEqual(shown('savepage', PAGE), [`Saving: ${PAGE}`, 'target']);
  assert.deepEqual(shown('quick'), ['Quick Internet Search', 'keywords,engines']);
});

test('the page modes need a web address; unknown modes are refused in words', () => {
  assert.deepEqual(internetDialog('crawlpage', ''), { ok: false, message: 'There is no page address to act on.' });
  assert.equal(internetDialog('savepage', 'file:///etc/passwd').ok, false);
  assert.equal(internetDialog('savepage', undefined).ok, false);
  assert.deepEqual(internetDialog('toString'), { ok: false, message: 'There is no internet mode "toString".' });
});

test('the wizard refuses no choice, leaves other values unimplemented and plans the four modes', () => {
  assert.deepEqual(wizardPlan(''), { ok: false, message: 'No mode selected to create the new library' });
  assert.deepEqual(wizardPlan(null), { ok: false, message: 'No mode selected to create the new library' });
  assert.deepEqual(wizardPlan('1171'), { ok: false, message: 'Not yet implemented' });
  assert.deepEqual(wizardPlan('1167.5'), { ok: false, message: 'Not yet implemented' });
  assert.deepEqual(wizardPlan('1167'), { ok: true, mode: 'wizard-search',
    pages: ['keywords', 'engines', 'advanced', 'target'] });
  assert.deepEqual(wizardPlan(1168), { ok: true, mode: 'wizard-crawl',
    pages: ['start', 'engines', 'crawler', 'advanced', 'target'] });
  assert.deepEqual(wizardPlan('1169'), { ok: true, mode: 'local-wizard', pages: ['local', 'target'] });
  assert.deepEqual(wizardPlan('1170'), { ok: true, mode: 'wizard-searchcrawl',
    pages: ['keywords', 'engines', 'crawler', 'advanced', 'target'] });
  assert.equal(storedWizardChoice({}), '1167');
  assert.equal(storedWizardChoice({ Settings: { newLibMode: '1170' } }), '1170');
  assert.equal(storedWizardChoice({ Settings: { newLibMode: '0' } }), '');
});

test('the pages open with the settings, else the defaults; engine 1 is on when 2 to 5 are off', () => {
  assert.deepEqual(pageValues('crawler', {}),
    { depth: '2', kilobytes: '1000', sites: '100', documents: '50', sameSite: true });
  assert.deepEqual(pageValues('crawler', { CrawlerOptions: { Dpth: '4', MaxKB: 'lots', internalOnly: '0' } }),
    { depth: '4', kilobytes: '1000', sites: '100', documents: '50', sameSite: false });
  const engines = pageValues('engines', { EngineOptions: { selEng1: '0', numResEng3: '20' } }).engines;
  assert.deepEqual(engines.map((e) => e.on), [true, false, false, false, false]);
  assert.equal(engines[2].results, '20');
  const withThree = pageValues('engines', { EngineOptions: { selEng1: '0', selEng3: '1' } }).engines;
  assert.deepEqual(withThree.map((e) => e.on), [false, false, true, false, false]);
  const advanced = pageValues('advanced', { AdvancedOptions: { negWords: 'casino+lottery' } });
  assert.equal(advanced.negWords, 'casino lottery');
  assert.equal(advanced.negURLs, ';prev ;random ;skip popup doubleclick hitbox /ads /adfield http://ads');
  assert.deepEqual(pageValues('start', { CrawlerOptions: { startURLs: 'http://a.example/\r\nhttp://b.example/' } }),
    { addresses: 'http://a.example/\nhttp://b.example/' });
  assert.equal(pageValues('keywords', {}).keywords, 'type in your keywords here');
  assert.equal(pageValues('local', { CrawlerOptions: { prevName_folder: '/home/ada' } }).folder, '/home/ada');
});

test('leaving a page checks what it needs, with the messages of the application', () => {
  const message = (page, values, mode) => pageDecision(page, values, mode).message ?? 'ok';
  assert.equal(message('keywords', { keywords: ' type in your keywords here ' }), 'Please enter keywords');
  assert.equal(message('keywords', { keywords: 'tidal' }), 'ok');
  assert.equal(message('start', { addresses: ' \n \n' }), 'Please enter start addresses');
  const crawler = { depth: '2', kilobytes: '1000', sites: '9', documents: '5' };
  assert.equal(message('crawler', crawler), 'ok');
  assert.equal(message('crawler', { ...crawler, kilobytes: '2147484' }),
    'The kilobyte limit must be a whole number from 0 to 2147483.');
  assert.equal(message('crawler', { ...crawler, depth: '-1' }),
    'The depth must be a whole number from 0 to 2147483647.');
  const engines = Array.from({ length: 5 }, () => ({ on: false, results: '10' }));
  engines[3].results = 'ten';
  assert.equal(message('engines', { engines }), 'The results of engine 4 must be a whole number from 0 to 2147483647.');
  assert.equal(message('advanced', { minPages: '5', maxPages: '3', minLinks: '1' }),
    'The fewest pages cannot be more than the most pages.');
  const local = { depth: '2', kilobytes: '10', documents: '5', files: [], folder: '' };
  assert.equal(message('local', { ...local, mode: '' }), 'No mode selected to add local files');
  assert.equal(message('local', { ...local, mode: 'files' }), 'Please choose files');
  assert.equal(message('local', { ...local, mode: 'folder' }), 'Please choose a folder');
  assert.equal(message('local', { ...local, mode: 'files', files: ['/a.htm'] }), 'ok');
  assert.equal(message('target', { kind: 'new', name: '  ' }), 'Please checkmark libraries first');
  assert.equal(message('target', { kind: 'library', library: '' }), 'Please checkmark libraries first');
  assert.equal(message('target', { kind: '', name: 'Tides' }), 'Please checkmark libraries first');
  // The wizard's target is the new name, whichever choice the page shows.
  assert.equal(message('target', { kind: 'library', name: 'Tides', library: 'lib01' }, 'wizard-crawl'), 'ok');
});

test('the settings written on OK: every page of a crawl, engine 1 rule, lists with "+"', () => {
  const values = {
    start: { addresses: 'http://a.example/\nhttp://b.example/' },
    engines: { engines: [{ on: false, results: '30' }, { on: false, results: '40' }, { on: false, results: '5' },
      { on: false, results: '50' }, { on: false, results: '50' }] },
    crawler: { depth: '3', kilobytes: '500', sites: '20', documents: '40', sameSite: false },
    advanced: { authority: true, minPages: '2', maxPages: '8', hub: false, minLinks: '4',
      negURLs: ' /ads  popup ', negWords: 'casino lottery' },
    target: { kind: 'library', name: '', library: 'lib03' },
  };
  assert.deepEqual(settingsUpdate(['start', 'engines', 'crawler', 'advanced', 'target'], values), {
    CrawlerOptions: { startURLs: 'http://a.example/\r\nhttp://b.example/', Dpth: 3, MaxKB: 500, MaxSites: 20,
      MaxDocs: 40, internalOnly: 0 },
    EngineOptions: { selEng1: 1, numResEng1: 30, selEng2: 0, numResEng2: 40, selEng3: 0, numResEng3: 5,
      selEng4: 0, numResEng4: 50, selEng5: 0, numResEng5: 50 },
    AdvancedOptions: { selAuthorityPages: 1, minNumPages: 2, maxNumPages: 8, selHubPages: 0, minNumLinks: 4,
      negURLs: '/ads+popup', negWords: 'casino+lottery' },
  });
  values.engines.engines[2].on = true;
  const update = settingsUpdate(['engines'], values);
  assert.equal(update.EngineOptions.selEng1, 0, 'engine 1 is off when another engine is on');
  assert.equal(update.EngineOptions.selEng3, 1);
});

test('keywords are remembered as the last keywords and in the history; a folder writes the folder page', () => {
  const update = settingsUpdate(['keywords'], { keywords: { keywords: 'tidal power' } }, ['wind']);
  assert.equal(update.QueryOptions.lastKeyWords, 'tidal power');
  assert.equal(update.QueryHistory.kwd0, 'tidal power');
  assert.equal(update.QueryHistory.kwd1, 'wind');
  const local = { mode: 'folder', folder: '/home/ada/papers', files: [], depth: '1', kilobytes: '200', documents: '9' };
  assert.deepEqual(settingsUpdate(['local', 'target'], { local, target: {} }), { CrawlerOptions: {
    prevName_folder: '/home/ada/papers', Dpth_folder: 1, MaxKB_folder: 200, MaxDocs_folder: 9 } });
  assert.deepEqual(settingsUpdate(['local'], { local: { ...local, mode: 'files' } }), {});
});

test('the request of each internet mode and of files and folders', () => {
  const values = {
    keywords: { keywords: ' tidal power ' },
    start: { addresses: 'http://a.example/\n\n http://b.example/ ' },
    target: { kind: 'new', name: ' Tides ', library: 'lib02' },
  };
  assert.deepEqual(internetRequest('basic', values), { kind: 'internet', mode: 'basic', keywords: 'tidal power',
    addresses: [], target: { new: 'Tides' } });
  assert.deepEqual(internetRequest('crawl', { ...values, target: { kind: 'library', library: 'lib02' } }),
    { kind: 'internet', mode: 'crawl', keywords: '', addresses: ['http://a.example/', 'http://b.example/'],
      target: { library: 'lib02' } });
  assert.deepEqual(internetRequest('crawlpage', values, PAGE).addresses, [PAGE]);
  assert.deepEqual(internetRequest('savepage', values, PAGE).keywords, '');
  assert.deepEqual(internetRequest('quick', values), { kind: 'quick', keywords: 'tidal power' });
  assert.deepEqual(internetRequest('wizard-searchcrawl', { ...values, target: { kind: 'library', name: 'New',
    library: 'lib02' } }), { kind: 'internet', mode: 'wizard-searchcrawl', keywords: 'tidal power', addresses: [],
    target: { new: 'New' } });
  assert.deepEqual(internetRequest('wizard-crawl', values).addresses, ['http://a.example/', 'http://b.example/']);
  const files = { mode: 'files', files: ['/home/ada/notes.html', '/srv/a.pdf'], folder: '/srv' };
  assert.deepEqual(localRequest({ local: files, target: { kind: 'library', library: 'lib01' } }),
    { kind: 'files', files: ['/home/ada/notes.html', '/srv/a.pdf'], target: { library: 'lib01' } });
  assert.deepEqual(localRequest({ local: { ...files, mode: 'folder' }, target: { kind: 'new', name: 'Papers' } },
    'local-wizard'), { kind: 'folder', target: { new: 'Papers' } });
});

test('the chooser keeps files in the order chosen and reads listings carefully', () => {
  let files = toggleFile([], '/a.htm', true);
  files = toggleFile(files, '/b.pdf', true);
  files = toggleFile(files, '/a.htm', false);
  assert.deepEqual(toggleFile(files, '/b.pdf', true), ['/b.pdf']);
  assert.deepEqual(readListing({ path: '/srv', parent: '/', folders: ['x'] }),
    { ok: true, path: '/srv', parent: '/', folders: ['x'], files: [] });
  assert.equal(readListing({ path: '/srv', folders: 'x' }).ok, false);
  assert.equal(readListing(null).ok, false);
  assert.deepEqual(wholeNumber(' 12 ', 'The depth'), { ok: true, value: 12 });
  assert.equal(wholeNumber('1e3', 'The depth').ok, false);
});
