// The "sumry" page: the strongest sentences of one document.
import { showSummary } from '../common/summary_view.js';

showSummary({
  combined: false,
  whole: false,
  heading: 'Summary',
  partner: { href: 'sum_.htm', label: 'whole text' },
});
