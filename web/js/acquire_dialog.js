// The acquisition dialogs on the page: the internet dialog in each of its
// modes, the new-library wizard and the local files dialog share one
// dialog whose pages are shown in the order the mode needs. On OK the
// pages' values go to the settings, then the request to /api/acquire.

import {
  ENGINE_COUNT, LOCAL_TITLE, WIZARD_CHOICES, WIZARD_TITLE, internetDialog, internetRequest, joinPath,
  localRequest, pageDecision, pageValues, readListing, settingsUpdate, storedWizardChoice, toggleFile,
  wizardPlan,
} from './acquire_model.js';

// The settings section each reset button empties, and the page it refills.
const RESET_PAGES = { CrawlerOptions: 'crawler', AdvancedOptions: 'advanced' };

export class AcquireDialog {
  // `app` gives: api (getJson), messages (MessageBox), settings() (the last
  // settings read), history() (the keyword history), rememberSettings(update),
  // resetSection(section) and send(path, body).
  constructor(dialog, app) {
    this.dialog = dialog;
    this.app = app;
    this.pages = [];
    this.pageIndex = 0;
    this.local = { mode: '', files: [] };
    this.listing = null;
    this.q = (selector) => dialog.querySelector(selector);
    this.section = (page) => dialog.querySelector(`.page[data-page="${page}"]`);
    this.q('.back-button').addEventListener('click', () => this.showPage(this.pageIndex - 1));
    this.q('.next-button').addEventListener('click', () => this.next());
    this.q('.ok-button').addEventListener('click', () => this.confirm());
    this.q('.cancel-button').addEventListener('click', () => this.dialog.close());
    dialog.querySelectorAll('.reset-button').forEach((button) => {
      button.addEventListener('click', () => this.reset(button.dataset.section));
    });
    this.buildEngineRows();
    this.buildChoices();
    this.wireLocalPage();
    this.q('.target-name').addEventListener('input', () => this.chooseTarget('new'));
    this.q('.target-library').addEventListener('change', () => this.chooseTarget('library'));
  }

  // ---- opening ----

  // The internet dialog of `mode`; the page modes act on `address`.
  async openInternet(mode, address = '') {
    const dialog = internetDialog(mode, address);
    if (!dialog.ok) {
      await this.app.messages.show('error', dialog.message);
      return;
    }
    this.kind = 'internet';
    this.mode = mode;
    this.address = address;
    await this.start(dialog.title, dialog.pages);
  }

  // The new-library wizard: its choice page, then the pages of the choice.
  async openWizard() {
    this.kind = 'wizard';
    this.mode = '';
    const choice = storedWizardChoice(this.app.settings());
    this.dialog.querySelectorAll('input[name="wizard-mode"]').forEach((radio) => {
      radio.checked = radio.value === choice;
    });
    await this.start(WIZARD_TITLE, ['choice']);
  }

  // The local files dialog; with `chosen` (the paths of dropped files) it
  // opens in its files mode with them chosen, on the target page.
  async openLocal(chosen = []) {
    this.kind = 'local';
    this.mode = 'local';
    await this.start(LOCAL_TITLE, ['local', 'target'], chosen);
  }

  async start(title, pages, chosen = []) {
    this.pages = pages;
    this.dialog.dataset.kind = this.kind;
    this.q('.dialog-title').textContent = title;
    for (const page of ['keywords', 'start', 'engines', 'crawler', 'advanced', 'local', 'target']) {
      this.fillPage(page, pageValues(page, this.app.settings()));
    }
    if (chosen.length > 0) this.chooseFiles(chosen);
    this.listing = null;
    if (!this.dialog.open) this.dialog.showModal();
    this.showPage(chosen.length > 0 ? this.pages.indexOf('target') : 0);
    // The chooser lists folders only for the dialogs that may add local files.
    const local = this.kind === 'local' || this.kind === 'wizard';
    await Promise.all([this.loadLibraries(), local ? this.showFolder(this.local.folder) : null]);
  }

  showPage(index) {
    this.pageIndex = Math.max(0, Math.min(index, this.pages.length - 1));
    const page = this.pages[this.pageIndex];
    this.dialog.querySelectorAll('.page').forEach((section) => {
      section.hidden = section.dataset.page !== page;
    });
    // The wizard's pages follow its choice page, which is never the last.
    const last = this.pageIndex === this.pages.length - 1 && page !== 'choice';
    this.q('.back-button').hidden = this.pageIndex === 0;
    this.q('.next-button').hidden = last;
    this.q('.ok-button').hidden = !last;
    // The wizard fills a new library: the existing ones are not offered.
    const wizard = this.kind === 'wizard';
    this.q('.existing-line').hidden = wizard;
    this.q('.target-library').hidden = wizard;
    this.section('target').querySelector('input[value="new"]').hidden = wizard;
  }

  // ---- paging ----

  async refuse(decision) {
    if (decision.ok) return false;
    await this.app.messages.show('warning', decision.message);
    return true;
  }

