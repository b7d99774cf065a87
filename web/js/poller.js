// Asks the server every `intervalMs` for its state and the events after the
// last one seen, from event `after` on (a page that opens does not replay
// what earlier pages were shown). The next poll starts only when the
// previous one is done.

import { readPollAnswer } from './events.js';

export function startPolling({ getJson, intervalMs = 150, onAnswer, onFailure, after: first = 0 }) {
  let after = Number.isInteger(first) && first > 0 ? first : 0;
  let stopped = false;
  async function poll() {
    if (stopped) return;
    try {
      const answer = readPollAnswer(await getJson(`/api/poll?after=${after}`));
      if (answer.ok) {
        after = answer.seq;
        onAnswer(answer);
      } else {
        onFailure(answer.problem);
      }
    } catch (error) {
      onFailure(error.message);
    }
    setTimeout(poll, intervalMs);
  }
  poll();
  return () => { stopped = true; };
}
