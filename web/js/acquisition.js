// The entry to the acquisition dialog from the browser frame: "Save" and
// "Crawl" of a live page open it in the modes "savepage" and "crawlpage"
// with the page's address. The dialog is not part of the window yet, so
// the entry says so.

let notice = () => {};

// Sets how the entry speaks to the user (the window's message box).
export function setAcquisitionNotice(show) {
  notice = typeof show === 'function' ? show : () => {};
}

// Opens the acquisition dialog in `mode` for `address`. Returns whether it
// opened.
export function openAcquisition(mode, address) {
  void mode;
  void address;
  notice('Not yet implemented');
  return false;
}
