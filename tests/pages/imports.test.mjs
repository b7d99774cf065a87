// Every import of the page scripts names a module that exists and the
// names it takes are exported there: the pages load their modules in the
// browser only, so a broken import would otherwise show first as a blank
// page. Checked on the text, without running the page entry modules.
import assert from 'node:assert/strict';
import { readdirSync, readFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import test from 'node:test';
import { fileURLToPath, pathToFileURL } from 'node:url';

const DATA = resolve(dirname(fileURLToPath(import.meta.url)), '../../data');
const IMPORT = /import\s*\{([^}]*)\}\s*from\s*'([^']+)'/g;

function scripts() {
  return readdirSync(DATA, { withFileTypes: true })
    .filter((entry) => entry.isDirectory())
    .flatMap((folder) => readdirSync(join(DATA, folder.name))
      .filter((name) => name.endsWith('.js'))
      .map((name) => join(DATA, folder.name, name)));
}

test('the page scripts import only names their modules export', async () => {
  const files = scripts();
  assert.ok(files.length >= 10, `only ${files.length} scripts found`);
  for (const file of files) {
    for (const [, names, specifier] of readFileSync(file, 'utf8').matchAll(IMPORT)) {
      assert.ok(specifier.startsWith('./') || specifier.startsWith('../'), `${file}: ${specifier}`);
      const target = resolve(dirname(file), specifier);
      const exported = await import(pathToFileURL(target));
      for (const name of names.split(',').map((n) => n.trim()).filter(Boolean)) {
        assert.ok(name in exported, `${file} imports ${name}, which ${specifier} lacks`);
      }
    }
  }
});

// Each template loads its own entry module and style sheets from the
// data folder, under the application's /data/ addresses.
test('the templates name resources that exist', () => {
  for (const kind of ['map', 'csum', 'csumry', 'sumry', 'sum']) {
    const page = readFileSync(join(DATA, kind, `${kind}.htm`), 'utf8');
    const resources = [...page.matchAll(/(?:src|href)="\/data\/([^"]+)"/g)].map((m) => m[1]);
    assert.ok(resources.includes(`${kind}/${kind}.js`), `${kind}.htm does not load ${kind}.js`);
    for (const resource of resources) {
      assert.doesNotThrow(() => readFileSync(join(DATA, resource)), `${kind}.htm: ${resource}`);
    }
  }
});
