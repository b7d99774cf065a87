// The research dialog: a text page (keywords, passage or concepts) or the
// documents page, then the library page with its check boxes. On OK it
// remembers the text and sends the research.

import {
  DIALOGS, documentColumnWidths, initialText, libraryColumnWidths, libraryDecision,
  researchRequest, settingsUpdate, sizeInKb, textDecision,
} from './research_model.js';
import { iconKind } from './doclist_model.js';
import { appendHistoryPick } from './history.js';

const TEXT_LABELS = {
  keywords: 'Keywords:',
  passage: 'Passage:',
  concepts: 'Selected concepts:',
};

function cell(text, className) {
  const td = document.createElement('td');
  if (className) td.className = className;
  td.textContent = text ?? '';
  td.title = text ?? '';
  return td;
}

function setColumnWidths(table, widths) {
  const cols = widths.map((w) => {
    const col = document.createElement('col');
    col.style.width = `${w}px`;
    return col;
  });
  const group = document.createElement('colgroup');
  group.append(...cols);
  table.querySelector('colgroup')?.remove();
  table.prepend(group);
}

export class ResearchDialog {
  // `app` gives: api (getJson/postJson), messages (MessageBox), settings()
  // (the last settings read), history() (the keyword history) and
  // rememberSettings(update) after a confirmed dialog.
  constructor(dialog, historyDialog, app) {
    this.dialog = dialog;
    this.historyDialog = historyDialog;
    this.app = app;
    this.checkedLibraries = new Set();
    this.pageIndex = 0;
    this.q = (selector) => dialog.querySelector(selector);
    this.q('.back-button').addEventListener('click', () => this.showPage(this.pageIndex - 1));
    this.q('.next-button').addEventListener('click', () => this.next());
    this.q('.ok-button').addEventListener('click', () => this.confirm());
    this.q('.cancel-button').addEventListener('click', () => this.dialog.close());
    this.q('.history-button').addEventListener('click', () => this.openHistory());
    historyDialog.querySelector('.history-ok').addEventListener('click', () => this.pickHistory());
    historyDialog.querySelector('.history-cancel').addEventListener('click', () => historyDialog.close());
    historyDialog.querySelector('.history-list').addEventListener('dblclick', () => this.pickHistory());
  }

  // Opens the dialog of `kind` with `text` (or the remembered text) and the
  // `documents` to use as the query.
  async open(kind, text, documents = []) {
    const dialogKind = DIALOGS[kind];
    this.kind = kind;
    this.documents = documents;
    this.pages = [dialogKind.page === 'documents' ? 'documents' : 'text'];
    if (dialogKind.libraries) this.pages.push('libraries');
    this.dialog.dataset.kind = kind;
    this.q('.dialog-title').textContent = dialogKind.title;
    this.q('.text-label').textContent = TEXT_LABELS[dialogKind.page] ?? '';
    this.q('.research-text').value = initialText(kind, text, this.app.settings());
    this.q('.history-button').hidden = dialogKind.page !== 'keywords';
    this.fillDocuments();
    if (!this.dialog.open) this.dialog.showModal();
    this.showPage(0);
    if (dialogKind.libraries) await this.loadLibraries();
  }

  showPage(index) {
    this.pageIndex = Math.max(0, Math.min(index, this.pages.length - 1));
    const page = this.pages[this.pageIndex];
    this.dialog.querySelectorAll('.page').forEach((section) => {
      section.hidden = section.dataset.page !== page;
    });
    const last = this.pageIndex === this.pages.length - 1;
    this.q('.back-button').hidden = this.pageIndex === 0;
    this.q('.next-button').hidden = last;
    this.q('.ok-button').hidden = !last;
    if (page === 'text') this.q('.research-text').focus();
  }

  text() {
    return this.q('.research-text').value;
  }

  // The text page is left only with something to research with.
  async next() {
    if (await this.refuse(textDecision(this.kind, this.text(), this.documents))) return;
    this.showPage(this.pageIndex + 1);
  }

  async refuse(decision) {
    if (decision.ok) return false;
    await this.app.messages.show('warning', decision.message);
    return true;
  }

  async confirm() {
    if (await this.refuse(textDecision(this.kind, this.text(), this.documents))) return;
    const libraries = this.checkedIdents();
    const needsLibraries = DIALOGS[this.kind].libraries;
    if (needsLibraries && await this.refuse(libraryDecision(libraries.length))) return;
    const kind = this.kind;
    const text = this.text();
    this.dialog.close();
    const update = settingsUpdate(kind, text, this.app.history());
    if (update) await this.app.rememberSettings(update);
    await this.app.send('/api/research', researchRequest(kind, text, libraries, this.documents));
  }

  // ---- documents page ----

  fillDocuments() {
    const table = this.q('.documents-table');
    const body = table.querySelector('tbody');
    body.replaceChildren(...this.documents.map((record) => {
      const tr = document.createElement('tr');
      const title = cell(record.name);
      const icon = document.createElement('span');
      icon.className = `icon icon-${iconKind(record.type)}`;
      title.prepend(icon);
      tr.append(title, cell(record.library), cell(record.uri));
      return tr;
    }));
    requestAnimationFrame(() => setColumnWidths(table, documentColumnWidths(table.parentElement.clientWidth)));
  }

  // ---- library page ----

  async loadLibraries() {
    let libraries;
    try {
      libraries = await this.app.api.getJson('/api/libraries');
    } catch (error) {
      await this.app.messages.show('error', error.message);
      return;
    }
    if (!Array.isArray(libraries)) {
      await this.app.messages.show('error', 'The QORA server sent a list of libraries that is not a list');
      return;
    }
    this.fillLibraries(libraries.filter((l) => l && typeof l.ident === 'string'));
  }

  fillLibraries(libraries) {
    const known = new Set(libraries.map((l) => l.ident));
    this.checkedLibraries = new Set([...this.checkedLibraries].filter((ident) => known.has(ident)));
    const table = this.q('.libraries-table');
    table.querySelector('tbody').replaceChildren(...libraries.map((library) => this.libraryRow(library)));
    setColumnWidths(table, libraryColumnWidths(table.parentElement.clientWidth || 480));
  }

  libraryRow(library) {
    const tr = document.createElement('tr');
    const name = cell('');
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.className = 'library-check';
    box.value = library.ident;
    box.checked = this.checkedLibraries.has(library.ident);
    box.setAttribute('aria-label', `Check ${library.name ?? library.ident}`);
    box.addEventListener('change', () => {
      if (box.checked) this.checkedLibraries.add(library.ident);
      else this.checkedLibraries.delete(library.ident);
    });
    const label = document.createElement('span');
    label.textContent = library.name ?? library.ident;
    name.append(box, label);
    tr.append(name, cell(String(library.documents ?? ''), 'number'),
      cell(sizeInKb(library.bytes), 'number'), cell(library.date ?? ''));
    return tr;
  }

  // The check-marked libraries in the order the list shows them.
  checkedIdents() {
    return [...this.dialog.querySelectorAll('.library-check')].filter((b) => b.checked).map((b) => b.value);
  }

  // ---- keyword history ----

  openHistory() {
    const list = this.historyDialog.querySelector('.history-list');
    list.replaceChildren(...this.app.history().map((entry) => {
      const option = document.createElement('option');
      option.value = entry;
      option.textContent = entry;
      return option;
    }));
    this.historyDialog.showModal();
  }

  pickHistory() {
    const list = this.historyDialog.querySelector('.history-list');
    if (list.value !== '') {
      const area = this.q('.research-text');
      area.value = appendHistoryPick(area.value, list.value);
    }
    this.historyDialog.close();
  }
}
