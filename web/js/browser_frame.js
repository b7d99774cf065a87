// The browser frame of the preview pane: its address box and quick web
// search with their histories, the view and action bars, and the word bar
// whose commands the frame agent (frame_agent.js) carries out in the page
// shown. Result pages are the application's own and get the agent here;
// archived copies and live pages get it from the server, sandboxed.

import {
  completeAddress, hasScheme, isWebAddress, liveAddress, normaliseAddress, quickSearchAddress, sameAddress,
} from './address.js';
import { ADDRESS_HISTORY, KEYWORD_HISTORY, addToHistory, historyFromSection, historyToSection } from './history.js';
import {
  AD_TAGS, AD_WIDTHS, GONE_PAST_END, MAX_SHOWN_WORDS, PRINT_SCRIPT, WORD_COLOURS, findNextScript, hideAdsScript,
  highlightScript, splitWords, unhighlightScript, wordsText,
} from './wordbar.js';
import { openAcquisition } from './acquisition.js';

const AGENT_PATH = '/web/js/frame_agent.js';
const AGENT_MESSAGES = new Set(['ready', 'done', 'found', 'gonePastEnd', 'navigate']);
// The result pages the preview of the current document writes.
const RESULT_PAGES = { summary: '/pages/sumry_.htm', highlights: '/pages/sum_.htm', abstract: '/pages/map_.htm' };
const NO_DOCUMENT = 'Please select a document in the list first.';
const DEFAULT_ENGINE = { name: 'engine', url: ' ', pre: ' ', post: ' ' };

const setting = (settings, section, key, fallback) => {
  const value = settings[section]?.[key];
  return value === undefined || value === '' ? fallback : value;
};

export class BrowserFrame {
  // `root` is the preview pane; `deps`: messages, settings() (the local
  // copy), rememberSettings(update), send(path, body), whenIdle(action),
  // currentRecord() (the document last selected in the list, or null) and
  // documentRef(record).
  constructor(root, deps) {
    this.deps = deps;
    this.q = (selector) => root.querySelector(selector);
    this.frame = this.q('#preview');
    this.addressBox = this.q('#address-box');
    this.keywordBox = this.q('#keyword-box');
    this.words = [];
    this.engines = [];
    this.shown = { kind: 'none', address: '' };
    this.wire();
  }

  // ---- what the frame shows ----

  // Shows `url` in the frame as a page of `kind` ('result', 'archived',
  // 'live' or 'other') standing for `address`.
  show(kind, address, url) {
    this.shown = { kind, address };
    this.frame.dataset.agent = '';
    this.frame.dataset.kind = kind;
    this.frame.src = url;
  }

  // A "page" event of the server: a result page.
  showResultPage(url) {
    this.show('result', url, url);
  }

  // Shows `address`: a web address as a live page, a file address as an
  // archived copy of the data folder; other addresses cannot be shown.
  navigate(address) {
    if (isWebAddress(address)) return this.show('live', address, liveAddress(address));
    const normal = normaliseAddress(address);
    if (normal.kind === 'file') {
      return this.show('archived', address, `/datafile?path=${encodeURIComponent(address)}`);
    }
    if (normal.address === 'about:blank') return this.show('other', address, 'about:blank');
    return this.deps.messages.show('warning', `This address cannot be shown in the frame: ${address}`);
  }

  // Whether the page shown is the current document of the list.
  showsStoredDocument(record) {
    if (!record) return false;
    if (this.shown.kind === 'result' || this.shown.kind === 'archived') return true;
    return this.shown.kind === 'live' && sameAddress(this.shown.address, record.uri ?? '');
  }

  // ---- histories ----

  addressHistory() {
    const { section, prefix, limit } = ADDRESS_HISTORY;
    return historyFromSection(this.deps.settings()[section], prefix, limit);
  }

  keywordHistory() {
    const { section, prefix, limit } = KEYWORD_HISTORY;
    return historyFromSection(this.deps.settings()[section], prefix, limit);
  }

  // The update that adds `entry` to the history `kind`, written with the
  // rest of `update`.
  static withHistory(update, kind, list, entry) {
    const next = addToHistory(list, entry, kind.limit);
    return { ...update, [kind.section]: historyToSection(next, kind.prefix, kind.limit) };
  }

  async remember(update) {
    await this.deps.rememberSettings(update);
    this.showHistories();
  }

  showHistories() {
    const fill = (list, entries) => this.q(list).replaceChildren(...entries.map((e) => new Option(e, e)));
    fill('#address-history', this.addressHistory());
    fill('#keyword-history', this.keywordHistory());
  }

