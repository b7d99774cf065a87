// Heights of the three stacked panes (document list, preview, scratch pad)
// from the "Appearance" settings, with the defaults and limits of the
// desktop layout. All divisions are integer divisions.

const div = (a, b) => Math.trunc(a / b);

// The defaults for a window `height` x `width` pixels.
export function defaultEdges(height, width) {
  return {
    vSplitterEdge1: div(9 * height, 40),
    vSplitterEdge2: div(9 * height, 10),
    frameRight: div(4 * width, 5),
  };
}

function integerOr(value, fallback) {
  const n = Number(value);
  return Number.isInteger(n) ? n : fallback;
}

// The two pane boundaries, in pixels from the top, for a window `height`
// high: stored values where they are integers, else the defaults, kept so
// that the first and third panes are at least 9·H/50 high and the second at
// least 10 pixels. The scratch pad's minimum wins over the default second
// boundary of 9·H/10, which would leave it only H/10.
export function paneEdges(appearance, height, width) {
  const defaults = defaultEdges(height, width);
  const section = appearance && typeof appearance === 'object' ? appearance : {};
  const minimum = div(9 * height, 50);
  let edge1 = integerOr(section.vSplitterEdge1, defaults.vSplitterEdge1);
  let edge2 = integerOr(section.vSplitterEdge2, defaults.vSplitterEdge2);
  edge1 = Math.max(edge1, minimum);
  edge2 = Math.min(edge2, height - minimum);
  if (edge2 - edge1 < 10) {
    edge1 = Math.max(minimum, Math.min(edge1, edge2 - 10));
    edge2 = edge1 + 10;
  }
  return { edge1, edge2 };
}
