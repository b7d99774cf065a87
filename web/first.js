// The first start: the user chooses where the data folder is made. The
// application lists folders of this machine and makes "qoralibs/" in the
// chosen one; then the main page takes over.

const $ = (id) => document.getElementById(id);

async function requestJson(url, options = {}) {
  const response = await fetch(url, options);
  const body = await response.json().catch(() => ({}));
  if (!response.ok) throw new Error(body.error || `The application answered ${response.status}.`);
  return body;
}

async function showFolder(path) {
  try {
    const listing = await requestJson(`/api/folders?path=${encodeURIComponent(path)}`);
    $('path').value = listing.path;
    const list = $('folders');
    list.replaceChildren();
    const entries = listing.parent ? [['..', listing.parent]] : [];
    for (const name of listing.folders) entries.push([name, joinPath(listing.path, name)]);
    for (const [label, target] of entries) {
      const item = document.createElement('li');
      item.textContent = label === '..' ? '.. (up)' : `${label}/`;
      item.addEventListener('click', () => showFolder(target));
      list.append(item);
    }
    $('error').textContent = '';
  } catch (error) {
    $('error').textContent = error.message;
  }
}

function joinPath(folder, name) {
  return folder.endsWith('/') ? folder + name : `${folder}/${name}`;
}

async function choose(folder) {
  $('ok').disabled = true;
  try {
    await requestJson('/api/firststart', {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify({ folder }),
    });
    window.location.replace('/');
  } catch (error) {
    $('error').textContent = error.message;
    $('ok').disabled = false;
  }
}

async function start() {
  const state = await requestJson('/api/start');
  if (state.state !== 'first-start') {
    window.location.replace('/');
    return;
  }
  $('message').textContent = state.message;
  $('chooser-title').textContent = state.title;
  $('prompt').textContent = state.prompt;
  $('ok').addEventListener('click', () => choose($('path').value));
  $('cancel').addEventListener('click', () => choose(''));
  $('path').addEventListener('keydown', (event) => {
    if (event.key === 'Enter') showFolder($('path').value);
  });
  await showFolder(state.home);
}

start().catch((error) => {
  $('error').textContent = error.message;
});
