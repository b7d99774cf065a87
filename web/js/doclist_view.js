// The library frame: the document list with its header, check boxes, icons
// and selection, and the frame title above it.

import { COLUMNS, UNSORTED, columnWidths, iconKind, nextSortState, rowTexts, sortRows } from './doclist_model.js';

function element(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}

export class DocumentList {
  // `frame` holds the title, the scroll area and the table; `onSelect` is
  // called with the record of a row the user selects.
  constructor(frame, { onSelect }) {
    this.onSelect = onSelect;
    this.titleNode = frame.querySelector('.frame-title');
    this.scroller = frame.querySelector('.list-scroll');
    this.table = frame.querySelector('table.doclist');
    this.rows = [];
    this.quick = false;
    this.sort = UNSORTED;
    this.buildHeader();
    new ResizeObserver(() => this.applyWidths()).observe(this.scroller);
  }

  buildHeader() {
    this.colgroup = element('colgroup');
    const headRow = element('tr');
    COLUMNS.forEach((column, index) => {
      this.colgroup.append(element('col'));
      const th = element('th');
      const button = element('button', 'sort-button');
      button.append(element('span', 'sort-label', column.title));
      button.type = 'button';
      button.dataset.column = String(index);
      button.addEventListener('click', () => this.sortBy(index));
      th.append(button);
      headRow.append(th);
    });
    const thead = element('thead');
    thead.append(headRow);
    this.tbody = element('tbody');
    this.table.replaceChildren(this.colgroup, thead, this.tbody);
  }

  applyWidths() {
    const widths = columnWidths(this.scroller.clientWidth);
    [...this.colgroup.children].forEach((col, i) => { col.style.width = `${widths[i]}px`; });
    this.table.style.width = `${widths.reduce((a, b) => a + b, 0)}px`;
  }

  // Replaces the rows by `records`, in list order, unsorted.
  setList({ title, quick, records }) {
    this.quick = Boolean(quick);
    this.rows = records.map((record, index) => ({ record, index, texts: rowTexts(record, this.quick),
      checked: false, selected: false }));
    this.sort = UNSORTED;
    this.titleNode.textContent = title;
    this.table.classList.toggle('quick', this.quick);
    this.render();
  }

  sortBy(column) {
    this.sort = nextSortState(this.sort, column);
    this.render();
  }

  render() {
    this.table.querySelectorAll('.sort-button').forEach((button) => {
      const column = Number(button.dataset.column);
      button.dataset.sorted = column === this.sort.column ? (this.sort.descending ? 'desc' : 'asc') : '';
    });
    this.tbody.replaceChildren(...sortRows(this.rows, this.sort).map((row) => this.renderRow(row)));
    this.applyWidths();
  }

  renderRow(row) {
    const tr = element('tr');
    tr.dataset.index = String(row.index);
    tr.classList.toggle('selected', row.selected);
    row.texts.forEach((text, column) => {
      const td = element('td');
      if (column === 0) td.append(this.checkBox(row), element('span', `icon icon-${iconKind(row.record.type)}`));
      td.append(element('span', 'cell-text', text));
      td.title = text;
      tr.append(td);
    });
    tr.addEventListener('click', (event) => {
      if (event.target instanceof HTMLInputElement) return;
      this.select(row);
    });
    return tr;
  }

  checkBox(row) {
    const box = element('input', 'row-check');
    box.type = 'checkbox';
    box.checked = row.checked;
    box.setAttribute('aria-label', `Check ${row.texts[0]}`);
    box.addEventListener('change', () => { row.checked = box.checked; });
    return box;
  }

  select(row) {
    this.rows.forEach((r) => { r.selected = r === row; });
    this.tbody.querySelectorAll('tr').forEach((tr) => {
      tr.classList.toggle('selected', tr.dataset.index === String(row.index));
    });
    this.onSelect(row.record);
  }

  // The records of the check-marked rows in list order; collecting them
  // clears the selection mark of every row.
  checkedRecords() {
    this.rows.forEach((r) => { r.selected = false; });
    this.tbody.querySelectorAll('tr.selected').forEach((tr) => tr.classList.remove('selected'));
    return this.rows.filter((r) => r.checked).map((r) => ({ ...r.record }));
  }

  // Takes the given records (by handle and document id) out of the list.
  remove(records) {
    const gone = new Set(records.map((r) => `${r.handle},${r.docid}`));
    this.rows = this.rows.filter((r) => !gone.has(`${r.record.handle},${r.record.docid}`));
    this.render();
  }
}
