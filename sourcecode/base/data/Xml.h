// base::xml: the engine's XML dialect, read into a Variant tree or straight into StaticVariant
// words, and written back from a Variant. The dialect: elements, attributes in double quotes,
// text content, comments between content items, one optional leading "<?xml ...?>" prolog.
// Attribute values that read as a number (optionally followed by blanks) become floats; all else
// stays a string. Element and attribute names are taken as they stand; a closing tag's name is
// not compared with its element.
//
// Entities: the writer escapes only what would not read back (a '"' in an attribute value as
// &quot;, a '<' in text as &lt;, a '>' opening a text as &gt;, and a '&' that would otherwise be
// read as one of these five entities as &amp;); the readers decode exactly &quot; &lt; &gt;
// &amp; &apos;. Any other '&' is ordinary text both ways, so plain data is written and read
// byte for byte as before. Two text children in a row are written with an empty comment between
// them, so they do not read back as one.
//
// Malformed text fails the read with one "ERROR:" log line naming the file, line and column.
#pragma once

#include "base/String.h"

namespace base {

class Variant;
class StaticVariant;
class Binary;
class Text;

namespace xml {

// The largest XML file read (64 MiB); a longer one fails with "ERROR: <file>: too large".
constexpr int kMaxFileSize = 64 << 20;

// The root element of the file into out. A missing file fails silently (callers probe for
// optional files); an empty or malformed one fails with a log line.
bool read_file(Variant& out, const char* file);
// As above into StaticVariant words (out is replaced). A missing file logs "xml-file %s not found.".
bool read_file(StaticVariant& out, const char* file);
// For a file that may be absent but must never be taken for absent when it is there and cannot
// be read (its caller would write a fresh one over it). READ_MISSING, quietly, when nothing stands
// at file; READ_FAILED with one "ERROR: <file>: <cause>" line for a folder, FIFO, device or link
// loop in its place and for a file read_file refuses (empty, too large, malformed, too deep).
enum en_OptionalRead { READ_MISSING, READ_OK, READ_FAILED };
en_OptionalRead read_optional_file(Variant& out, const char* file);
// Parses the element that starts at the first occurrence of "<root>" (exact text) in the file.
bool read_multi_root_file(StaticVariant& out, const char* file, const char* root);
// As read_file for a text held in memory (archive members); name is used in messages.
bool read_binary(Variant& out, const Binary& data, const char* name = "memory");
// The same for text already in memory.
bool read_text(Variant& out, const char* text, const char* name = "memory");
bool read_text(StaticVariant& out, const char* text, const char* name = "memory");

// Writes '<?xml version="1.0" encoding="utf-8"?>', a line feed and the tree, through a temporary
// file renamed into place; then the temporary files that killed saves of it left go. False
// (logged) when the file cannot be written or the tree cannot be written so that it reads back
// (a name the reader would split, nesting past kMaxTreeDepth).
bool write_file(const Variant& tree, const char* file);
// Renders the tree as text and sends it to the log; the second argument is not used.
void write_log(const Variant& tree, const char* unused = nullptr);
// The tree as text (no prolog). False when a name cannot be written (see write_file).
bool write_text(const Variant& tree, Text& out);

}  // namespace xml

// Parses one element from text (the first '<' on) and writes its words at cursor, never past end.
// Advances text past the element and cursor past its words. False on a syntax error, on nesting
// past kMaxTreeDepth, or when the words would not fit before end.
bool xml_parse_static_variant(int*& cursor, int* end, const char*& text);
// Parses one element of text, searching its start from position, into out. Returns the position
// after it, or -1 on a syntax error.
int xml_parse_variant(const tString<BaseString>& text, Variant& out, int position);
// Appends node at depth (tab indentation) to out. False when the node cannot be written so that
// it reads back (out then holds a partial text).
bool xml_write_node(Text& out, const Variant& node, int depth);

}  // namespace base
