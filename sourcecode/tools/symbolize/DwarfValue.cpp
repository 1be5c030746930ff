#include "DwarfValue.h"

#include <dwarf.h>

#include <cstdio>
#include <cstring>

namespace symbolize {

namespace {

constexpr int kMaxTypeDepth = 8;      // a type name nests no deeper (self-referring types end)
constexpr int kMaxNesting = 3;        // structures inside structures shown member by member
constexpr int kMaxMembers = 32;       // members shown of one structure
constexpr int kMaxElements = 8;       // elements shown of an array
constexpr size_t kMaxTextChars = 31;  // characters shown of a text, as the report always did

bool TypeOf(Dwarf_Die* die, Dwarf_Die& out) {
  Dwarf_Attribute attr;
  return dwarf_attr_integrate(die, DW_AT_type, &attr) && dwarf_formref_die(&attr, &out);
}

bool Unsigned(Dwarf_Die* die, int name, Dwarf_Word& out) {
  Dwarf_Attribute attr;
  return dwarf_attr_integrate(die, name, &attr) && dwarf_formudata(&attr, &out) == 0;
}

std::string NameOf(Dwarf_Die* die) {
  const char* name = dwarf_diename(die);
  return name ? name : "(anonymous)";
}

std::string TypeNameAt(Dwarf_Die* type, int depth) {
  if (!type) return "void";
  if (depth > kMaxTypeDepth) return "…";
  Dwarf_Die inner;
  const bool hasInner = TypeOf(type, inner);
  const std::string below = hasInner ? TypeNameAt(&inner, depth + 1) : "void";
  const int innerTag = hasInner ? dwarf_tag(&inner) : 0;
  switch (dwarf_tag(type)) {
    // A qualified array says so in its elements' type already.
    case DW_TAG_const_type:
      return innerTag == DW_TAG_array_type     ? below
             : innerTag == DW_TAG_pointer_type ? below + " const"
                                               : "const " + below;
    case DW_TAG_volatile_type:
      return innerTag == DW_TAG_array_type     ? below
             : innerTag == DW_TAG_pointer_type ? below + " volatile"
                                               : "volatile " + below;
    case DW_TAG_restrict_type: return below;
    case DW_TAG_pointer_type: return below + "*";
    case DW_TAG_reference_type: return below + "&";
    case DW_TAG_rvalue_reference_type: return below + "&&";
    case DW_TAG_subroutine_type: return "function";
    case DW_TAG_ptr_to_member_type: return "member pointer";
    case DW_TAG_array_type: {
      std::string dims;
      Dwarf_Die child;
      if (dwarf_child(type, &child) == 0) {
        do {
          if (dwarf_tag(&child) != DW_TAG_subrange_type) continue;
          Dwarf_Word count = 0, upper = 0;
          if (Unsigned(&child, DW_AT_count, count))
            dims += "[" + std::to_string(count) + "]";
          else if (Unsigned(&child, DW_AT_upper_bound, upper))
            dims += "[" + std::to_string(upper + 1) + "]";
          else
            dims += "[]";
        } while (dwarf_siblingof(&child, &child) == 0);
      }
      return below + dims;
    }
    default: return NameOf(type);
  }
}

// Characters: a byte-sized base type the compiler calls a character.
bool IsCharacter(Dwarf_Die* type) {
  Dwarf_Die peeled;
  if (!type || dwarf_peel_type(type, &peeled) != 0 || dwarf_tag(&peeled) != DW_TAG_base_type) return false;
  Dwarf_Word encoding = 0, size = 0;
  Unsigned(&peeled, DW_AT_encoding, encoding);
  Unsigned(&peeled, DW_AT_byte_size, size);
  return size == 1 && (encoding == DW_ATE_signed_char || encoding == DW_ATE_unsigned_char);
}

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(value));
  return text;
}

uint64_t Raw(const std::vector<uint8_t>& bytes, size_t at, size_t size) {
  uint64_t value = 0;
  if (size <= 8 && at + size <= bytes.size()) std::memcpy(&value, bytes.data() + at, size);
  return value;
}

// Text between double quotes, up to its end or the most characters shown.
std::string Quoted(const char* text, size_t length) {
  std::string out = "\"";
  for (size_t i = 0; i < length && i < kMaxTextChars && text[i]; ++i)
    out += text[i] >= 32 && text[i] < 127 ? text[i] : '?';
  return out + "\"";
}

