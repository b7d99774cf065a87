// Sizes the three panes from the "Appearance" settings and lets the user
// move the two splitters; a moved splitter is remembered on release.

import { paneEdges } from './layout.js';

export function setUpPanes(appearance, remember) {
  const panes = document.querySelector('#panes');
  let edges = { edge1: 0, edge2: 0 };

  function apply() {
    const height = panes.clientHeight;
    panes.style.gridTemplateRows = `${edges.edge1}px 5px ${edges.edge2 - edges.edge1}px 5px minmax(0, 1fr)`;
    panes.dataset.height = String(height);
  }

  function layout(stored) {
    edges = paneEdges(stored, panes.clientHeight, panes.clientWidth);
    apply();
  }

  function drag(splitter, key) {
    splitter.addEventListener('pointerdown', (down) => {
      splitter.setPointerCapture(down.pointerId);
      const top = panes.getBoundingClientRect().top;
      const move = (event) => {
        const wanted = { vSplitterEdge1: edges.edge1, vSplitterEdge2: edges.edge2,
          [key]: Math.round(event.clientY - top) };
        layout(wanted);
      };
      const up = () => {
        splitter.removeEventListener('pointermove', move);
        splitter.removeEventListener('pointerup', up);
        remember({ vSplitterEdge1: edges.edge1, vSplitterEdge2: edges.edge2 });
      };
      splitter.addEventListener('pointermove', move);
      splitter.addEventListener('pointerup', up);
    });
  }

  layout(appearance);
  drag(document.querySelector('#splitter1'), 'vSplitterEdge1');
  drag(document.querySelector('#splitter2'), 'vSplitterEdge2');
  window.addEventListener('resize', () => layout({ vSplitterEdge1: edges.edge1, vSplitterEdge2: edges.edge2 }));
}
