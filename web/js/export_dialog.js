// The dialog of Send to Word: a folder of this machine, listed by the
// server (GET /api/folders), in which the user opens sub-folders or goes up,
// and the name of the file to write there ("scratch.doc" at first).

export const DEFAULT_EXPORT_NAME = 'scratch.doc';

// `folder` + '/' + `name`, with one separator between them.
export function joinPath(folder, name) {
  return `${folder.replace(/\/+$/, '')}/${name}`;
}

export class ExportDialog {
  // `dialog` is the <dialog> element; `getJson` reads the folder listings;
  // `messages` shows why a folder cannot be listed.
  constructor(dialog, { getJson, messages }) {
    this.dialog = dialog;
    this.getJson = getJson;
    this.messages = messages;
    this.folder = '/';
    this.parent = '';
    this.pathText = dialog.querySelector('.export-folder');
    this.list = dialog.querySelector('.export-list');
    this.name = dialog.querySelector('.export-name');
    this.name.value = DEFAULT_EXPORT_NAME;
    this.resolve = null;
    dialog.querySelector('.export-up').addEventListener('click', () => {
      if (this.parent !== '') this.show(this.parent);
    });
    dialog.querySelector('.export-save').addEventListener('click', () => this.finish(joinPath(this.folder, this.name.value.trim())));
    dialog.querySelector('.export-cancel').addEventListener('click', () => this.finish(null));
    dialog.addEventListener('close', () => this.finish(null));
  }

  // Opens the dialog on `folder` (the last one chosen when it was opened
  // before), with the default file name. Resolves to the chosen file's path, or null when cancelled.
  // The name is sent as typed: the server refuses what it cannot write.
  async choose(folder) {
    if (this.resolve) return null;
    const chosen = new Promise((resolve) => { this.resolve = resolve; });
    this.name.value = DEFAULT_EXPORT_NAME;
    this.dialog.showModal();
    if (!(await this.show(this.chosen ?? folder ?? '/'))) await this.show('/');
    this.name.focus();
    return chosen;
  }

  finish(path) {
    if (!this.resolve) return;
    const resolve = this.resolve;
    this.resolve = null;
    if (path !== null) this.chosen = this.folder;
    if (this.dialog.open) this.dialog.close();
    resolve(path);
  }

  // Lists `folder`; false (with a message) when the server cannot.
  async show(folder) {
    let listing;
    try {
      listing = await this.getJson(`/api/folders?path=${encodeURIComponent(folder)}`);
    } catch (error) {
      this.messages.show('error', error.message);
      return false;
    }
    this.folder = String(listing.path ?? folder);
    this.parent = String(listing.parent ?? '');
    this.pathText.textContent = this.folder;
    const entry = (name, kind, action) => {
      const item = document.createElement('li');
      item.className = `export-${kind}`;
      item.setAttribute('role', 'option');
      item.textContent = kind === 'folder' ? `${name}/` : name;
      item.addEventListener('click', action);
      return item;
    };
    this.list.replaceChildren(
      ...(listing.folders ?? []).map((name) => entry(name, 'folder', () => this.show(joinPath(this.folder, name)))),
      ...(listing.files ?? []).map((name) => entry(name, 'file', () => { this.name.value = name; })));
    return true;
  }
}
