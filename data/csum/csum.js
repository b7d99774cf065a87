// The "csum" page: the strongest sentences of each document of a combined summary.
import { showSummary } from '../common/summary_view.js';

showSummary({
  combined: true,
  whole: false,
  heading: 'Combined summary',
  partner: { href: 'csumry_.htm', label: 'whole texts' },
});
