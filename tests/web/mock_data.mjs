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

// The folders of the machine the mock pretends to run on: each folder's
// sub-folders and its HTML and PDF files, as GET /api/folders lists them.
export const FOLDERS = Object.freeze({
  '/': { folders: ['home', 'mock', 'srv'], files: [] },
  '/home': { folders: ['ada', 'user'], files: [] },
  '/home/ada': { folders: ['papers', 'saved pages'], files: ['notes.html'] },
  '/home/ada/papers': { folders: ['old'], files: ['barrages.pdf', 'lagoons.htm', 'tides.html'] },
  '/home/ada/papers/old': { folders: [], files: ['1998 survey.pdf'] },
  '/home/ada/saved pages': { folders: [], files: ['turbines.htm'] },
  '/home/user': { folders: ['Documents'], files: [] },
  '/home/user/Documents': { folders: [], files: ['tides.htm'] },
  '/mock': { folders: ['qoralibs'], files: [] },
  '/mock/qoralibs': { folders: ['html', 'libraries', 'template'], files: ['notes.htm'] },
  '/mock/qoralibs/html': { folders: [], files: ['map_.htm'] },
  '/mock/qoralibs/libraries': { folders: [], files: [] },
  '/mock/qoralibs/template': { folders: [], files: [] },
  '/srv': { folders: [], files: [] },
});

// The listing of `path` ('' is the root), or null when there is no such
// folder.
export function folderListing(path) {
  const clean = String(path ?? '').replace(/\/+$/, '') || '/';
  const folder = FOLDERS[clean];
  if (!folder) return null;
  const parent = clean === '/' ? '' : clean.slice(0, clean.lastIndexOf('/')) || '/';
  return { path: clean, parent, folders: [...folder.folders], files: [...folder.files] };
}

// The documents an acquisition stores in `library`: `count` pages named
// after their addresses.
export function acquiredDocuments(library, handle, addresses, count) {
  return Array.from({ length: count }, (_, i) => {
    const uri = addresses[i % addresses.length] ?? `http://example.org/found/${i}.htm`;
    return { handle, docid: `${library.ident}n${library.documents.length + i}`, name: `${uri} (${i + 1})`,
      rank: i + 1, size: String(3000 + i * 17), date: '6/1/2005 9:00 AM', type: '.htm', uri, source: '',
      library: library.name };
  });
}
