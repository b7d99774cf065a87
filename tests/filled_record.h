// A document record with every field filled, for the tests of the writers
// and readers of records.
#ifndef QORA_TESTS_FILLED_RECORD_H_
#define QORA_TESTS_FILLED_RECORD_H_

#include "util/document_record.h"

namespace qora::test {

// Every field set to a value of its own, with one keyword, one key phrase
// and two key passages.
inline DocumentRecord FilledRecord() {
  DocumentRecord r;
  r.rank = 0.75;
  r.ord = 2;
  r.obj_handle = 7;
  r.parent_handle = -3;
  r.docid = "D1";
  r.parid = "P1";
  r.group = "g";
  r.buri = "http://b/";
  r.uri = "http://u/";
  r.bcuri = "http://c/";
  r.curi = "cu";
  r.dmluri = "d.dml";
  r.size = "120";
  r.type = "text/html";
  r.lang = "en";
  r.char_enc = "utf-8";
  r.date_cr = "7/4/2003 9:05 PM";
  r.date_ret = "dr";
  r.name = "nm";
  r.header = "A Title";
  r.keywords = {{"alpha", 1.5, 2}};
  r.keyphrases = {{"beta gamma", 0.25, 1}};
  r.keypassages = {{"a passage", 0.125, 4}, {"another", 2, 5}};
  r.sdesc = "s";
  r.ldesc = "l";
  r.note = "n";
  r.owner = "o";
  r.status = "st";
  r.fetcher = "f";
  r.source = "src";
  return r;
}

}  // namespace qora::test

#endif  // QORA_TESTS_FILLED_RECORD_H_
