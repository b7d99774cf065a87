// The ScratchPad pane: a rich-text editor with a tool bar and a context
// menu (Undo, Cut, Clear, Copy, Paste, Time Stamp, Send to Word), passages
// sent from result pages added at its end, and its content kept as RTF in
// the data folder: read at start, saved every two minutes and when the
// window closes, each time only when it changed since the last save.

import { readRtf, writeRtf } from './rtf.js';
import { htmlFromParagraphs, paragraphsFromNodes, passageText, timeStamp } from './scratch.js';

export const SAVE_INTERVAL_MS = 120000;
export const PASTE_REFUSED = 'The browser does not let QORA read the clipboard here. Please paste with Ctrl+V.';
// A request sent while the page goes away may carry at most 64 kB when it
// is to outlive the page; a larger pad is sent as an ordinary request.
const KEEPALIVE_LIMIT = 60000;

export class ScratchPad {
  // `pane` holds the editor (#scratch-pad) and its tool bar
  // (.scratch-tools), `menu` is the context menu; `api` has getJson and
  // postJson of api.js, `messages` a MessageBox, and `chooseExportPath()`
  // resolves to the path Send to Word writes, or null when cancelled.
  constructor(pane, menu, { api, messages, chooseExportPath }) {
    this.pad = pane.querySelector('#scratch-pad');
    this.menu = menu;
    this.api = api;
    this.messages = messages;
    this.chooseExportPath = chooseExportPath;
    this.loaded = false; // nothing is saved unless the stored pad was read
    this.saved = '';
    this.wireCommands(pane.querySelector('.scratch-tools'));
    this.wireMenu();
  }

  // ---- commands ----

  wireCommands(toolbar) {
    for (const container of [toolbar, this.menu]) {
      // A press on a command leaves the pad's selection and focus alone.
      container.addEventListener('mousedown', (event) => {
        if (event.target.closest('[data-command]')) event.preventDefault();
      });
      container.addEventListener('click', (event) => {
        const button = event.target.closest('[data-command]');
        if (!button) return;
        this.hideMenu();
        this.run(button.dataset.command);
      });
    }
  }

  wireMenu() {
    this.pad.addEventListener('contextmenu', (event) => {
      event.preventDefault();
      this.menu.hidden = false;
      let { clientX: x, clientY: y } = event;
      if (x === 0 && y === 0) {
        // Opened from the keyboard: at the selection.
        const selection = window.getSelection();
        const rect = selection.rangeCount > 0 ? selection.getRangeAt(0).getBoundingClientRect() : null;
        const pad = this.pad.getBoundingClientRect();
        x = rect && rect.height > 0 ? rect.left : pad.left + 10;
        y = rect && rect.height > 0 ? rect.bottom : pad.top + 10;
      }
      const box = this.menu.getBoundingClientRect();
      this.menu.style.left = `${Math.max(0, Math.min(x, window.innerWidth - box.width - 4))}px`;
      this.menu.style.top = `${Math.max(0, Math.min(y, window.innerHeight - box.height - 4))}px`;
    });
    document.addEventListener('mousedown', (event) => {
      if (!this.menu.hidden && !this.menu.contains(event.target)) this.hideMenu();
    });
    document.addEventListener('keydown', (event) => {
      if (event.key === 'Escape') this.hideMenu();
    });
  }

  hideMenu() {
    this.menu.hidden = true;
  }

  // Runs the command `name` of the tool bar or the menu.
  run(name) {
    const edit = (command, value) => {
      this.focus();
      document.execCommand(command, false, value);
    };
    switch (name) {
      case 'undo': return edit('undo');
      case 'cut': return edit('cut');
      case 'copy': return edit('copy');
      case 'clear':
        this.selectAll();
        return edit('delete');
      case 'paste': return this.paste();
      // insertText replaces the selection as one step of the editor's undo.
      case 'timestamp': return edit('insertText', timeStamp(new Date()));
      case 'word': return this.sendToWord();
      default: return undefined;
    }
  }

  focus() {
    if (document.activeElement !== this.pad) this.pad.focus();
  }

  selectAll() {
    this.focus();
    const range = document.createRange();
    range.selectNodeContents(this.pad);
    const selection = window.getSelection();
    selection.removeAllRanges();
    selection.addRange(range);
  }