  // ---- address box and quick search ----

  go(typed) {
    const text = String(typed ?? '').trim();
    if (text === '') return undefined;
    const complete = Number(setting(this.deps.settings(), 'Settings2', 'autoFixURL', 1)) !== 0;
    const address = complete ? completeAddress(text) : text;
    this.addressBox.value = address;
    const saved = this.remember(BrowserFrame.withHistory({}, ADDRESS_HISTORY, this.addressHistory(), address));
    if (complete || hasScheme(address)) this.navigate(address);
    return saved;
  }

  whichEngine() {
    const n = Number.parseInt(setting(this.deps.settings(), 'Settings', 'whichEngine', 1), 10);
    return n >= 1 && n <= 5 ? n : 1;
  }

  async loadEngines(getJson) {
    try {
      const engines = await getJson('/api/engines');
      this.engines = Array.isArray(engines) ? engines : [];
    } catch (error) {
      this.engines = [];
      this.deps.messages.show('error', error.message ?? String(error));
    }
    const chooser = this.q('#engine-chooser');
    chooser.replaceChildren(...[1, 2, 3, 4, 5].map((n) => new Option(
      `${n}: ${this.engine(n).name}`, String(n))));
    chooser.value = String(this.whichEngine());
    this.q('#search-button').textContent = this.engine(this.whichEngine()).name;
  }

  engine(n) {
    const e = this.engines[n - 1];
    return e && typeof e === 'object' ? { ...DEFAULT_ENGINE, ...e } : DEFAULT_ENGINE;
  }

  chooseEngine(n) {
    this.q('#search-button').textContent = this.engine(n).name;
    return this.remember({ Settings: { whichEngine: n } });
  }

  quickSearch() {
    const text = this.keywordBox.value;
    if (text.trim() === '') return this.deps.messages.show('info', 'Please type in keywords');
    let update = BrowserFrame.withHistory({}, ADDRESS_HISTORY, this.addressHistory(), text);
    update = BrowserFrame.withHistory(update, KEYWORD_HISTORY, this.keywordHistory(), text);
    update.QueryOptions = { lastKeyWords: text };
    update.WordBar = { searchWords: text };
    this.setWords(text);
    const address = quickSearchAddress(this.engine(this.whichEngine()), text);
    this.addressBox.value = address;
    this.navigate(address);
    return this.remember(update);
  }

  // ---- view and action bars ----

  view(which, event) {
    const record = this.deps.currentRecord();
    if (which === 'live') {
      const address = record?.uri ?? (this.shown.kind === 'live' ? this.shown.address : '');
      if (!isWebAddress(address)) return this.deps.messages.show('info', 'There is no live page for this document.');
      if (event?.shiftKey || event?.ctrlKey || event?.metaKey) {
        window.open(address, '_blank', 'noopener,noreferrer');
        return undefined;
      }
      this.addressBox.value = address;
      return this.show('live', address, liveAddress(address));
    }
    if (!record) return this.deps.messages.show('info', NO_DOCUMENT);
    if (which === 'archived') {
      if (!record.bcuri) return this.deps.messages.show('info', 'This document has no archived copy.');
      this.addressBox.value = record.uri ?? '';
      return this.show('archived', record.bcuri, `/datafile?path=${encodeURIComponent(record.bcuri)}`);
    }
    return this.show('result', RESULT_PAGES[which], RESULT_PAGES[which]);
  }

  act(which) {
    if (which === 'analyze') {
      const record = this.deps.currentRecord();
      if (!this.showsStoredDocument(record)) {
        return this.deps.messages.show('info', 'Analyze works on a stored document: select one in the list.');
      }
      return this.deps.send('/api/analyze', { documents: [this.deps.documentRef(record)] });
    }
    if (this.shown.kind !== 'live') {
      return this.deps.messages.show('info', 'Save and Crawl work on a live page: open one first.');
    }
    return openAcquisition(which === 'save' ? 'savepage' : 'crawlpage', this.shown.address);
  }

  // ---- word bar ----

  // Takes the words of `text` (the list keeps all; five get buttons).
  setWords(text) {
    this.words = splitWords(text);
    this.q('#word-bar').replaceChildren(...this.words.slice(0, MAX_SHOWN_WORDS).map((word, i) => {
      const button = document.createElement('button');
      button.type = 'button';
      button.className = 'word';
      button.style.background = WORD_COLOURS[i];
      button.textContent = word;
      button.title = `Find next "${word}"`;
      button.dataset.script = findNextScript(this.words, i);
      button.addEventListener('click', () => this.findNext(i));
      return button;
    }));
    this.q('#highlight-button').dataset.script = highlightScript(this.words);
    this.q('#unhighlight-button').dataset.script = unhighlightScript(this.words);
  }

