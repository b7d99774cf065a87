// The command links of the result pages. A click on one navigates the
// page's frame to an address under the command prefix; the application
// never lets the frame go there but turns the command into the next
// research, summary or scratch-pad entry.

export const COMMAND_PREFIX = '/localservlets/';

// Characters of a command's argument that a browser or a query reader
// would otherwise take as part of the address's structure: blanks (which
// the command reader turns back from "%20"), the escape character itself,
// a fragment mark, a parameter separator, and "+", which separates words
// and concept handles in the commands and so cannot stand inside a word.
const ARGUMENT_ESCAPES = { ' ': '%20', '%': '%25', '#': '%23', '&': '%26', '+': '%2B' };

// `text` fit to stand inside a command argument: white space runs become
// one blank, the ends are trimmed, and the characters above are escaped.
// Other characters stay as they are (the browser sends letters beyond
// ASCII as UTF-8 escapes).
export function commandArgument(text) {
  return String(text ?? '')
    .replace(/\s+/g, ' ')
    .trim()
    .replace(/[ %#&+]/g, (c) => ARGUMENT_ESCAPES[c]);
}

// The words of `text` as the keyword commands take them: joined by "+".
export function keywordArgument(text) {
  return String(text ?? '')
    .split(/\s+/)
    .filter((word) => word !== '')
    .map(commandArgument)
    .join('+');
}

// The concept list of the concept commands: every handle followed by "+"
// (which the application turns into the ";" that closes each handle, so
// the last handle counts too). Handles that are not positive whole
// numbers are left out.
export function conceptArgument(handles) {
  return [].concat(handles)
    .map(Number)
    .filter((handle) => Number.isInteger(handle) && handle > 0)
    .map((handle) => `${handle}+`)
    .join('');
}

function command(name, argument) {
  return COMMAND_PREFIX + name + argument;
}

// Research the libraries with the words of `text` as keywords.
export function keywordResearchLink(text) {
  return command('queryKeywords?kw=', keywordArgument(text));
}

// Add the words of `text` to the remembered keywords.
export function addKeywordsLink(text) {
  return command('addKeyWords2Query?kw=', keywordArgument(text));
}

// Summary of the current document or selection biased to the words.
export function keywordSummaryLink(text) {
  return command('biasedSummary?kw=', keywordArgument(text));
}

// Research the libraries with the concepts named by their handles.
export function conceptResearchLink(handles) {
  return command('queryConcepts?concept=', conceptArgument(handles));
}

// Summary biased to the concepts named by their handles.
export function conceptSummaryLink(handles) {
  return command('biasedSummary?concept=', conceptArgument(handles));
}

// Research the libraries with a passage.
export function passageResearchLink(passage) {
  return command('queryPassage?passage=', commandArgument(passage));
}

// Summary biased to a passage.
export function passageSummaryLink(passage) {
  return command('biasedSummary?passage=', commandArgument(passage));
}

// Put a passage into the scratch pad.
export function exportPassageLink(passage) {
  return command('exportPassage?passage=', commandArgument(passage));
}

// Show the concept map shown before the current one (level 1) or the one
// before that (level 2).
export function earlierMapLink(level) {
  return command('lastConceptMap?level=', String(level));
}