  async next() {
    const page = this.pages[this.pageIndex];
    if (page === 'choice') {
      await this.leaveChoice();
      return;
    }
    if (await this.refuse(pageDecision(page, this.readPage(page), this.mode))) return;
    this.showPage(this.pageIndex + 1);
  }

  // The wizard's choice is remembered, and its pages follow the choice page.
  async leaveChoice() {
    const chosen = this.dialog.querySelector('input[name="wizard-mode"]:checked')?.value ?? '';
    const plan = wizardPlan(chosen);
    if (await this.refuse(plan)) return;
    await this.app.rememberSettings({ Settings: { newLibMode: Number(chosen) } });
    this.mode = plan.mode;
    this.pages = ['choice', ...plan.pages];
    this.showPage(1);
  }

  // Every page is checked again (Back may have changed one); the first that
  // fails is shown with its message.
  async confirm() {
    const values = {};
    for (const [index, page] of this.pages.entries()) {
      if (page === 'choice') continue;
      values[page] = this.readPage(page);
      const decision = pageDecision(page, values[page], this.mode);
      if (!decision.ok) {
        this.showPage(index);
        await this.refuse(decision);
        return;
      }
    }
    const pages = this.pages.filter((p) => p !== 'choice');
    const request = pages.includes('local') ? localRequest(values, this.mode)
      : internetRequest(this.mode, values, this.address);
    this.dialog.close();
    const update = settingsUpdate(pages, values, this.app.history());
    if (Object.keys(update).length > 0) await this.app.rememberSettings(update);
    await this.app.send('/api/acquire', request);
  }

  // The reset buttons bring their page back to the defaults.
  async reset(section) {
    await this.app.resetSection(section);
    const page = RESET_PAGES[section];
    this.fillPage(page, pageValues(page, this.app.settings()));
  }

  // ---- the pages' fields ----

  fillPage(page, values) {
    const section = this.section(page);
    switch (page) {
      case 'keywords':
        this.q('#acquire-keywords').value = values.keywords;
        break;
      case 'start':
        this.q('#acquire-addresses').value = values.addresses;
        break;
      case 'engines':
        values.engines.forEach((engine, i) => {
          section.querySelector(`.engine-on[data-engine="${i}"]`).checked = engine.on;
          section.querySelector(`.engine-results[data-engine="${i}"]`).value = engine.results;
        });
        break;
      case 'local':
        this.local = { mode: '', files: [], folder: values.folder };
        this.dialog.querySelectorAll('input[name="local-mode"]').forEach((radio) => { radio.checked = false; });
        this.fillFields(section, values);
        this.showLocalMode();
        break;
      case 'target':
        this.q('.target-name').value = values.name;
        this.dialog.querySelectorAll('input[name="target-kind"]').forEach((radio) => {
          radio.checked = radio.value === values.kind;
        });
        break;
      default:
        this.fillFields(section, values);
    }
  }

  fillFields(section, values) {
    section.querySelectorAll('[data-field]').forEach((input) => {
      const value = values[input.dataset.field];
      if (input.type === 'checkbox') input.checked = value === true;
      else input.value = value ?? '';
    });
  }

  readFields(section) {
    const values = {};
    section.querySelectorAll('[data-field]').forEach((input) => {
      values[input.dataset.field] = input.type === 'checkbox' ? input.checked : input.value;
    });
    return values;
  }

  readPage(page) {
    const section = this.section(page);
    switch (page) {
      case 'keywords':
        return { keywords: this.q('#acquire-keywords').value };
      case 'start':
        return { addresses: this.q('#acquire-addresses').value };
      case 'engines':
        return { engines: Array.from({ length: ENGINE_COUNT }, (_, i) => ({
          on: section.querySelector(`.engine-on[data-engine="${i}"]`).checked,
          results: section.querySelector(`.engine-results[data-engine="${i}"]`).value,
        })) };
      case 'local':
        // A folder choice takes the folder the chooser shows.
        return { ...this.readFields(section), mode: this.local.mode, files: this.local.files.slice(),
          folder: this.listing?.path ?? '' };
      case 'target':
        return {
          kind: this.dialog.querySelector('input[name="target-kind"]:checked')?.value ?? '',
          name: this.q('.target-name').value,
          library: this.q('.target-library').value,
        };
      default:
        return this.readFields(section);
    }
  }

  buildEngineRows() {
    const rows = Array.from({ length: ENGINE_COUNT }, (_, i) => {
      const tr = document.createElement('tr');
      const name = document.createElement('td');
      const label = document.createElement('label');
      const box = document.createElement('input');
      box.type = 'checkbox';
      box.className = 'engine-on';
      box.dataset.engine = String(i);
      label.append(box, ` Engine ${i + 1}`);
      name.append(label);
      const count = document.createElement('td');
      const input = document.createElement('input');
      input.type = 'text';
      input.inputMode = 'numeric';
      input.className = 'engine-results';
      input.dataset.engine = String(i);
      input.setAttribute('aria-label', `Results of engine ${i + 1}`);
      count.append(input);
      tr.append(name, count);
      return tr;
    });
    this.section('engines').querySelector('tbody').replaceChildren(...rows);
  }

