// Requests to the QORA server. Every failure becomes an ApiError whose
// message can be shown to the user as it is.

export class ApiError extends Error {}

async function errorText(response) {
  try {
    const body = await response.json();
    if (body && typeof body.error === 'string' && body.error !== '') return body.error;
  } catch {
    // Not JSON: the status line says enough.
  }
  return `The QORA server answered ${response.status} ${response.statusText}`.trim();
}

async function request(path, options) {
  let response;
  try {
    response = await fetch(path, options);
  } catch (error) {
    throw new ApiError(`Cannot reach the QORA server (${error.message})`);
  }
  if (!response.ok) throw new ApiError(await errorText(response));
  const body = await response.text();
  if (body.trim() === '') return {};
  try {
    return JSON.parse(body);
  } catch {
    throw new ApiError(`The QORA server sent an answer to ${path} that is not JSON`);
  }
}

export function getJson(path) {
  return request(path, { method: 'GET', cache: 'no-store' });
}

export function postJson(path, body) {
  return request(path, {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(body ?? {}),
  });
}

// Sends `bytes` (a Blob or File) as the raw body of a POST, as
// /api/upload takes a file.
export function postBytes(path, bytes) {
  return request(path, {
    method: 'POST',
    headers: { 'Content-Type': 'application/octet-stream' },
    body: bytes,
  });
}
