// base::vocable: the process-wide table of interned names. Every element label and attribute name
// of a StaticVariant tree, its binary record and the XML word reader is interned here, so names
// compare by pointer. A vocable points at the NUL-terminated characters of the one stored copy of
// a name; it stays valid and unchanged until the process ends.
//
// Tree words are 32 bits wide even on a 64-bit build, so each vocable also has a 32-bit id
// (never 0; 0 stands for "no name"). Ids are handed out in the order names are first interned.
//
// No lock: names are interned on the main thread only.
#pragma once

namespace base::vocable {

// The vocable of text, or null when that name was never added; never adds. Null text reads as "".
const unsigned char* find(const char* text);
// The vocable of text, adding a copy first when it is new. Null text reads as "".
const unsigned char* find_or_add(const char* text);
// The vocable of the first length characters of text (no terminator needed; an embedded NUL
// ends the name early). Null when text is null or length is below 1.
const unsigned char* find_or_add(const char* text, int length);

// The 32-bit id of a vocable (0 for null). v must be a vocable or null.
unsigned id_of(const unsigned char* v);
// The vocable with that id; null for 0 and for ids never handed out.
const unsigned char* from_id(unsigned id);
// find_or_add(text, length) giving the id directly; length 0 gives the id of the empty name
// (never 0, so an element with an empty name still has a name word). Null text gives 0.
unsigned find_or_add_id(const char* text, int length);
// The length in bytes of a vocable's name (0 for null).
int length_of(const unsigned char* v);

// Number of names interned so far.
int count();

#ifdef QUILLANE_FUZZ
// Fuzz targets only: forgets every name, between inputs, when nothing holds a vocable or a tree.
// Interned names otherwise live for the whole process, which endless random names would exhaust.
void clear_for_fuzzing();
#endif

}  // namespace base::vocable
