// The scratch pad collects passages sent from result pages.

// The pad's text after adding `passage` at its end, on a line of its own.
export function appendPassage(text, passage) {
  const before = String(text ?? '');
  const separator = before === '' || before.endsWith('\n') ? '' : '\n';
  return `${before}${separator}${passage}\n`;
}