  buildChoices() {
    this.section('choice').querySelector('.choice-list').replaceChildren(
      ...Object.entries(WIZARD_CHOICES).map(([value, { label }]) => {
        const line = document.createElement('label');
        const radio = document.createElement('input');
        radio.type = 'radio';
        radio.name = 'wizard-mode';
        radio.value = value;
        line.append(radio, ` ${label}`);
        return line;
      }));
  }

  // ---- the target page ----

  chooseTarget(kind) {
    const radio = this.dialog.querySelector(`input[name="target-kind"][value="${kind}"]`);
    radio.checked = true;
  }

  async loadLibraries() {
    const select = this.q('.target-library');
    select.replaceChildren();
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
    select.replaceChildren(...libraries.filter((l) => l && typeof l.ident === 'string')
      .map((l) => new Option(`${l.name ?? l.ident} (${l.documents ?? 0})`, l.ident)));
  }

  // ---- the local files page ----

  wireLocalPage() {
    this.dialog.querySelectorAll('input[name="local-mode"]').forEach((radio) => {
      radio.addEventListener('change', () => {
        this.local.mode = radio.value;
        this.showLocalMode();
      });
    });
    this.q('.folder-path').addEventListener('keydown', (event) => {
      if (event.key === 'Enter') this.showFolder(this.q('.folder-path').value);
    });
  }

  // The files mode with `paths` chosen.
  chooseFiles(paths) {
    this.local.mode = 'files';
    this.local.files = paths.slice();
    this.dialog.querySelector('input[name="local-mode"][value="files"]').checked = true;
    this.showLocalMode();
  }

  showLocalMode() {
    const folder = this.local.mode === 'folder';
    this.q('.folder-limits').hidden = !folder;
    const count = this.local.files.length;
    this.q('.chosen-count').textContent = folder ? 'The folder shown is added.'
      : `${count} file${count === 1 ? '' : 's'} chosen`;
    const list = this.q('.chosen-list');
    list.hidden = folder || count === 0;
    list.replaceChildren(...(folder ? [] : this.local.files.map((path) => this.chosenItem(path))));
  }

  // A chosen file in the list under the chooser; its button takes it out.
  chosenItem(path) {
    const item = document.createElement('li');
    item.className = 'chosen-file';
    const name = document.createElement('span');
    name.textContent = path;
    name.title = path;
    const remove = document.createElement('button');
    remove.type = 'button';
    remove.className = 'unchoose-button';
    remove.textContent = 'Remove';
    remove.setAttribute('aria-label', `Remove ${path}`);
    remove.addEventListener('click', () => {
      this.local.files = toggleFile(this.local.files, path, false);
      this.dialog.querySelectorAll('.file-check').forEach((box) => {
        if (box.value === path) box.checked = false;
      });
      this.showLocalMode();
    });
    item.append(name, remove);
    return item;
  }

  // Shows the folders and the HTML and PDF files of `path`; a folder that
  // cannot be shown leaves the message under the list (and the root is
  // shown instead when the first folder fails).
  async showFolder(path, fallBack = true) {
    let listing;
    try {
      listing = readListing(await this.app.api.getJson(`/api/folders?path=${encodeURIComponent(path ?? '')}`));
    } catch (error) {
      listing = { ok: false, message: error.message };
    }
    if (!listing.ok) {
      if (fallBack && this.listing === null && path) return this.showFolder('', false);
      this.q('.folder-error').textContent = listing.message;
      return;
    }
    this.listing = listing;
    this.q('.folder-error').textContent = '';
    this.q('.folder-path').value = listing.path;
    const items = [];
    if (listing.parent) items.push(this.folderItem('.. (up)', listing.parent));
    for (const name of listing.folders) items.push(this.folderItem(`${name}/`, joinPath(listing.path, name)));
    for (const name of listing.files) items.push(this.fileItem(name, joinPath(listing.path, name)));
    this.q('.folder-list').replaceChildren(...items);
  }

  folderItem(label, path) {
    const item = document.createElement('li');
    item.className = 'folder';
    item.textContent = label;
    item.addEventListener('click', () => this.showFolder(path));
    return item;
  }

  fileItem(name, path) {
    const item = document.createElement('li');
    item.className = 'file';
    const label = document.createElement('label');
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.className = 'file-check';
    box.value = path;
    box.checked = this.local.files.includes(path);
    // Ticking a file chooses the files mode.
    box.addEventListener('change', () => {
      this.local.files = toggleFile(this.local.files, path, box.checked);
      if (box.checked && this.local.mode !== 'files') {
        this.local.mode = 'files';
        this.dialog.querySelector('input[name="local-mode"][value="files"]').checked = true;
      }
      this.showLocalMode();
    });
    label.append(box, name);
    item.append(label);
    return item;
  }
}
