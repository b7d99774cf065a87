// Files dropped anywhere on the window: a hint shows while they are
// dragged over it; on the drop the HTML and PDF files are uploaded one by
// one, and the local files dialog opens with them chosen. The files of
// other kinds are named in one message and left out.

import { carriesFiles, dragDepth, leftOutMessage, sortDropped, uploadPath, uploadedPath } from './drop_model.js';

export const BUSY_MESSAGE = 'Program is busy. Please wait.';

export class DropZone {
  // `app` gives: isBusy(), messages (MessageBox), postBytes(path, blob)
  // and openFiles(paths) (the local files dialog with `paths` chosen).
  constructor(root, hint, app) {
    this.hint = hint;
    this.app = app;
    this.depth = 0;
    this.uploading = false;
    root.addEventListener('dragenter', (event) => this.track(event));
    root.addEventListener('dragleave', (event) => this.track(event));
    root.addEventListener('dragend', (event) => this.track(event));
    root.addEventListener('dragover', (event) => {
      if (!carriesFiles(event.dataTransfer?.types)) return;
      // Without this the browser would open the file itself.
      event.preventDefault();
      event.dataTransfer.dropEffect = 'copy';
    });
    root.addEventListener('drop', (event) => {
      if (!carriesFiles(event.dataTransfer?.types)) return;
      event.preventDefault();
      this.track(event);
      this.take(Array.from(event.dataTransfer.files ?? []));
    });
  }

  track(event) {
    if (!carriesFiles(event.dataTransfer?.types)) return;
    if (event.type === 'dragenter') event.preventDefault();
    this.depth = dragDepth(this.depth, event.type);
    this.hint.hidden = this.depth === 0;
    document.body.classList.toggle('dragging-files', this.depth > 0);
  }

  // The dropped `files`: refused while busy (or while an earlier drop is
  // still uploading), else sorted, uploaded and handed to the dialog.
  async take(files) {
    if (this.app.isBusy() || this.uploading) {
      await this.app.messages.show('info', BUSY_MESSAGE);
      return;
    }
    const { importable, leftOut } = sortDropped(files);
    if (importable.length === 0 && leftOut.length === 0) return;
    this.uploading = true;
    try {
      const paths = await this.upload(importable);
      // The message waits for the user before the dialog opens over it.
      const message = leftOutMessage(leftOut.map((f) => f.name));
      if (message !== '') await this.app.messages.show('warning', message);
      if (paths.length > 0) await this.app.openFiles(paths);
    } finally {
      this.uploading = false;
    }
  }

  // Uploads `files` one after the other; the paths the server kept them
  // at, or none when one of them fails (its message is shown).
  async upload(files) {
    const paths = [];
    for (const file of files) {
      let path = '';
      try {
        path = uploadedPath(await this.app.postBytes(uploadPath(file.name), file));
        if (path === '') throw new Error('The QORA server did not say where it kept the file');
      } catch (error) {
        await this.app.messages.show('error', `${file.name} cannot be added: ${error.message}`);
        return [];
      }
      paths.push(path);
    }
    return paths;
  }
}
