// GCC 12 at -O2 and above reports -Wrestrict inside std::string's replace,
// assign and insert when they are inlined into code that edits a string in
// place or puts a literal before a temporary string (a known false positive
// of that version; GCC 13 no longer reports it). These macros silence that
// one warning around such functions only; other compilers see nothing.
#ifndef QORA_UTIL_GCC_WARNINGS_H_
#define QORA_UTIL_GCC_WARNINGS_H_

#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
#define QORA_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN \
  _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wrestrict\"")
#define QORA_GCC12_RESTRICT_FALSE_POSITIVE_END _Pragma("GCC diagnostic pop")
#else
#define QORA_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN
#define QORA_GCC12_RESTRICT_FALSE_POSITIVE_END
#endif

#endif  // QORA_UTIL_GCC_WARNINGS_H_
