// The progress bar steps by one on every poll while an operation runs and
// starts again from zero when it is full.

export const PROGRESS_MAX = 100;

export function stepProgress(value, busy, max = PROGRESS_MAX) {
  if (!busy) return 0;
  const next = (Number.isInteger(value) ? value : 0) + 1;
  return next > max ? 0 : next;
}
