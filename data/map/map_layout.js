// Where the concepts of a concept map stand in its picture: one circle per
// concept, its area growing with the concept's weight, the circles packed
// around the strongest one. The layout depends only on the concepts' order,
// weights and phrase counts, so one map always gives one picture. Pure
// functions: no DOM.

// Sizes in picture units (the picture is drawn at one unit a pixel when it
// fits the frame, and scaled down as a whole when it does not).
export const LAYOUT = Object.freeze({
  maxRadius: 170,    // the strongest concept
  minRadius: 78,     // the weakest concept with short phrases
  readableFontSize: 12,  // the phrase size a circle is made large enough for
  gap: 18,           // between two circles
  margin: 24,        // around the whole picture
  spiralStep: 0.12,  // radians between two tried places
  spiralGrowth: 6,   // how far the spiral moves out per radian
  lineHeight: 19,    // of the phrase lines inside a circle
  titleSize: 15,
  maxFontSize: 15,
  minFontSize: 10,
  charWidth: 0.6,    // a character's width in font sizes, roughly, for a wide sans-serif face
  boldWidth: 1.15,   // how much wider bold type runs
});

// The least radius at which every line of a concept (its title and
// phrases, stacked as circleLines stacks them) fits inside the circle at
// the readable font size, bold phrases included.
export function neededRadius(concept, layout = LAYOUT) {
  const texts = [`Concept ${concept.label ?? ''}`, ...concept.phrases.map((p) => p.text)];
  const first = -((texts.length - 1) * layout.lineHeight) / 2;
  let needed = layout.minRadius;
  texts.forEach((text, index) => {
    const half = (String(text).length * layout.charWidth * layout.boldWidth * layout.readableFontSize) / 2 + 12;
    const dy = Math.abs(first + index * layout.lineHeight) + layout.lineHeight / 2;
    needed = Math.max(needed, Math.hypot(half, dy));
  });
  // The line of the summary link sits near the bottom edge.
  return Math.max(needed, Math.abs(first) + layout.lineHeight * 2.5);
}

// The radius of each concept: proportional to the square root of its
// weight relative to the strongest (so areas compare as weights), never
// below what its lines need (neededRadius), never above the largest.
export function conceptRadii(concepts, layout = LAYOUT) {
  const weights = concepts.map((c) => (Number.isFinite(c.weight) ? Math.max(0, c.weight) : 0));
  const strongest = Math.max(0, ...weights);
  return concepts.map((concept, index) => {
    const share = strongest > 0 ? Math.sqrt(weights[index] / strongest) : 1;
    const needed = Math.min(layout.maxRadius, neededRadius(concept, layout));
    return Math.max(needed, layout.maxRadius * share);
  });
}

function overlaps(x, y, r, placed, gap) {
  return placed.some((p) => Math.hypot(x - p.x, y - p.y) < r + p.r + gap);
}

// The first place on an outward spiral around the origin where a circle of
// radius `r` touches none of `placed`. The spiral starts at angle -90
// degrees (above), so the second circle goes to the right of the first.
function spiralPlace(r, placed, layout) {
  for (let t = 0; ; t += layout.spiralStep) {
    const distance = layout.spiralGrowth * t;
    const angle = t - Math.PI / 2;
    const x = distance * Math.cos(angle);
    const y = distance * Math.sin(angle) * 0.75;  // the frame is wider than high
    if (!overlaps(x, y, r, placed, layout.gap)) return { x, y };
  }
}

// Circles {x, y, r} for the concepts in their order: the first (strongest)
// in the middle, each next one at the first free place of a spiral around
// it; then moved so that the picture starts at (margin, margin). Also the
// picture's width and height.
export function layoutConcepts(concepts, layout = LAYOUT) {
  const radii = conceptRadii(concepts, layout);
  const placed = [];
  for (const r of radii) {
    const { x, y } = placed.length === 0 ? { x: 0, y: 0 } : spiralPlace(r, placed, layout);
    placed.push({ x, y, r });
  }
  if (placed.length === 0) return { circles: [], width: 0, height: 0 };
  const left = Math.min(...placed.map((c) => c.x - c.r));
  const top = Math.min(...placed.map((c) => c.y - c.r));
  const right = Math.max(...placed.map((c) => c.x + c.r));
  const bottom = Math.max(...placed.map((c) => c.y + c.r));
  const round = (v) => Math.round(v * 10) / 10;
  return {
    circles: placed.map((c) => ({
      x: round(c.x - left + layout.margin),
      y: round(c.y - top + layout.margin),
      r: round(c.r),
    })),
    width: Math.ceil(right - left + 2 * layout.margin),
    height: Math.ceil(bottom - top + 2 * layout.margin),
  };
}

// The font size at which `text` fits `width`, bold or not, between the
// layout's least and largest sizes (at the least it may still run over).
export function fittingFontSize(text, width, layout = LAYOUT) {
  const length = Math.max(1, String(text).length);
  const size = width / (length * layout.charWidth * layout.boldWidth);
  return Math.max(layout.minFontSize, Math.min(layout.maxFontSize, Math.floor(size * 10) / 10));
}

// The lines drawn inside a circle: the concept's title, then its phrases,
// centred on the circle, each with its offset from the centre and a font
// size that fits the circle's width at that height.
export function circleLines(title, phrases, r, layout = LAYOUT) {
  const texts = [title, ...phrases];
  const first = -((texts.length - 1) * layout.lineHeight) / 2;
  return texts.map((text, index) => {
    const dy = first + index * layout.lineHeight;
    const half = Math.sqrt(Math.max(0, r * r - dy * dy));
    const width = Math.max(0, 2 * half - 16);
    const size = index === 0 ? layout.titleSize : fittingFontSize(text, width, layout);
    return { text, dy: Math.round(dy * 10) / 10, fontSize: size };
  });
}

// A strength from 0 to 1 for each phrase: its weight over the concept's
// strongest phrase weight (all 1 when no phrase has a positive weight).
export function phraseStrengths(phrases) {
  const strongest = Math.max(0, ...phrases.map((p) => p.weight));
  return phrases.map((p) => (strongest > 0 ? Math.max(0, p.weight) / strongest : 1));
}

// The fill hue of concept `index`: spread around the colour wheel by the
// golden angle so that neighbours differ, the same every time.
export function conceptHue(index) {
  return Math.round((210 + index * 137.508) % 360);
}

// How far right of a centred line of `text` at `fontSize` a mark placed
// after it stands: half the line's estimated width (as if bold) and a
// small space.
export function afterLineOffset(text, fontSize, layout = LAYOUT) {
  return Math.round((String(text).length * layout.charWidth * layout.boldWidth * fontSize) / 2 + 8);
}
