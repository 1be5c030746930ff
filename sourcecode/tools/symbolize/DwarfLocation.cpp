#include "DwarfLocation.h"

#include <dwarf.h>

#include <cstring>

namespace symbolize {

namespace {

// One piece of a location: where its bytes are, or what they are.
struct st_Piece {
  enum en_Kind { NONE, MEMORY, REGISTER, VALUE, BYTES } kind = NONE;
  uint64_t number = 0;  // the address, the register or the value
  std::vector<uint8_t> bytes;
  uint64_t size = 0;  // 0: the rest of the variable
};

class cl_Evaluator {
 public:
  cl_Evaluator(const cl_CrashImage& image, const st_FrameState& state) : m_image(image), m_state(state) {}

  // Runs ops into pieces; false with m_why set when an operation needs what is not known.
  bool Run(Dwarf_Attribute* attr, const Dwarf_Op* ops, size_t count) {
    st_Piece piece;
    for (size_t i = 0; i < count; ++i) {
      const Dwarf_Op& op = ops[i];
      const uint8_t atom = op.atom;
      if (atom >= DW_OP_lit0 && atom <= DW_OP_lit31) {
        m_stack.push_back(atom - DW_OP_lit0);
      } else if (atom >= DW_OP_reg0 && atom <= DW_OP_reg31) {
        piece.kind = st_Piece::REGISTER;
        piece.number = atom - DW_OP_reg0;
      } else if (atom >= DW_OP_breg0 && atom <= DW_OP_breg31) {
        uint64_t value = 0;
        if (!Register(atom - DW_OP_breg0, value)) return false;
        m_stack.push_back(value + op.number);
      } else {
        switch (atom) {
          case DW_OP_addr: m_stack.push_back(op.number + m_state.loadBias); break;
          case DW_OP_const1u:
          case DW_OP_const2u:
          case DW_OP_const4u:
          case DW_OP_const8u:
          case DW_OP_constu:
          case DW_OP_const1s:
          case DW_OP_const2s:
          case DW_OP_const4s:
          case DW_OP_const8s:
          case DW_OP_consts:
            m_stack.push_back(op.number);  // libdw gives signed constants sign-extended
            break;
          case DW_OP_regx:
            piece.kind = st_Piece::REGISTER;
            piece.number = op.number;
            break;
          case DW_OP_bregx: {
            uint64_t value = 0;
            if (!Register(int(op.number), value)) return false;
            m_stack.push_back(value + op.number2);
            break;
          }
          case DW_OP_fbreg:
            if (!m_state.hasFrameBase) return Fail("not available");
            m_stack.push_back(m_state.frameBase + op.number);
            break;
          case DW_OP_call_frame_cfa:
            if (!m_state.hasCfa) return Fail("not available");
            m_stack.push_back(m_state.cfa);
            break;
          case DW_OP_dup:
            if (!Need(1)) return false;
            m_stack.push_back(m_stack.back());
            break;
          case DW_OP_drop:
            if (!Need(1)) return false;
            m_stack.pop_back();
            break;
          case DW_OP_over:
            if (!Need(2)) return false;
            m_stack.push_back(m_stack[m_stack.size() - 2]);
            break;
          case DW_OP_swap:
            if (!Need(2)) return false;
            std::swap(m_stack.back(), m_stack[m_stack.size() - 2]);
            break;
          case DW_OP_plus_uconst:
            if (!Need(1)) return false;
            m_stack.back() += op.number;
            break;
          case DW_OP_neg:
            if (!Need(1)) return false;
            m_stack.back() = 0 - m_stack.back();
            break;
          case DW_OP_not:
            if (!Need(1)) return false;
            m_stack.back() = ~m_stack.back();
            break;
          case DW_OP_plus:
          case DW_OP_minus:
          case DW_OP_mul:
          case DW_OP_and:
          case DW_OP_or:
          case DW_OP_xor:
          case DW_OP_shl:
          case DW_OP_shr:
          case DW_OP_shra:
            if (!Binary(atom)) return false;
            break;
          case DW_OP_deref:
          case DW_OP_deref_size: {
            if (!Need(1)) return false;
            const size_t n = atom == DW_OP_deref ? 8 : size_t(op.number);
            uint64_t value = 0;
            if (n > 8 || !m_image.Read(m_stack.back(), &value, n)) return Fail("not available");
            m_stack.back() = value;
            break;
          }
          case DW_OP_stack_value:
            if (!Need(1)) return false;
            piece.kind = st_Piece::VALUE;
            piece.number = m_stack.back();
            break;
          case DW_OP_implicit_value: {
            Dwarf_Block block;
            if (!attr || dwarf_getlocation_implicit_value(attr, &op, &block) != 0) return Fail("not available");
            piece.kind = st_Piece::BYTES;
            piece.bytes.assign(block.data, block.data + block.length);
            break;
          }
          case DW_OP_piece:
            Close(piece, op.number);
            piece = st_Piece();
            break;
          case DW_OP_nop: break;
          default: return Fail("not available");  // entry values, implicit pointers, typed stacks
        }
      }
    }
    if (m_pieces.empty() || piece.kind != st_Piece::NONE || !m_stack.empty()) Close(piece, 0);
    return true;
  }

