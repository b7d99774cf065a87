// The libraries and documents that the mock server pretends to hold.

const NAMES = [
  'Tidal Energy', 'Wind Power', 'Solar Cells', 'Grid Storage', 'Hydro Dams', 'Geothermal',
  'Biofuels', 'Nuclear Fusion', 'Wave Farms', 'Heat Pumps', 'Smart Meters', 'Hydrogen',
];
const TYPES = ['.htm', '.pdf', '.txt', '.html'];
const TOPICS = ['overview', 'costs', 'history', 'turbines', 'policy', 'field study', 'survey', 'outlook'];

function pad(n) {
  return String(n).padStart(2, '0');
}

// A date in the list's form "M/D/YYYY H:MM AM|PM", one a month apart.
function dateText(i) {
  const hour = (i * 5) % 12 + 1;
  return `${(i % 12) + 1}/${(i % 27) + 1}/${2001 + (i % 4)} ${hour}:${pad((i * 7) % 60)} ${i % 2 ? 'PM' : 'AM'}`;
}

// Library `index` (from 0) with its documents; the library's store handle
// is index + 1.
function makeLibrary(index) {
  const ident = `lib${pad(index + 1)}`;
  const name = NAMES[index];
  const count = 3 + (index % 6);
  const documents = [];
  for (let d = 0; d < count; d += 1) {
    const n = index * 10 + d;
    documents.push({
      handle: index + 1,
      docid: `d${ident}x${d}`,
      name: `${name}: ${TOPICS[d % TOPICS.length]}`,
      rank: d + 1 + 1e-8,
      size: String(1200 + ((n * 7919) % 90000)),
      date: dateText(n),
      type: TYPES[(index + d) % TYPES.length],
      uri: `http://example.org/${ident}/doc${d}${TYPES[(index + d) % TYPES.length]}`,
      source: '',
      library: name,
    });
  }
  const bytes = documents.reduce((sum, doc) => sum + Number(doc.size), 0);
  return { ident, name, documents, bytes, date: dateText(index * 3) };
}

export function makeLibraries() {
  return NAMES.map((_, i) => makeLibrary(i));
}

// The answer of GET /api/libraries.
export function librarySummaries(libraries) {
  return libraries.map(({ ident, name, documents, bytes, date }) => ({
    ident, name, documents: documents.length, bytes: String(bytes), date,
  }));
}

// A result page with command links, as the installed templates write them.
export function resultPage(name) {
  return `<!DOCTYPE html><html><head><meta charset="utf-8"><title>${name}</title></head>
<body style="font-family: sans-serif">
<h3>Result page ${name}</h3>
<p>Concepts: <a id="kw-link" href="/localservlets/queryKeywords?kw=tidal+power">tidal power</a>,
<a id="passage-link" href="/localservlets/exportPassage?passage=Tides%20turn%20turbines.">export passage</a>,
<a id="concept-link" href="/localservlets/queryConcepts?concept=12+13+">research concepts</a>.</p>
</body></html>`;
}

// A small made-up tree of folders for the file choosers, each with its
// sub-folders and its HTML and PDF files.
const FOLDERS = {
  '/': { folders: ['home', 'mock'], files: [] },
  '/home': { folders: ['user'], files: [] },
  '/home/user': { folders: ['Documents'], files: [] },
  '/home/user/Documents': { folders: [], files: ['tides.htm'] },
  '/mock': { folders: ['qoralibs'], files: [] },
  '/mock/qoralibs': { folders: ['html', 'libraries', 'template'], files: ['notes.htm'] },
  '/mock/qoralibs/html': { folders: [], files: ['map_.htm'] },
  '/mock/qoralibs/libraries': { folders: [], files: [] },
  '/mock/qoralibs/template': { folders: [], files: [] },
};

// The listing of `path` as GET /api/folders answers it, or null when the
// tree has no such folder.
export function folderListing(path) {
  const folder = path === '/' ? '/' : String(path).replace(/\/+$/, '') || '/';
  const entry = FOLDERS[folder];
  if (!entry) return null;
  const parent = folder === '/' ? '' : folder.slice(0, folder.lastIndexOf('/')) || '/';
  return { path: folder, parent, folders: [...entry.folders], files: [...entry.files] };
}
