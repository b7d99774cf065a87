// The browser frame's pure parts: the word bar's scripts, address
// completion, the quick search address, normal addresses and the address
// history.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import {
  GONE_PAST_END, PRINT_SCRIPT, findNextScript, hideAdsScript, highlightScript, splitWords,
  unhighlightScript, wordButtons,
} from '../../../web/js/wordbar.js';
import {
  completeAddress, hasScheme, liveAddress, normaliseAddress, quickSearchAddress, sameAddress,
} from '../../../web/js/address.js';
import {
  ADDRESS_HISTORY, KEYWORD_HISTORY, addToHistory, historyFromSection, historyToSection,
} from '../../../web/js/history.js';

const hl = (w, c) => `s='${w}';r=document.body.createTextRange();for(i=0;r.findText(s);i++)`
  + `{r.execCommand('BackColor','','${c}');r.collapse(false)}`;
const un = (w) => `s='${w}';r=document.body.createTextRange();for(i=0;r.findText(s);i++)`
  + "{r.execCommand('BackColor','',document.body.bgColor);r.collapse(false)}";

test('seven words: the scripts colour only the first five, each in its colour', () => {
  const words = splitWords('tidal power barrage lagoon turbine mill estuary');
  assert.equal(words.length, 7, 'the list keeps every word');
  assert.equal(highlightScript(words), 'javascript:xrt2d5_s={x:function(){var s,r;'
    + hl('tidal', 'magenta') + hl('power', 'yellow') + hl('barrage', 'lightgreen') + hl('lagoon', 'cyan')
    + hl('turbine', 'red') + '}};xrt2d5_s.x();');
  assert.equal(unhighlightScript(words), 'javascript:xrt2d5_s={x:function(){var s,r;'
    + un('tidal') + un('power') + un('barrage') + un('lagoon') + un('turbine') + '}};xrt2d5_s.x();');
});

test('one word, no word, and words with "$" go in as they are', () => {
  assert.equal(highlightScript(['tide']), `javascript:xrt2d5_s={x:function(){var s,r;${hl('tide', 'magenta')}}};xrt2d5_s.x();`);
  assert.equal(highlightScript([]), '');
  assert.equal(unhighlightScript(splitWords('   ')), '');
  assert.equal(highlightScript(["$&o'k"]), `javascript:xrt2d5_s={x:function(){var s,r;${hl("$&o'k", 'magenta')}}};xrt2d5_s.x();`);
});

test('find next names its word twice; a button beyond the words has no script', () => {
  const words = ['tidal', 'power', 'a', 'b', 'c', 'sixth'];
  assert.equal(findNextScript(words, 1), 'javascript:var ft45Xd3r=document.selection.createRange();'
    + "var dgT63sk=ft45Xd3r.text;dgT63sk=dgT63sk.toLowerCase();if(dgT63sk!='power'){ft45Xd3r="
    + "document.body.createTextRange();}else{ft45Xd3r.collapse(false);};if(ft45Xd3r.findText('power',"
    + "100000000)){ft45Xd3r.select();}else{document.selection.empty();alert('Gone past end');};");
  assert.equal(findNextScript(words, 5), '', 'the sixth word has no button');
  assert.equal(findNextScript(['tidal'], 1), '');
  assert.equal(findNextScript(['tidal'], -1), '');
  assert.equal(GONE_PAST_END, 'Gone past end');
});

test('the hide-ads and print scripts are fixed texts', () => {
  assert.equal(hideAdsScript(), "javascript:(function(){var szarry=new Array(118,120,336,392,468,728,750); "
    + 'd=document; function Im() {for(k=0;k<d.images.length;k++){var img = d.images[k]; kill=0; '
    + "for(m=0;m<7;m++){if(img.width==szarry[m]) kill=1;} if(kill){img.style.visibility='hidden';}}} "
    + "function K(N,t) { N.style.visibility='hidden';} function Z(t) { var T = d.getElementsByTagName(t), i; "
    + "for (i=T.length-1;i+1;--i) K(T[i],t); } Im(); Z('object'); Z('embed'); Z('applet'); Z('iframe');})();");
  assert.equal(PRINT_SCRIPT, 'javascript:window.print();');
});

