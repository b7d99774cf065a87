// The parts of a page's start that need no browser.
import assert from 'node:assert/strict';
import test from 'node:test';

import { dmlFileUrl, placeholderValue } from '../../data/common/page.js';

test('an unfilled placeholder reads as no value', () => {
  assert.equal(placeholderValue('<!-- XML FILE PATH -->'), '');
  assert.equal(placeholderValue('  \n'), '');
  assert.equal(placeholderValue(undefined), '');
  assert.equal(placeholderValue(' /tmp/pg/x_.dml\n'), '/tmp/pg/x_.dml');
});

test('the DML file is asked for by its whole path, escaped', () => {
  assert.equal(dmlFileUrl('/tmp/a b/c&d#e?.dml'), '/datafile?path=%2Ftmp%2Fa%20b%2Fc%26d%23e%3F.dml');
  assert.equal(dmlFileUrl('/t/\u00e9.dml'), '/datafile?path=%2Ft%2F%C3%A9.dml');
});
