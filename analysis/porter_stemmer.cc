#include "analysis/porter_stemmer.h"

#include <cstddef>
#include <cstring>

namespace qora {

namespace {

// Offsets into the word. The end of a candidate stem may sit one before the
// first byte (when a suffix is the whole word), so the type is signed.
using Index = std::ptrdiff_t;

bool IsVowelLetter(char c) { return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u'; }

// The state of one stemming run over b[0..k]. While a rule is being tested,
// b[0..j] is the stem that is left once the matched suffix is removed. Every
// edit happens in place and only ever shortens the word or rewrites bytes
// inside it, so no allocation is needed.
class Stemmer {
 public:
  Stemmer(char* word, size_t length) : b_(word), k_(static_cast<Index>(length) - 1), j_(0) {}

  // Runs all steps and returns the length of the stem.
  size_t Run() {
    if (k_ <= 1) return static_cast<size_t>(k_ + 1);  // too short to stem
    Step1ab();
    // Step 1ab may cut the word down to one byte; the later steps look at
    // b[k-1] and have nothing to remove from such a word anyway.
    if (k_ > 0) {
      Step1c();
      Step2();
      Step3();
      Step4();
      Step5();
    }
    return static_cast<size_t>(k_ + 1);
  }

 private:
  // True if b[i] is a consonant: any byte but a, e, i, o, u, and 'y' unless it
  // follows a consonant. So "y" is a consonant in "toy" and "yes" but a vowel
  // in "syzygy".
  bool IsConsonant(Index i) const {
    if (IsVowelLetter(b_[i])) return false;
    if (b_[i] != 'y') return true;
    // Walk back over the run of 'y's; each one flips the answer of the byte
    // before it. The first 'y' of the run is a consonant at the start of the
    // word or after a vowel.
    Index first = i;
    while (first > 0 && b_[first - 1] == 'y') --first;
    bool first_is_consonant = first == 0 || IsVowelLetter(b_[first - 1]);
    bool flipped = (i - first) % 2 == 1;
    return first_is_consonant != flipped;
  }

  // The measure m of the stem b[0..j]: the number of vowel-consonant
  // sequences in it, read as [C](VC)^m[V].
  int Measure() const {
    int m = 0;
    Index i = 0;
    while (i <= j_ && IsConsonant(i)) ++i;  // skip the leading consonants
    while (true) {
      while (i <= j_ && !IsConsonant(i)) ++i;
      if (i > j_) return m;
      while (i <= j_ && IsConsonant(i)) ++i;
      ++m;  // one more vowel run that ends in a consonant run
      if (i > j_) return m;
    }
  }

  bool StemHasVowel() const {
    for (Index i = 0; i <= j_; i++) {
      if (!IsConsonant(i)) return true;
    }
    return false;
  }

  // True if b[i-1..i] is a pair of equal consonants.
  bool EndsInDoubleConsonant(Index i) const {
    return i >= 1 && b_[i] == b_[i - 1] && IsConsonant(i);
  }

  // True if b[i-2..i] is consonant-vowel-consonant and the last consonant is
  // not w, x or y. Such endings ask for a restored 'e': "hop(e)", "fil(e)".
  bool EndsInShortSyllable(Index i) const {
    if (i < 2 || !IsConsonant(i) || IsConsonant(i - 1) || !IsConsonant(i - 2)) return false;
    char c = b_[i];
    return c != 'w' && c != 'x' && c != 'y';
  }

  // True if b[0..k] ends with `suffix`; if so, sets j to the end of the stem
  // in front of it.
  template <size_t N>
  bool Ends(const char (&suffix)[N]) {
    constexpr Index kLength = N - 1;
    if (kLength > k_ + 1) return false;
    if (std::memcmp(b_ + k_ - kLength + 1, suffix, kLength) != 0) return false;
    j_ = k_ - kLength;
    return true;
  }

  // Replaces b[j+1..k] with `replacement`, which is never longer than the
  // suffix it replaces.
  template <size_t N>
  void SetTo(const char (&replacement)[N]) {
    constexpr Index kLength = N - 1;
    std::memcpy(b_ + j_ + 1, replacement, kLength);
    k_ = j_ + kLength;
  }

  // Replaces the matched suffix only when the stem in front of it has m > 0.
  template <size_t N>
  void ReplaceIfMeasured(const char (&replacement)[N]) {
    if (Measure() > 0) SetTo(replacement);
  }

  // Plurals and -ed / -ing: "caresses" -> "caress", "ponies" -> "poni",
  // "agreed" -> "agree", "hopping" -> "hop", "filing" -> "file".
  void Step1ab() {
    if (b_[k_] == 's') {
      if (Ends("sses")) {
        k_ -= 2;
      } else if (Ends("ies")) {
        SetTo("i");
      } else if (b_[k_ - 1] != 's') {
        --k_;
      }
    }
    if (Ends("eed")) {
      if (Measure() > 0) --k_;
    } else if ((Ends("ed") || Ends("ing")) && StemHasVowel()) {
      k_ = j_;
      RepairAfterDroppingEdOrIng();
    }
  }

  // Puts back the 'e' or undoubles the consonant that the stripped -ed or
  // -ing leaves wrong: "conflat" -> "conflate", "hopp" -> "hop".
  void RepairAfterDroppingEdOrIng() {
    if (Ends("at")) {
      SetTo("ate");
    } else if (Ends("bl")) {
      SetTo("ble");
    } else if (Ends("iz")) {
      SetTo("ize");
    } else if (EndsInDoubleConsonant(k_)) {
      char c = b_[k_];
      if (c != 'l' && c != 's' && c != 'z') --k_;
    } else if (Measure() == 1 && EndsInShortSyllable(k_)) {
      SetTo("e");
    }
  }

  // A final 'y' becomes 'i' when the stem has a vowel: "happy" -> "happi".
  void Step1c() {
    if (Ends("y") && StemHasVowel()) b_[k_] = 'i';
  }

  // Maps double suffixes to single ones: "relational" -> "relate". The group
  // is chosen by the next-to-last letter; within it, the first suffix the
  // word ends with decides, whether or not its stem is long enough.
  void Step2() {
    switch (b_[k_ - 1]) {
      case 'a':
        if (Ends("ational")) return ReplaceIfMeasured("ate");
        if (Ends("tional")) return ReplaceIfMeasured("tion");
        return;
      case 'c':
        if (Ends("enci")) return ReplaceIfMeasured("ence");
        if (Ends("anci")) return ReplaceIfMeasured("ance");
        return;
      case 'e':
        if (Ends("izer")) return ReplaceIfMeasured("ize");
        return;
      case 'l':
        if (Ends("bli")) return ReplaceIfMeasured("ble");
        if (Ends("alli")) return ReplaceIfMeasured("al");
        if (Ends("entli")) return ReplaceIfMeasured("ent");
        if (Ends("eli")) return ReplaceIfMeasured("e");
        if (Ends("ousli")) return ReplaceIfMeasured("ous");
        return;
      case 'o':
        if (Ends("ization")) return ReplaceIfMeasured("ize");
        if (Ends("ation")) return ReplaceIfMeasured("ate");
        if (Ends("ator")) return ReplaceIfMeasured("ate");
        return;
      case 's':
        if (Ends("alism")) return ReplaceIfMeasured("al");
        if (Ends("iveness")) return ReplaceIfMeasured("ive");
        if (Ends("fulness")) return ReplaceIfMeasured("ful");
        if (Ends("ousness")) return ReplaceIfMeasured("ous");
        return;
      case 't':
        if (Ends("aliti")) return ReplaceIfMeasured("al");
        if (Ends("iviti")) return ReplaceIfMeasured("ive");
        if (Ends("biliti")) return ReplaceIfMeasured("ble");
        return;
      case 'g':
        if (Ends("logi")) return ReplaceIfMeasured("log");
        return;
      default:
        return;
    }
  }

  // Drops or shortens -ic-, -full, -ness and the like: "formative" -> "form".
  // The group is chosen by the last letter.
  void Step3() {
    switch (b_[k_]) {
      case 'e':
        if (Ends("icate")) return ReplaceIfMeasured("ic");
        if (Ends("ative")) return ReplaceIfMeasured("");
        if (Ends("alize")) return ReplaceIfMeasured("al");
        return;
      case 'i':
        if (Ends("iciti")) return ReplaceIfMeasured("ic");
        return;
      case 'l':
        if (Ends("ical")) return ReplaceIfMeasured("ic");
        if (Ends("ful")) return ReplaceIfMeasured("");
        return;
      case 's':
        if (Ends("ness")) return ReplaceIfMeasured("");
        return;
      default:
        return;
    }
  }

  // Sets j in front of the step 4 suffix the word ends with, if any. The
  // group is chosen by the next-to-last letter and the first suffix in it
  // that the word ends with is the one removed (or kept).
  bool FindStep4Suffix() {
    switch (b_[k_ - 1]) {
      case 'a':
        return Ends("al");
      case 'c':
        return Ends("ance") || Ends("ence");
      case 'e':
        return Ends("er");
      case 'i':
        return Ends("ic");
      case 'l':
        return Ends("able") || Ends("ible");
      case 'n':
        return Ends("ant") || Ends("ement") || Ends("ment") || Ends("ent");
      case 'o':
        // -ion only after s or t ("adoption", "confession"); -ou covers -ous
        // words whose 's' step 1 took off.
        return (Ends("ion") && j_ >= 0 && (b_[j_] == 's' || b_[j_] == 't')) || Ends("ou");
      case 's':
        return Ends("ism");
      case 't':
        return Ends("ate") || Ends("iti");
      case 'u':
        return Ends("ous");
      case 'v':
        return Ends("ive");
      case 'z':
        return Ends("ize");
      default:
        return false;
    }
  }

  // Removes a final -ant, -ence, -ment, ... when the stem in front has m > 1:
  // "adoption" -> "adopt", "electric" -> "electr".
  void Step4() {
    if (FindStep4Suffix() && Measure() > 1) k_ = j_;
  }

  // Removes a final 'e' ("cease" -> "ceas") and undoubles a final "ll"
  // ("controll" -> "control") when the word is long enough.
  void Step5() {
    j_ = k_;
    if (b_[k_] == 'e') {
      int m = Measure();
      if (m > 1 || (m == 1 && !EndsInShortSyllable(k_ - 1))) --k_;
    }
    if (b_[k_] == 'l' && EndsInDoubleConsonant(k_) && Measure() > 1) --k_;
  }

  char* const b_;
  Index k_;  // index of the word's last byte
  Index j_;  // index of the last byte of the stem in front of a matched suffix
};

}  // namespace

size_t PorterStem(char* word, size_t length) { return Stemmer(word, length).Run(); }

}  // namespace qora
