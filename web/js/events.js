// Checks of the events that arrive with each poll, so that a malformed event
// is reported in words instead of breaking the page.

const LEVELS = new Set(['info', 'warning', 'error']);
const DIALOG_KINDS = new Set(['keywords', 'passage', 'concepts', 'documents', 'websearch']);

const isString = (v) => typeof v === 'string';
const isBool = (v) => typeof v === 'boolean';

// Per event type: a function returning the problem with the event, or ''.
const CHECKS = {
  message: (e) => (!LEVELS.has(e.level) ? 'unknown level' : !isString(e.text) ? 'no text' : ''),
  dialog: (e) => (!DIALOG_KINDS.has(e.dialog) ? 'unknown dialog' : ''),
  busy: (e) => (!isBool(e.busy) ? 'busy is not true or false' : ''),
  completion: (e) => (!Number.isInteger(e.code) ? 'code is not an integer' : ''),
  list: (e) => (!Array.isArray(e.records) ? 'records is not a list'
    : e.records.some((r) => !r || typeof r !== 'object') ? 'a record is not an object' : ''),
  page: (e) => (!isString(e.url) || e.url === '' ? 'no url'
    : !/^(\/|https?:\/\/)/i.test(e.url) ? 'an address that is neither a path nor a web address' : ''),
  title: (e) => (!isString(e.text) ? 'no text' : ''),
  wordbar: (e) => (!isString(e.words) ? 'no words' : ''),
  scratch: (e) => (!isString(e.passage) ? 'no passage' : ''),
};

// '' when the event can be shown, else a sentence saying what is wrong.
export function eventProblem(event) {
  if (!event || typeof event !== 'object') return 'The server sent an event that is not an object.';
  const check = CHECKS[event.type];
  if (!check) return `The server sent an event of unknown type "${String(event.type)}".`;
  const problem = check(event);
  return problem === '' ? '' : `The server sent a "${event.type}" event with ${problem}.`;
}

// The poll answer's fields, checked: { ok, busy, status, seq, events } or
// { ok: false, problem }.
export function readPollAnswer(answer) {
  if (!answer || typeof answer !== 'object') return { ok: false, problem: 'The poll answer is not an object.' };
  if (!Number.isInteger(answer.seq)) return { ok: false, problem: 'The poll answer has no event number.' };
  return {
    ok: true,
    busy: answer.busy === true,
    status: isString(answer.status) ? answer.status : '',
    seq: answer.seq,
    events: Array.isArray(answer.events) ? answer.events : [],
  };
}

// Completion codes after which the list of libraries may have changed:
// searches, crawls and imports into a library and the library operations.
const LIBRARY_CHANGING_CODES = new Set([0, 2, 3, 4, 5, 15, 16]);

export function completionChangesLibraries(code) {
  return LIBRARY_CHANGING_CODES.has(code);
}