test('several spaces make no empty buttons', () => {
  assert.deepEqual(wordButtons('  tide    mill '), [{ word: 'tide', colour: 'magenta' }, { word: 'mill', colour: 'yellow' }]);
  assert.deepEqual(wordButtons('    '), []);
});

test('address completion', () => {
  assert.equal(completeAddress('tides'), 'http://www.tides.com/');
  assert.equal(completeAddress('www.example.org'), 'http://www.example.org');
  assert.equal(completeAddress('example.COM/x'), 'http://example.COM/x');
  assert.equal(completeAddress('ftp://ftp.example.org/pub'), 'ftp://ftp.example.org/pub');
  assert.equal(completeAddress('HTTPS://Example.org'), 'HTTPS://Example.org');
  assert.equal(completeAddress('see about:blank'), 'see about:blank', 'a scheme anywhere keeps the text');
  assert.equal(completeAddress('http://x'), 'http://x');
  assert.ok(hasScheme('FTP://a') && hasScheme('res:x') && !hasScheme('www.x.com') && !hasScheme('x http://'));
});

test('the quick search address', () => {
  const engine = { url: 'https://html.duckduckgo.example/html/', pre: '?q=', post: '&n=' };
  assert.equal(quickSearchAddress(engine, 'tidal power  mill'),
    'https://html.duckduckgo.example/html/?q=tidal+power++mill&n=10');
  assert.equal(quickSearchAddress({ url: ' ', pre: ' ', post: ' ' }, 'x'), '  x 10');
  assert.equal(liveAddress('http://a.org/?q=1&b=2'), '/live?url=http%3A%2F%2Fa.org%2F%3Fq%3D1%26b%3D2');
});

test('normal addresses and their kinds', () => {
  assert.deepEqual(normaliseAddress('HTTP://Example.org/A%20B/'), { address: 'http://example.org/a b', kind: 'web' });
  assert.deepEqual(normaliseAddress('file:///home/u/Doc.htm'), { address: 'home/u/doc.htm', kind: 'file' });
  assert.deepEqual(normaliseAddress('file://C:\\docs\\x.htm'), { address: 'c:/docs/x.htm', kind: 'file' });
  assert.deepEqual(normaliseAddress('http://a.org/p#x#y'), { address: 'http://a.org/p#x', kind: 'web' });
  assert.deepEqual(normaliseAddress('#top'), { address: '#top', kind: 'other' });
  assert.deepEqual(normaliseAddress('JavaScript:void(0)'), { address: 'javascript:void(0)', kind: 'script' });
  assert.deepEqual(normaliseAddress('https://a.org/'), { address: 'https://a.org', kind: 'other' });
  assert.deepEqual(normaliseAddress('/'), { address: '/', kind: 'other' });
  assert.ok(sameAddress('http://A.org/x/', 'http://a.org/x#part'));
});

test('the address history: 10 entries in "History" as "AddressItem0".."AddressItem9"', () => {
  assert.deepEqual({ ...ADDRESS_HISTORY }, { section: 'History', prefix: 'AddressItem', limit: 10 });
  let list = [];
  for (let i = 0; i < 12; i += 1) list = addToHistory(list, `http://site${i}.org`, ADDRESS_HISTORY.limit);
  const section = historyToSection(list, ADDRESS_HISTORY.prefix, ADDRESS_HISTORY.limit);
  assert.equal(Object.keys(section).length, 10);
  assert.equal(section.AddressItem0, 'http://site11.org');
  assert.equal(section.AddressItem9, 'http://site2.org');
  assert.deepEqual(historyFromSection(section, 'AddressItem', 10), list);
  assert.equal(KEYWORD_HISTORY.limit, 20);
});