  // Pastes the clipboard's formatted text (cleaned to what the pad keeps)
  // or else its plain text. Browsers may refuse to hand the clipboard to a
  // page; the user is then told to paste with Ctrl+V.
  async paste() {
    this.focus();
    try {
      const clipboard = navigator.clipboard;
      if (!clipboard) throw new Error('no clipboard');
      if (clipboard.read) {
        const items = await clipboard.read();
        const item = items.find((i) => i.types.includes('text/html'));
        if (item) {
          const html = await (await item.getType('text/html')).text();
          const parsed = new DOMParser().parseFromString(html, 'text/html');
          this.focus();
          document.execCommand('insertHTML', false, htmlFromParagraphs(paragraphsFromNodes(parsed.body)));
          return;
        }
      }
      const text = await clipboard.readText();
      this.focus();
      document.execCommand('insertText', false, text);
    } catch {
      this.messages.show('info', PASTE_REFUSED);
    }
  }

  async sendToWord() {
    const path = await this.chooseExportPath();
    if (path === null) return;
    try {
      await this.api.postJson('/api/scratch/export', { path, rtf: this.rtf() });
    } catch (error) {
      this.messages.show('error', error.message);
    }
  }

  // ---- passages ----

  // Adds `passage` at the end of the text, in a paragraph of its own, as
  // one step the user can undo, and scrolls to it.
  insertPassage(passage) {
    const paragraphs = paragraphsFromNodes(this.pad);
    const last = paragraphs.length === 0 ? '' : paragraphs[paragraphs.length - 1].map((r) => r.text).join('');
    this.focus();
    const range = document.createRange();
    range.selectNodeContents(this.pad);
    range.collapse(false);
    const selection = window.getSelection();
    selection.removeAllRanges();
    selection.addRange(range);
    document.execCommand('insertText', false, passageText(last, passage));
    this.pad.scrollTop = this.pad.scrollHeight;
  }

  // ---- storage ----

  // The pad's content as RTF.
  rtf() {
    return writeRtf(paragraphsFromNodes(this.pad));
  }

  changed() {
    return this.loaded && this.rtf() !== this.saved;
  }

  // Reads the stored pad; the pad takes typing only from then on, and its
  // data-state tells "loaded" or "unreadable". When it cannot be read the
  // pad is never saved, so the file keeps what it holds.
  async load() {
    try {
      const answer = await this.api.getJson('/api/scratch');
      if (typeof answer?.rtf !== 'string') throw new Error('the QORA server sent no RTF text');
      this.pad.innerHTML = htmlFromParagraphs(readRtf(answer.rtf));
      this.saved = this.rtf();
      this.loaded = true;
    } catch (error) {
      this.messages.show('error', `The scratch pad could not be read (${error.message}); `
        + 'it will not be saved during this session.');
    }
    this.pad.contentEditable = 'true';
    this.pad.dataset.state = this.loaded ? 'loaded' : 'unreadable';
  }

  // Saves the pad when it changed since the last save; resolves to whether
  // it saved.
  async save() {
    if (!this.changed()) return false;
    const rtf = this.rtf();
    try {
      await this.api.postJson('/api/scratch', { rtf });
    } catch (error) {
      this.messages.show('error', `The scratch pad was not saved: ${error.message}`);
      return false;
    }
    this.saved = rtf;
    return true;
  }

  // The save of a page that goes away: a request that outlives the page.
  saveOnLeave() {
    if (!this.changed()) return;
    const rtf = this.rtf();
    const body = JSON.stringify({ rtf });
    fetch('/api/scratch', { method: 'POST', headers: { 'Content-Type': 'application/json' }, body,
      keepalive: body.length < KEEPALIVE_LIMIT })
      .then((response) => { if (response.ok) this.saved = rtf; })
      .catch(() => {});
  }

  // Saves every `intervalMs` and when the window is hidden or closed.
  startSaving(intervalMs = SAVE_INTERVAL_MS) {
    setInterval(() => this.save(), intervalMs);
    window.addEventListener('pagehide', () => this.saveOnLeave());
    document.addEventListener('visibilitychange', () => {
      if (document.visibilityState === 'hidden') this.saveOnLeave();
    });
  }
}
