// The word bar: the words being followed, of which the first five show as
// buttons, each with its own highlight colour, and the page scripts of the
// bar's commands.

export const WORD_COLOURS = Object.freeze(['magenta', 'yellow', 'lightgreen', 'cyan', 'red']);
export const MAX_SHOWN_WORDS = 5;
export const PRINT_SCRIPT = 'javascript:window.print();';
export const GONE_PAST_END = 'Gone past end';

// The words of `text`: split at spaces, trimmed, empty pieces dropped. The
// list keeps every word; only the first five get buttons.
export function splitWords(text) {
  return String(text ?? '').split(' ').map((w) => w.trim()).filter((w) => w !== '');
}

// The buttons shown: the first five words with their colours.
export function wordButtons(text) {
  return splitWords(text).slice(0, MAX_SHOWN_WORDS).map((word, i) => ({ word, colour: WORD_COLOURS[i] }));
}

// `template` with every occurrence of `marker` replaced by `value`, taken
// literally (no "$" patterns, as String.replace would apply).
function fill(template, marker, value) {
  return template.split(marker).join(value);
}

const HIGHLIGHT_STEP = "s='X_WORD_';r=document.body.createTextRange();for(i=0;r.findText(s);i++)"
  + "{r.execCommand('BackColor','','X_COLOR_');r.collapse(false)}";
const UNHIGHLIGHT_STEP = "s='X_WORD_';r=document.body.createTextRange();for(i=0;r.findText(s);i++)"
  + "{r.execCommand('BackColor','',document.body.bgColor);r.collapse(false)}";

function wordsScript(words, step) {
  const shown = words.slice(0, MAX_SHOWN_WORDS);
  if (shown.length === 0) return '';
  const steps = shown.map((word, i) => fill(fill(step, 'X_WORD_', word), 'X_COLOR_', WORD_COLOURS[i]));
  return `javascript:xrt2d5_s={x:function(){var s,r;${steps.join('')}}};xrt2d5_s.x();`;
}

// The script that colours every occurrence of each shown word ("" when
// there is no word). Words go in as they are, without escaping.
export function highlightScript(words) {
  return wordsScript(words, HIGHLIGHT_STEP);
}

// The script that gives the shown words the page's background again.
export function unhighlightScript(words) {
  return wordsScript(words, UNHIGHLIGHT_STEP);
}

const FIND_NEXT = 'javascript:var ft45Xd3r=document.selection.createRange();var dgT63sk=ft45Xd3r.text;'
  + "dgT63sk=dgT63sk.toLowerCase();if(dgT63sk!='X_WORD_'){ft45Xd3r=document.body.createTextRange();}"
  + "else{ft45Xd3r.collapse(false);};if(ft45Xd3r.findText('X_WORD_',100000000)){ft45Xd3r.select();}"
  + "else{document.selection.empty();alert('Gone past end');};";

// The script that selects the next occurrence of word `i`; "" for a button
// beyond the shown words.
export function findNextScript(words, i) {
  if (!Number.isInteger(i) || i < 0 || i >= Math.min(words.length, MAX_SHOWN_WORDS)) return '';
  return fill(FIND_NEXT, 'X_WORD_', words[i]);
}

const HIDE_ADS = 'javascript:(function(){var szarry=new Array(118,120,336,392,468,728,750); d=document; '
  + 'function Im() {for(k=0;k<d.images.length;k++){var img = d.images[k]; kill=0; for(m=0;m<7;m++)'
  + "{if(img.width==szarry[m]) kill=1;} if(kill){img.style.visibility='hidden';}}} "
  + "function K(N,t) { N.style.visibility='hidden';} function Z(t) { var T = d.getElementsByTagName(t), i; "
  + 'for (i=T.length-1;i+1;--i) K(T[i],t); } Im(); '
  + "Z('object'); Z('embed'); Z('applet'); Z('iframe');})();";

// The script that hides advertisements: images of the usual banner widths
// and every plug-in and inner frame.
export function hideAdsScript() {
  return HIDE_ADS;
}

// The banner widths hideAdsScript looks for, and the elements it hides.
export const AD_WIDTHS = Object.freeze([118, 120, 336, 392, 468, 728, 750]);
export const AD_TAGS = Object.freeze(['object', 'embed', 'applet', 'iframe']);

// The words the user typed in the "Edit Words on Bar" dialog, for the
// settings: the kept words joined by single spaces.
export function wordsText(words) {
  return words.join(' ');
}
