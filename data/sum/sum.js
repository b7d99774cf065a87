// The "sum" page: the whole text of one document, each sentence highlighted by its weight.
import { showSummary } from '../common/summary_view.js';

showSummary({
  combined: false,
  whole: true,
  heading: 'Whole text',
  partner: { href: 'sumry_.htm', label: 'summary' },
});
