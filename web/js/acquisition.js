// The entry to the acquisition dialog from the browser frame: "Save" and
// "Crawl" of a live page open it in the modes "savepage" and "crawlpage"
// with the page's address. The window names the dialog's opener.

let opener = null;

// Sets the function that opens the dialog: opener(mode, address).
export function setAcquisitionOpener(open) {
  opener = typeof open === 'function' ? open : null;
}

// Opens the acquisition dialog in `mode` for `address`. Returns whether
// there was a dialog to open.
export function openAcquisition(mode, address) {
  if (!opener) return false;
  opener(mode, address);
  return true;
}
