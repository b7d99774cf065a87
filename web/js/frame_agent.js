// The frame agent: the one script of the application that runs inside a
// page shown in the browser frame (archived copies and live pages, which
// are sandboxed and have no scripts of their own, and result pages). It
// carries out the word bar's commands that the window posts to it and
// reports back; links to other sites go through the window, which shows
// them as live pages. The page's own markup may try to clobber globals by
// element names, so the interfaces used are taken from their prototypes.
(function agent() {
  'use strict';
  var MARK = 'data-qora-highlight';
  var listen = EventTarget.prototype.addEventListener;
  var createWalker = Document.prototype.createTreeWalker;
  var query = Document.prototype.querySelectorAll;
  var byTag = Document.prototype.getElementsByTagName;
  var doc = document;
  var win = window;
  var parentWindow = win.parent;

  function tell(message) {
    message.qora = 'agent';
    parentWindow.postMessage(message, '*');
  }

  // The text nodes of the body, in document order, outside scripts and
  // styles.
  function textNodes() {
    var nodes = [];
    if (!doc.body) return nodes;
    var walker = createWalker.call(doc, doc.body, NodeFilter.SHOW_TEXT, null);
    for (var node = walker.nextNode(); node; node = walker.nextNode()) {
      var parent = node.parentNode && node.parentNode.nodeName;
      if (parent !== 'SCRIPT' && parent !== 'STYLE' && parent !== 'NOSCRIPT') nodes.push(node);
    }
    return nodes;
  }

  // Gives every occurrence of `word` (any case) the background `colour`.
  function highlight(word, colour) {
    var needle = String(word).toLowerCase();
    if (needle === '') return;
    textNodes().forEach(function each(node) {
      var rest = node;
      for (;;) {
        var at = rest.data.toLowerCase().indexOf(needle);
        if (at < 0) return;
        var match = rest.splitText(at);
        rest = match.splitText(needle.length);
        var span = doc.createElement('span');
        span.setAttribute(MARK, '');
        span.style.backgroundColor = colour;
        match.parentNode.replaceChild(span, match);
        span.appendChild(match);
      }
    });
  }

  function unhighlight() {
    var spans = query.call(doc, 'span[' + MARK + ']');
    for (var i = spans.length - 1; i >= 0; i -= 1) {
      var span = spans[i];
      var parent = span.parentNode;
      while (span.firstChild) parent.insertBefore(span.firstChild, span);
      parent.removeChild(span);
      parent.normalize();
    }
  }

  // Selects the next occurrence of `word` after the selection when the
  // selection is that word, else the first one; none left: the selection
  // is emptied and the window says so.
  function findNext(word) {
    var needle = String(word).toLowerCase();
    var selection = win.getSelection();
    var after = null;
    if (selection && selection.rangeCount > 0 && selection.toString().toLowerCase() === needle) {
      after = selection.getRangeAt(0).cloneRange();
      after.collapse(false);
    }
    var nodes = textNodes();
    for (var n = 0; n < nodes.length && needle !== ''; n += 1) {
      var node = nodes[n];
      var text = node.data.toLowerCase();
      for (var at = text.indexOf(needle); at >= 0; at = text.indexOf(needle, at + 1)) {
        if (after && after.comparePoint(node, at) < 0) continue;
        var range = doc.createRange();
        range.setStart(node, at);
        range.setEnd(node, at + needle.length);
        selection.removeAllRanges();
        selection.addRange(range);
        if (node.parentElement) node.parentElement.scrollIntoView({ block: 'center' });
        tell({ type: 'found', word: word });
        return;
      }
    }
    if (selection) selection.removeAllRanges();
    tell({ type: 'gonePastEnd', word: word });
  }

  // Hides images of the usual banner widths and every plug-in and inner
  // frame, by visibility, so the page keeps its layout.
  function hideAds(widths, tags) {
    var images = doc.images;
    for (var k = 0; k < images.length; k += 1) {
      if (widths.indexOf(images[k].width) >= 0) images[k].style.visibility = 'hidden';
    }
    tags.forEach(function hide(tag) {
      var found = byTag.call(doc, tag);
      for (var i = found.length - 1; i >= 0; i -= 1) found[i].style.visibility = 'hidden';
    });
  }

  var COMMANDS = {
    highlight: function run(m) {
      var words = Array.isArray(m.words) ? m.words : [];
      var colours = Array.isArray(m.colours) ? m.colours : [];
      for (var i = 0; i < words.length && i < colours.length; i += 1) highlight(words[i], String(colours[i]));
    },
    unhighlight: function run() { unhighlight(); },
    findNext: function run(m) { findNext(m.word); },
    hideAds: function run(m) {
      hideAds(Array.isArray(m.widths) ? m.widths : [], Array.isArray(m.tags) ? m.tags.map(String) : []);
    },
    print: function run() { win.print(); },
  };

  listen.call(win, 'message', function onMessage(event) {
    if (event.source !== parentWindow) return;
    var m = event.data;
    if (!m || typeof m !== 'object' || m.qora !== 'frame' || !Object.prototype.hasOwnProperty.call(COMMANDS, m.command)) {
      return;
    }
    COMMANDS[m.command](m);
    tell({ type: 'done', command: m.command });
  });

  // Links to web pages of other sites are shown through the window; a link
  // within the page (a fragment) scrolls here.
  listen.call(doc, 'click', function onClick(event) {
    var link = event.target && event.target.closest ? event.target.closest('a[href]') : null;
    if (!link || event.defaultPrevented) return;
    var href = String(link.href);
    if (!/^https?:\/\//i.test(href)) return;
    var target;
    try {
      target = new URL(href);
    } catch (error) {
      return;
    }
    if (target.origin === win.location.origin) return; // the application's own pages
    var here = String(doc.baseURI).split('#')[0];
    if (target.hash && href.split('#')[0] === here) {
      event.preventDefault();
      var anchor = doc.getElementById(decodeURIComponent(target.hash.slice(1)));
      if (anchor) anchor.scrollIntoView();
      return;
    }
    event.preventDefault();
    tell({ type: 'navigate', url: href });
  }, true);

  // The page's own address: the frame may have moved on by the time this
  // arrives, and the window takes it only from the page it shows.
  tell({ type: 'ready', href: location.href });
}());
