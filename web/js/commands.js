// Links in result pages address the command prefix; instead of following
// such a link the window sends the command text after the prefix.

export const COMMAND_PREFIX = '/localservlets/';

// The command text of `address`, or null when the address carries no
// command. Only "%20" is decoded (into a blank); other escapes stay.
export function commandFromAddress(address, prefix = COMMAND_PREFIX) {
  const s = String(address ?? '');
  const at = s.indexOf(prefix);
  if (at < 0) return null;
  return s.slice(at + prefix.length).split('%20').join(' ');
}