  // Posts a command to the agent of the page shown.
  post(command, fields = {}) {
    this.frame.contentWindow?.postMessage({ qora: 'frame', command, ...fields }, '*');
  }

  highlight() {
    if (highlightScript(this.words) === '') return;
    const shown = this.words.slice(0, MAX_SHOWN_WORDS);
    this.post('highlight', { words: shown, colours: WORD_COLOURS.slice(0, shown.length) });
  }

  unhighlight() {
    if (unhighlightScript(this.words) === '') return;
    this.post('unhighlight');
  }

  findNext(i) {
    if (findNextScript(this.words, i) === '') return;
    this.post('findNext', { word: this.words[i] });
  }

  editWords() {
    const dialog = this.q('#words-dialog') ?? document.querySelector('#words-dialog');
    const input = dialog.querySelector('#words-input');
    input.value = wordsText(this.words);
    dialog.returnValue = '';
    dialog.addEventListener('close', () => {
      if (dialog.returnValue !== 'ok') return;
      this.setWords(input.value);
      this.remember({ WordBar: { searchWords: wordsText(this.words) } });
    }, { once: true });
    dialog.showModal();
    input.focus();
  }

  // ---- the page's agent ----

  // Result pages are the application's own: the agent is added to them.
  addAgent() {
    let doc = null;
    try {
      doc = this.frame.contentDocument;
    } catch {
      return; // sandboxed: the server put the agent in
    }
    if (!doc || !doc.head || doc.querySelector('script[data-qora-agent]')) return;
    const script = doc.createElement('script');
    script.src = AGENT_PATH;
    script.dataset.qoraAgent = '';
    doc.head.append(script);
  }

  // Whether `href` is the address the frame was last sent to (a page that
  // was left may still report).
  isShown(href) {
    try {
      const shown = new URL(this.frame.getAttribute('src') ?? '', window.location.href);
      const told = new URL(String(href ?? ''), window.location.href);
      return shown.pathname === told.pathname && shown.search === told.search;
    } catch {
      return false;
    }
  }

  onAgentMessage(event) {
    if (event.source !== this.frame.contentWindow) return;
    const m = event.data;
    if (!m || typeof m !== 'object' || m.qora !== 'agent' || !AGENT_MESSAGES.has(m.type)) return;
    if (m.type === 'ready' && this.isShown(m.href)) this.frame.dataset.agent = 'ready';
    if (m.type === 'gonePastEnd') this.deps.messages.show('info', GONE_PAST_END);
    if (m.type === 'navigate' && typeof m.url === 'string' && isWebAddress(m.url)) {
      this.deps.whenIdle(() => {
        this.addressBox.value = m.url;
        this.remember(BrowserFrame.withHistory({}, ADDRESS_HISTORY, this.addressHistory(), m.url));
        this.show('live', m.url, liveAddress(m.url));
      })();
    }
  }

  wire() {
    const click = (selector, action) => this.q(selector).addEventListener('click', action);
    this.q('#address-form').addEventListener('submit', (event) => {
      event.preventDefault();
      this.deps.whenIdle(() => this.go(this.addressBox.value))();
    });
    this.q('#search-form').addEventListener('submit', (event) => {
      event.preventDefault();
      this.deps.whenIdle(() => this.quickSearch())();
    });
    this.q('#engine-chooser').addEventListener('change', (event) => {
      this.chooseEngine(Number(event.target.value));
    });
    this.q('#view-bar').addEventListener('click', (event) => {
      const button = event.target.closest('button[data-view]');
      if (button) this.deps.whenIdle(() => this.view(button.dataset.view, event))();
    });
    this.q('#action-bar').addEventListener('click', (event) => {
      const button = event.target.closest('button[data-action]');
      if (button) this.deps.whenIdle(() => this.act(button.dataset.action))();
    });
    click('#highlight-button', () => this.highlight());
    click('#unhighlight-button', () => this.unhighlight());
    click('#hide-ads-button', () => this.post('hideAds', { widths: [...AD_WIDTHS], tags: [...AD_TAGS] }));
    click('#print-button', () => this.post('print'));
    click('#edit-words-button', () => this.editWords());
    this.q('#hide-ads-button').dataset.script = hideAdsScript();
    this.q('#print-button').dataset.script = PRINT_SCRIPT;
    this.frame.addEventListener('load', () => this.addAgent());
    window.addEventListener('message', (event) => this.onAgentMessage(event));
  }
}
