// Message boxes titled "QORA" shown one at a time in an in-page modal
// dialog; messages that arrive while one is open wait their turn.

const LEVEL_ICONS = { info: 'i', warning: '!', error: '\u00d7' };

export class MessageBox {
  constructor(dialog) {
    this.dialog = dialog;
    this.queue = [];
    this.showing = false;
    this.title = dialog.querySelector('.message-title');
    this.icon = dialog.querySelector('.message-icon');
    this.text = dialog.querySelector('.message-text');
    dialog.querySelector('.message-ok').addEventListener('click', () => dialog.close());
    dialog.addEventListener('close', () => this.next());
  }

  // Shows `text` with the icon of `level`; resolves when the user closes it.
  show(level, text, title = 'QORA') {
    return new Promise((resolve) => {
      this.queue.push({ level: LEVEL_ICONS[level] ? level : 'info', text: String(text), title, resolve });
      if (!this.showing) this.next();
    });
  }

  next() {
    if (this.current) this.current.resolve();
    this.current = this.queue.shift();
    this.showing = Boolean(this.current);
    if (!this.current) return;
    const { level, text, title } = this.current;
    this.dialog.dataset.level = level;
    this.title.textContent = title;
    this.icon.textContent = LEVEL_ICONS[level];
    this.text.textContent = text;
    this.dialog.showModal();
    this.dialog.querySelector('.message-ok').focus();
  }
}
