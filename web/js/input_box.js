// A one-line text dialog: a title, a prompt and a text field with OK and
// Cancel, in an in-page modal dialog.

// Shows `dialog` with `title`, `prompt` and `text` in its field; resolves
// with the field's text on OK (or Enter), null on Cancel or Escape.
export function askText(dialog, title, prompt, text) {
  return new Promise((resolve) => {
    const field = dialog.querySelector('.input-text');
    dialog.querySelector('.input-title').textContent = title;
    dialog.querySelector('.input-prompt').textContent = prompt;
    field.value = text ?? '';
    let answer = null;
    const finish = () => {
      dialog.removeEventListener('close', finish);
      resolve(answer);
    };
    dialog.querySelector('.input-ok').onclick = () => {
      answer = field.value;
      dialog.close();
    };
    dialog.querySelector('.input-cancel').onclick = () => dialog.close();
    field.onkeydown = (event) => {
      if (event.key !== 'Enter') return;
      event.preventDefault();
      answer = field.value;
      dialog.close();
    };
    dialog.addEventListener('close', finish);
    dialog.showModal();
    field.select();
  });
}
