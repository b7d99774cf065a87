// The "Manage Libraries" window: the user's libraries with check boxes and
// the commands New, Merge, Empty, Erase and Repair on the checked ones. The
// list is filled when the window opens and again after every command ends.

import {
  NONE_CHECKED, confirmation, managerColumnWidths, managerRow, mergeDecision, newLibraryName,
} from './library_manager_model.js';
import { askText } from './input_box.js';
import { ask } from './question_box.js';

const BUSY_MESSAGE = 'Program is busy. Please wait.';
const COLUMNS = ['Library Name', '', 'NumDocs', 'Size(kB)', 'Date'];
const NUMERIC = new Set([2, 3]);

export class LibraryManager {
  // `app` gives: getJson, send (POST, failures shown), messages (MessageBox),
  // inputDialog and questionDialog (the dialogs of input_box.js and
  // question_box.js), and isBusy().
  constructor(dialog, app) {
    this.dialog = dialog;
    this.app = app;
    this.table = dialog.querySelector('table.manager-list');
    this.libraries = [];
    this.now = '';
    this.drawHead();
    const on = (name, action) => dialog.querySelector(`.manager-${name}`).addEventListener('click', () => {
      if (this.app.isBusy()) return this.app.messages.show('info', BUSY_MESSAGE);
      return action();
    });
    on('new', () => this.makeNew());
    on('merge', () => this.merge());
    on('empty', () => this.emptyOrErase('empty'));
    on('erase', () => this.emptyOrErase('erase'));
    on('repair', () => this.app.send('/api/manager', { command: 'repair' }));
    dialog.querySelector('.manager-close').addEventListener('click', () => dialog.close());
  }

  get isOpen() {
    return this.dialog.open;
  }

  async open() {
    this.dialog.showModal();
    await this.refill();
  }

  // Reads the list again and redraws it (check marks are cleared).
  async refill() {
    let answer;
    try {
      answer = await this.app.getJson('/api/manager');
    } catch (error) {
      // Refused while an operation runs: its end fills the list again.
      if (error.message !== BUSY_MESSAGE) this.app.messages.show('error', error.message);
      return;
    }
    this.libraries = Array.isArray(answer?.libraries) ? answer.libraries : [];
    this.now = typeof answer?.now === 'string' ? answer.now : '';
    this.drawRows();
  }

  drawHead() {
    const row = document.createElement('tr');
    row.append(document.createElement('th'));
    COLUMNS.forEach((text, index) => {
      const th = document.createElement('th');
      th.textContent = text;
      if (NUMERIC.has(index)) th.className = 'number';
      row.append(th);
    });
    this.table.createTHead().append(row);
    this.table.createTBody();
  }

  drawRows() {
    const widths = managerColumnWidths(this.table.clientWidth || 680);
    this.table.querySelector('colgroup')?.remove();
    const group = document.createElement('colgroup');
    group.append(document.createElement('col'));
    for (const width of widths) {
      const col = document.createElement('col');
      col.style.width = `${width}px`;
      group.append(col);
    }
    this.table.prepend(group);
    const body = this.table.tBodies[0];
    body.replaceChildren(...this.libraries.map((library, index) => {
      const tr = document.createElement('tr');
      tr.dataset.index = String(index);
      const box = document.createElement('input');
      box.type = 'checkbox';
      box.className = 'manager-check';
      box.value = library.ident;
      box.setAttribute('aria-label', library.name);
      const first = document.createElement('td');
      first.append(box);
      tr.append(first);
      managerRow(library).forEach((text, column) => {
        const td = document.createElement('td');
        td.textContent = text;
        if (NUMERIC.has(column)) td.className = 'number';
        tr.append(td);
      });
      tr.addEventListener('click', (event) => {
        if (event.target !== box) box.checked = !box.checked;
      });
      return tr;
    }));
  }

  // The libraries of the checked rows, in list order.
  checked() {
    return [...this.table.querySelectorAll('.manager-check')]
      .map((box, index) => (box.checked ? this.libraries[index] : null))
      .filter(Boolean);
  }

  async makeNew() {
    const name = await askText(this.app.inputDialog, 'Name for the new library', 'Library Name:',
      newLibraryName(this.now));
    if (name === null) return;
    await this.app.send('/api/manager', { command: 'new', name });
  }

  async merge() {
    const checked = this.checked();
    const decision = mergeDecision(checked, this.now);
    if (decision.refuse) return this.app.messages.show(decision.level ?? 'warning', decision.refuse);
    const name = await askText(this.app.inputDialog, 'Name for the merged library', 'Merged Library Name:',
      decision.ask);
    if (name === null) return undefined;
    return this.app.send('/api/manager', { command: 'merge', name, libraries: checked.map((l) => l.ident) });
  }

  async emptyOrErase(command) {
    const checked = this.checked();
    if (checked.length === 0) return this.app.messages.show('warning', NONE_CHECKED);
    const confirmed = [];
    for (const library of checked) {
      if (await ask(this.app.questionDialog, confirmation(command, library.name))) confirmed.push(library.ident);
    }
    if (confirmed.length === 0) return undefined;
    return this.app.send('/api/manager', { command, libraries: confirmed });
  }
}
