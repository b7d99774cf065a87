// A Yes/No question titled "QORA" in an in-page modal dialog.

// Shows `text` in `dialog` and resolves with true for Yes, false for No
// (also when the dialog is closed with Escape).
export function ask(dialog, text) {
  return new Promise((resolve) => {
    dialog.querySelector('.question-text').textContent = String(text);
    const answer = (yes) => {
      dialog.removeEventListener('close', onClose);
      dialog.close();
      resolve(yes);
    };
    const onClose = () => resolve(false);
    dialog.querySelector('.question-yes').onclick = () => answer(true);
    dialog.querySelector('.question-no').onclick = () => answer(false);
    dialog.addEventListener('close', onClose, { once: true });
    dialog.showModal();
    dialog.querySelector('.question-no').focus();
  });
}
