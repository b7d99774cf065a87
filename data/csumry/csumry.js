// The "csumry" page: the whole texts of the documents of a combined summary, each sentence highlighted by its weight.
import { showSummary } from '../common/summary_view.js';

showSummary({
  combined: true,
  whole: true,
  heading: 'Combined summary: whole texts',
  partner: { href: 'csum_.htm', label: 'summary' },
});