// The value of a number, an enumerator or a pointer; empty for other types.
std::string Scalar(Dwarf_Die* type, const std::vector<uint8_t>& bytes, size_t at, const cl_CrashImage& image) {
  Dwarf_Die peeled;
  size_t size = 0;
  if (dwarf_peel_type(type, &peeled) != 0 || !TypeSize(&peeled, size) || at + size > bytes.size()) return {};
  const uint64_t raw = Raw(bytes, at, size);
  switch (dwarf_tag(&peeled)) {
    case DW_TAG_base_type: {
      Dwarf_Word encoding = 0;
      Unsigned(&peeled, DW_AT_encoding, encoding);
      char text[64];
      if (encoding == DW_ATE_float && size == 4) {
        float f;
        std::memcpy(&f, bytes.data() + at, 4);
        std::snprintf(text, sizeof text, "%f", double(f));
        return text;
      }
      if (encoding == DW_ATE_float && size == 8) {
        double d;
        std::memcpy(&d, bytes.data() + at, 8);
        std::snprintf(text, sizeof text, "%f", d);
        return text;
      }
      return size == 1 || size == 2 || size == 4 || size == 8 ? Hex(raw) : std::string();
    }
    case DW_TAG_enumeration_type: {
      std::string out = Hex(raw);
      Dwarf_Die child;
      if (dwarf_child(&peeled, &child) != 0) return out;
      do {
        Dwarf_Attribute attr;
        Dwarf_Word value = 0;
        if (dwarf_tag(&child) == DW_TAG_enumerator && dwarf_attr(&child, DW_AT_const_value, &attr) &&
            dwarf_formudata(&attr, &value) == 0 &&
            (size >= 8 || ((value ^ raw) & ((uint64_t(1) << (8 * size)) - 1)) == 0))
          return out + " (" + NameOf(&child) + ")";
      } while (dwarf_siblingof(&child, &child) == 0);
      return out;
    }
    case DW_TAG_pointer_type:
    case DW_TAG_reference_type:
    case DW_TAG_rvalue_reference_type: {
      Dwarf_Die pointee;
      char text[kMaxTextChars + 1] = {};
      size_t length = 0;
      if (TypeOf(&peeled, pointee) && IsCharacter(&pointee)) {
        // As many characters as can be read, one at a time: a text may end at a region's edge.
        while (length < kMaxTextChars && image.Read(raw + length, &text[length], 1) && text[length]) ++length;
        if (length > 0 || image.Read(raw, text, 1)) return Quoted(text, length);
      }
      return Hex(raw);
    }
    default: return {};
  }
}

void AppendMembers(Dwarf_Die* type, const std::vector<uint8_t>& bytes, const cl_CrashImage& image, int nesting,
                   std::string& text) {
  Dwarf_Die child;
  if (nesting >= kMaxNesting || dwarf_child(type, &child) != 0) return;
  const std::string tabs(size_t(nesting) + 2, '\t');
  int shown = 0;
  do {
    const int tag = dwarf_tag(&child);
    Dwarf_Word offset = 0, bits = 0;
    Dwarf_Die memberType;
    // Static members have no place in the object, bit fields no byte of their own.
    if ((tag != DW_TAG_member && tag != DW_TAG_inheritance) || !Unsigned(&child, DW_AT_data_member_location, offset) ||
        Unsigned(&child, DW_AT_bit_size, bits) || !TypeOf(&child, memberType))
      continue;
    if (++shown > kMaxMembers) {
      text += "\r\n" + tabs + "…";
      return;
    }
    size_t size = 0;
    text += "\r\n" + tabs + (tag == DW_TAG_inheritance ? "Base " : "'" + NameOf(&child) + "' ") + TypeName(&memberType);
    if (!TypeSize(&memberType, size) || offset + size > bytes.size()) continue;
    const std::vector<uint8_t> part(bytes.begin() + long(offset), bytes.begin() + long(offset + size));
    AppendValue(&memberType, part, image, nesting + 1, text);
  } while (dwarf_siblingof(&child, &child) == 0);
}

void AppendArray(Dwarf_Die* type, const std::vector<uint8_t>& bytes, const cl_CrashImage& image, std::string& text) {
  Dwarf_Die element;
  size_t elementSize = 0;
  if (!TypeOf(type, element) || !TypeSize(&element, elementSize) || elementSize == 0) return;
  if (IsCharacter(&element)) {
    text += " = " + Quoted(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return;
  }
  const size_t count = bytes.size() / elementSize;
  std::string list;
  for (size_t i = 0; i < count && i < kMaxElements; ++i) {
    const std::string value = Scalar(&element, bytes, i * elementSize, image);
    if (value.empty()) return;  // elements that are not numbers are not listed
    list += (i ? ", " : "") + value;
  }
  text += " = {" + list + (count > kMaxElements ? ", …}" : "}");
}

}  // namespace

std::string TypeName(Dwarf_Die* type) { return TypeNameAt(type, 0); }

bool TypeSize(Dwarf_Die* type, size_t& out) {
  Dwarf_Die peeled;
  if (!type || dwarf_peel_type(type, &peeled) != 0) return false;
  const int tag = dwarf_tag(&peeled);
  Dwarf_Word size = 0;
  if (dwarf_aggregate_size(&peeled, &size) != 0) {
    if (tag != DW_TAG_pointer_type && tag != DW_TAG_reference_type && tag != DW_TAG_rvalue_reference_type) return false;
    size = 8;
  }
  out = size_t(size);
  return true;
}

void AppendValue(Dwarf_Die* type, const std::vector<uint8_t>& bytes, const cl_CrashImage& image, int nesting,
                 std::string& text) {
  Dwarf_Die peeled;
  if (!type || dwarf_peel_type(type, &peeled) != 0) return;
  switch (dwarf_tag(&peeled)) {
    case DW_TAG_structure_type:
    case DW_TAG_class_type:
    case DW_TAG_union_type: AppendMembers(&peeled, bytes, image, nesting, text); return;
    case DW_TAG_array_type: AppendArray(&peeled, bytes, image, text); return;
    default: {
      const std::string value = Scalar(&peeled, bytes, 0, image);
      if (!value.empty()) text += " = " + value;
    }
  }
}

}  // namespace symbolize