  // The top of the stack as an address, after Run.
  bool Address(uint64_t& out) const {
    if (m_pieces.size() != 1) return false;
    const st_Piece& p = m_pieces[0];
    if (p.kind == st_Piece::MEMORY || p.kind == st_Piece::VALUE) {
      out = p.number;
      return true;
    }
    uint64_t value = 0;
    if (p.kind == st_Piece::REGISTER && Register(int(p.number), value)) {
      out = value;  // a register frame base: the address it holds
      return true;
    }
    return false;
  }

  bool Bytes(size_t size, std::vector<uint8_t>& out) {
    out.clear();
    for (const st_Piece& p : m_pieces) {
      const size_t n = p.size ? size_t(p.size) : (size > out.size() ? size - out.size() : 0);
      const size_t at = out.size();
      out.resize(at + n);
      uint8_t* to = out.data() + at;
      uint64_t value = 0;
      switch (p.kind) {
        case st_Piece::NONE: return Fail("optimized out");
        case st_Piece::MEMORY:
          if (!m_image.Read(p.number, to, n)) return Fail("not available");
          break;
        case st_Piece::REGISTER:
          if (n > 8 || !Register(int(p.number), value)) return Fail("not available");
          std::memcpy(to, &value, n);
          break;
        case st_Piece::VALUE:
          if (n > 8) return Fail("not available");
          std::memcpy(to, &p.number, n);
          break;
        case st_Piece::BYTES:
          if (n > p.bytes.size()) return Fail("not available");
          std::memcpy(to, p.bytes.data(), n);
          break;
      }
    }
    if (out.size() < size) return Fail("not available");
    out.resize(size);
    return true;
  }

  const std::string& Why() const { return m_why; }

 private:
  bool Fail(const char* why) {
    m_why = why;
    return false;
  }
  bool Need(size_t n) { return m_stack.size() >= n || Fail("not available"); }
  bool Register(int number, uint64_t& out) const {
    const platform::os::CrashDumpFrame* f = m_state.frame;
    if (!f || number < 0 || number >= platform::os::kCrashFrameRegisters || !(f->known >> number & 1)) return false;
    out = f->registers[number];
    return true;
  }
  bool Binary(uint8_t atom) {
    if (!Need(2)) return false;
    const uint64_t b = m_stack.back();
    m_stack.pop_back();
    uint64_t& a = m_stack.back();
    switch (atom) {
      case DW_OP_plus: a += b; break;
      case DW_OP_minus: a -= b; break;
      case DW_OP_mul: a *= b; break;
      case DW_OP_and: a &= b; break;
      case DW_OP_or: a |= b; break;
      case DW_OP_xor: a ^= b; break;
      case DW_OP_shl: a = b < 64 ? a << b : 0; break;
      case DW_OP_shr: a = b < 64 ? a >> b : 0; break;
      default: a = uint64_t(int64_t(a) >> (b < 64 ? b : 63)); break;
    }
    return true;
  }
  // Ends a piece: a location the operations named, else the address on the stack.
  void Close(st_Piece piece, uint64_t size) {
    if (piece.kind == st_Piece::NONE && !m_stack.empty()) {
      piece.kind = st_Piece::MEMORY;
      piece.number = m_stack.back();
    }
    piece.size = size;
    m_stack.clear();
    m_pieces.push_back(std::move(piece));
  }

  const cl_CrashImage& m_image;
  const st_FrameState& m_state;
  std::vector<uint64_t> m_stack;
  std::vector<st_Piece> m_pieces;
  std::string m_why;
};

}  // namespace

bool EvaluateAddress(const Dwarf_Op* ops, size_t count, const cl_CrashImage& image, const st_FrameState& state,
                     uint64_t& out) {
  cl_Evaluator e(image, state);
  return count > 0 && e.Run(nullptr, ops, count) && e.Address(out);
}

bool ReadLocation(Dwarf_Attribute* attr, const Dwarf_Op* ops, size_t count, size_t size, const cl_CrashImage& image,
                  const st_FrameState& state, std::vector<uint8_t>& out, std::string& why) {
  cl_Evaluator e(image, state);
  if (count == 0 || !e.Run(attr, ops, count) || !e.Bytes(size, out)) {
    why = count == 0 ? "optimized out" : e.Why().empty() ? "not available" : e.Why();
    return false;
  }
  return true;
}

}  // namespace symbolize
