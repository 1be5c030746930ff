#include "KRX/compiler/Lexer.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <tuple>
#include <deque>
#include <vector>

namespace KRX {

namespace {

bool IsLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsIdentChar(unsigned char c) { return IsLetter(c) || IsDigit(c) || c == '_'; }

// The value of a digit of any base up to 36; 99 for anything else.
int DigitValue(unsigned char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

// A previous token after which a mark continues an expression (binary, postfix) rather than
// starting an operand (prefix).
bool EndsOperand(const t_Operation* row) {
  if (!row) return false;
  return row->type == OT_POSTFIX || row->subType == OS_LITERAL || row->subType == OS_VAR ||
         row->subType == OS_RPAREN || row->subType == OS_RBRACKET;
}

// The operator rows that can match source text, by their text's first byte, in table order,
// with their lengths: the scanner tries only the rows that can start at a character.
struct st_OperatorIndex {
  std::vector<int16_t> rows[256];
  size_t lengths[kOperationRows] = {};
  st_OperatorIndex() {
    for (int i = kRowFirstSource; i < kOperationRows && g_Operations[i].text; ++i) {
      const t_Operation& row = g_Operations[i];
      lengths[i] = std::strlen(row.text);
      if (row.type < OT_SYS || row.type > OT_POSTFIX || lengths[i] == 0) continue;
      rows[static_cast<unsigned char>(row.text[0])].push_back(int16_t(i));
    }
  }
};

const st_OperatorIndex& OperatorIndex() {
  static const st_OperatorIndex s_index;
  return s_index;
}

// The top bits of st_Token::offsetHigh: a made token (offsetLow indexes the made tokens), and a
// source token whose value stays the name it was scanned as while its row changed.
constexpr uint16_t kMade = 0x8000, kNameValue = 0x4000, kOffsetHighBits = 0x3FFF;

size_t OffsetOf(const TokenStream::st_Token& t) {
  return size_t(t.offsetLow) | (size_t(t.offsetHigh & kOffsetHighBits) << 32);
}

struct st_Comment {
  int depth = 0;
  bool line = false;
  bool Active() const { return line || depth > 0; }
};

}  // namespace

class TokenStream::cl_Scanner {
 public:
  explicit cl_Scanner(SyntaxUnit& unit)
      : m_unit(unit), m_src(reinterpret_cast<const unsigned char*>(unit.m_source ? unit.m_source : "")) {}

  // Appends the tokens of the whole source to tokens; false after the first error.
  bool Run(std::deque<st_Token>& tokens);
  // The value a token of row made at p has (a literal, a name, a keyword's text); line is the
  // line it starts on. The token was scanned before, so nothing is reported.
  void MakeValue(size_t p, const t_Operation& row, int line, Var& value);
  // The identifier or keyword at p, as its token's value holds it.
  std::string_view NameAt(size_t p) const;
  const unsigned char* GetSource() const { return m_src; }
  const char* Pool(std::string_view text) { return m_unit.PoolText(text.data(), text.size()); }

 private:
  // The token scanner: a row or null, and the length passed over (at least 1). Values are
  // made only when value is given (the peek needs rows alone).
  const t_Operation* ScanToken(size_t p, const t_Operation* prev, bool report, st_Comment& comment, Var* value,
                               size_t& n);
  const t_Operation* ScanOperator(size_t p, const t_Operation* prev, const st_Comment& comment, size_t& n);
  bool ScanNumber(size_t p, Var* value, size_t& n);
  const t_Operation* ScanIdentifier(size_t p, bool report, Var* value, size_t& n);
  void MakeSystemValue(const char* name, size_t length, bool report, Var* value);
  // The row of the first token from q on, scanning with candidate as previous row and a copy of
  // the comment state; null at the end, after an error or when nothing comes back.
  const t_Operation* Peek(size_t q, const t_Operation* candidate, st_Comment comment);
  void BuildLineTable();
  void Report(const char* format, ...) __attribute__((format(printf, 2, 3)));

  SyntaxUnit& m_unit;
  const unsigned char* m_src;
  int m_line = 1;
  st_Comment m_comment;
  bool m_error = false;
  bool m_linesBuilt = false;
  std::map<int, std::string> m_lines;
  int m_peekDepth = 0;
  // Peek results by (position, previous ends an operand, comment depth, line comment): without
  // them a run like "------x" would be peeked along every split into "--" and "-".
  // Entries before the scan position are dropped as it moves on: they are never asked for again.
  std::map<std::tuple<size_t, bool, int, bool>, int> m_peeks;
};

void TokenStream::cl_Scanner::Report(const char* format, ...) {
  va_list args;
  va_start(args, format);
  VReportFileError(m_unit.m_fileName.c_str(), m_line, format, args);
  va_end(args);
}

bool TokenStream::cl_Scanner::Run(std::deque<st_Token>& tokens) {
  const t_Operation* prev = nullptr;
  size_t p = 0;
  for (;;) {
    unsigned char c = m_src[p];
    if (c == 0) {
      if (m_comment.depth <= 0) return true;
      Report("unterminated comment (no closing '*/')");
      m_error = true;
      return false;
    }
    if (c < 0x20 || c >= 0x80) {
      if (c == '\n') {
        ++m_line;
        m_comment.line = false;
      }
      ++p;
      continue;
    }
    size_t n = 1;
    // Values are made when a node is: the scan only needs rows.
    const t_Operation* row = ScanToken(p, prev, true, m_comment, nullptr, n);
    if (row) {
      tokens.push_back(
          {uint32_t(p), uint16_t((uint64_t(p) >> 32) & kOffsetHighBits), uint16_t(OperationRowIndex(row))});
      prev = row;
    }
    if (m_error) return false;
    if (!m_peeks.empty()) m_peeks.erase(m_peeks.begin(), m_peeks.lower_bound(std::make_tuple(p + n, false, 0, false)));
    // A string may span lines; its line ends still count.
    for (size_t i = p; i < p + n; ++i)
      if (m_src[i] == '\n') ++m_line;
    p += n;
  }
}

const t_Operation* TokenStream::cl_Scanner::ScanToken(size_t p, const t_Operation* prev, bool report,
                                                      st_Comment& comment, Var* value, size_t& n) {
  n = 1;
  const unsigned char c = m_src[p];
  const unsigned char c1 = m_src[p + 1];
  if (c == '"') {
    const char* start = reinterpret_cast<const char*>(m_src + p + 1);
    const char* close = std::strchr(start, '"');
    if (!close) {
      if (report && !comment.Active()) {
        Report("unterminated string (no closing '\"')");
        m_error = true;
      }
      return nullptr;
    }
    n = size_t(close - start) + 2;
    if (comment.Active()) return nullptr;
    if (value) value->SetConstString(m_unit.PoolText(start, size_t(close - start)));
    return &g_Operations[kRowLiteral];
  }
  if (m_unit.m_lua) {
    if (c == '-' && c1 == '-') {
      comment.line = true;
      n = 2;
      return nullptr;
    }
  } else if (c == '/' && c1 == '/') {
    comment.line = true;
    n = 2;
    return nullptr;
  } else if (c == '/' && c1 == '*') {
    ++comment.depth;
    n = 2;
    return nullptr;
  } else if (c == '*' && c1 == '/') {
    --comment.depth;
    n = 2;
    return nullptr;
  }
  if (comment.Active()) return nullptr;
  if (c == ' ' || c == '\t' || c == '\r') {
    while (m_src[p + n] == ' ' || m_src[p + n] == '\t' || m_src[p + n] == '\r') ++n;
    return nullptr;
  }
  if (c == '\n') return nullptr;
  if (IsDigit(c)) {
    if (!ScanNumber(p, value, n)) return nullptr;
    return &g_Operations[kRowLiteral];
  }
  if (const t_Operation* row = ScanOperator(p, prev, comment, n)) {
    if (value && row->subType == OS_KEYWORD) value->SetConstString(row->text);
    return row;
  }
  if (m_error) return nullptr;
  if (c == '@' || c == '_' || IsLetter(c)) return ScanIdentifier(p, report, value, n);
  if (report) {
    Report("Unexpected token found '%c'", c);
    m_error = true;
  }
  n = 1;
  return nullptr;
}

const t_Operation* TokenStream::cl_Scanner::ScanOperator(size_t p, const t_Operation* prev,
                                                         const st_Comment& comment, size_t& n) {
  const bool endsOperand = EndsOperand(prev);
  const char* at = reinterpret_cast<const char*>(m_src + p);
  const t_Operation* best = nullptr;
  size_t bestLength = 0;
  const st_OperatorIndex& index = OperatorIndex();
  for (const int16_t rowIndex : index.rows[static_cast<unsigned char>(at[0])]) {
    const t_Operation* row = &g_Operations[rowIndex];
    if ((row->type == OT_BINARY || row->type == OT_POSTFIX) && !endsOperand) continue;
    if (row->type == OT_PREFIX && endsOperand) continue;
    const size_t length = index.lengths[rowIndex];
    if (length <= bestLength || std::strncmp(at, row->text, length) != 0) continue;
    if (IsIdentChar(m_src[p + length]) && IsIdentChar(static_cast<unsigned char>(row->text[length - 1]))) continue;
    if (row->type != OT_SYS) {
      const t_Operation* next = Peek(p + length, row, comment);
      if (m_error) return nullptr;
      // A module qualifier starts an operand too ("x = Mod::f()"); without it every qualified
      // name after an operator would be rejected.
      bool operandFollows = next && (next->subType == OS_LPAREN || next->subType == OS_LITERAL ||
                                     next->subType == OS_VAR || next->subType == OS_MODULE ||
                                     next->type == OT_PREFIX);
      if (row->type == OT_POSTFIX ? operandFollows : !operandFollows) continue;
    }
    // Only a strictly longer text displaces a candidate: equal lengths keep the earlier row.
    best = row;
    bestLength = length;
  }
  if (best) n = bestLength;
  return best;
}

const t_Operation* TokenStream::cl_Scanner::Peek(size_t q, const t_Operation* candidate, st_Comment comment) {
  const auto key = std::make_tuple(q, EndsOperand(candidate), comment.depth, comment.line);
  auto known = m_peeks.find(key);
  if (known != m_peeks.end()) return known->second < 0 ? nullptr : &g_Operations[known->second];
  if (m_peekDepth >= Lexer::kMaxOperatorRun) {
    Report("too many operators in a row (more than %d)", Lexer::kMaxOperatorRun);
    m_error = true;
    return nullptr;
  }
  ++m_peekDepth;
  const t_Operation* found = nullptr;
  for (;;) {
    unsigned char c = m_src[q];
    if (c == 0) break;
    if (c < 0x20 || c >= 0x80) {
      if (c == '\n') comment.line = false;
      ++q;
      continue;
    }
    size_t n = 1;
    found = ScanToken(q, candidate, false, comment, nullptr, n);
    if (m_error || found) break;
    q += n;
  }
  --m_peekDepth;
  if (m_error) return nullptr;
  m_peeks[key] = found ? OperationRowIndex(found) : -1;
  return found;
}

bool TokenStream::cl_Scanner::ScanNumber(size_t p, Var* value, size_t& n) {
  size_t q = p;
  unsigned base = 10;
  if (m_src[q] == '0' && m_src[q + 1] == 'x') {
    base = 16;
    q += 2;
  } else if (m_src[q] == '0' && m_src[q + 1] == 'b') {
    base = 2;
    q += 2;
  }
  // The integer part in double precision, so that a float literal past 32 bits keeps its value;
  // an int literal must fit 32 bits (0xFFFFFFFF and 4294967295 still read as -1).
  double whole = 0.0;
  for (unsigned d; (d = unsigned(DigitValue(m_src[q]))) < base; ++q) whole = whole * base + d;
  bool bad = false;
  if (m_src[q] == '.') {
    ++q;
    double fraction = 0.0;
    double scale = 1.0 / base;
    for (unsigned d; (d = unsigned(DigitValue(m_src[q]))) < base; ++q) {
      fraction += d * scale;
      scale /= base;
    }
    if (m_src[q] == 'f')
      ++q;
    else if (IsLetter(m_src[q]) || IsDigit(m_src[q]) || m_src[q] == '.')
      bad = true;
    if (!bad && value) value->SetFloat(float(whole + fraction));
  } else if (IsLetter(m_src[q]) || IsDigit(m_src[q])) {
    bad = true;
  } else if (whole > 4294967295.0) {
    Report("Number '%.*s' does not fit in 32 bits", int(q - p), reinterpret_cast<const char*>(m_src + p));
    m_error = true;
    n = 1;
    return false;
  } else if (value) {
    value->SetInt(int32_t(uint32_t(whole)));
  }
  if (bad) {
    // Reported even while peeking: a malformed number ends the run wherever it is met.
    Report("Unexpected token '%c' found after number '%.*s'", m_src[q], int(q - p),
           reinterpret_cast<const char*>(m_src + p));
    m_error = true;
    n = 1;
    return false;
  }
  n = q - p;
  return true;
}

const t_Operation* TokenStream::cl_Scanner::ScanIdentifier(size_t p, bool report, Var* value, size_t& n) {
  n = 1;
  while (IsIdentChar(m_src[p + n])) ++n;
  const char* at = reinterpret_cast<const char*>(m_src + p);
  if (at[0] == '@') {
    MakeSystemValue(at + 1, n - 1, report, value);
    return &g_Operations[kRowLiteral];
  }
  if (at[n] == ':' && at[n + 1] == ':') {
    if (value) value->SetConstString(m_unit.PoolText(at, n));
    n += 2;
    return &g_Operations[kRowModule];
  }
  if (n == 4 && std::strncmp(at, "true", 4) == 0) {
    if (value) value->SetBool(true);
    return &g_Operations[kRowLiteral];
  }
  if (n == 5 && std::strncmp(at, "false", 5) == 0) {
    if (value) value->SetBool(false);
    return &g_Operations[kRowLiteral];
  }
  if (n == 4 && std::strncmp(at, "NULL", 4) == 0) return &g_Operations[kRowLiteral];
  if (value) value->SetConstString(m_unit.PoolText(at, n));
  return &g_Operations[kRowVar];
}

void TokenStream::cl_Scanner::MakeSystemValue(const char* name, size_t length, bool report, Var* value) {
  std::string key(name, length);
  if (key == "VERSION") {
    if (value) value->SetInt(34);
    return;
  }
  if (key == "LINENUMBER") {
    if (value) value->SetInt(m_line);
    return;
  }
  std::string text;
  if (key == "LINE" || key == "PREVLINE") {
    BuildLineTable();
    if (key == "LINE") {
      auto it = m_lines.find(m_line);
      if (it != m_lines.end()) text = it->second;
    } else {
      auto it = m_lines.lower_bound(m_line);
      if (it != m_lines.begin()) text = std::prev(it)->second;
    }
  } else if (key == "MODULE") {
    text = m_unit.m_moduleName;
  } else if (key == "TIME" || key == "DATE") {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    if (key == "TIME")
      std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    else
      std::snprintf(buffer, sizeof buffer, "%02d/%02d/%02d", local.tm_mon + 1, local.tm_mday, local.tm_year % 100);
    text = buffer;
  } else {
    if (report) {
      Report("unknown sys variable %s", key.c_str());
      m_error = true;
    }
    return;
  }
  if (value) value->SetConstString(m_unit.PoolText(text.data(), text.size()));
}

void TokenStream::cl_Scanner::BuildLineTable() {
  if (m_linesBuilt) return;
  m_linesBuilt = true;
  int line = 1;
  const unsigned char* p = m_src;
  for (;;) {
    const unsigned char* end = p;
    while (*end && *end != '\n') ++end;
    const unsigned char* first = p;
    while (first < end && (*first < 0x20 || *first > 0x7F)) ++first;
    const unsigned char* last = end;
    while (last > first && (last[-1] < 0x20 || last[-1] > 0x7F)) --last;
    if (last > first) m_lines[line].assign(reinterpret_cast<const char*>(first), size_t(last - first));
    if (!*end) break;
    p = end + 1;
    ++line;
  }
}

void TokenStream::cl_Scanner::MakeValue(size_t p, const t_Operation& row, int line, Var& value) {
  if (row.subType == OS_KEYWORD) {
    value.SetConstString(row.text);
    return;
  }
  if (row.subType != OS_LITERAL && row.type != OT_ID) return;
  m_line = line;
  size_t n = 1;
  const unsigned char c = m_src[p];
  if (c == '"') {
    const char* start = reinterpret_cast<const char*>(m_src + p + 1);
    const char* close = std::strchr(start, '"');
    value.SetConstString(m_unit.PoolText(start, close ? size_t(close - start) : 0));
  } else if (IsDigit(c)) {
    ScanNumber(p, &value, n);
  } else {
    ScanIdentifier(p, false, &value, n);
  }
}

std::string_view TokenStream::cl_Scanner::NameAt(size_t p) const {
  size_t n = 0;
  while (IsIdentChar(m_src[p + n])) ++n;
  return std::string_view(reinterpret_cast<const char*>(m_src + p), n);
}

// ---- the stream

TokenStream::TokenStream(SyntaxUnit& unit) : m_scanner(new cl_Scanner(unit)) {}

TokenStream::~TokenStream() = default;

bool TokenStream::Scan() {
  m_tokens.clear();
  m_made.clear();
  m_first = m_madeFirst = 0;
  return m_scanner->Run(m_tokens);
}

int TokenStream::GetLine(size_t i) {
  const st_Token& t = At(i);
  if (t.offsetHigh & kMade) return m_made[t.offsetLow - m_madeFirst].line;
  const size_t offset = OffsetOf(t);
  if (offset < m_lineOffset) {
    m_lineOffset = 0;
    m_line = 1;
  }
  const unsigned char* src = m_scanner->GetSource();
  m_line += int(std::count(src + m_lineOffset, src + offset, '\n'));
  m_lineOffset = offset;
  return m_line;
}

std::string_view TokenStream::GetName(size_t i) const {
  const st_Token& t = At(i);
  if (t.offsetHigh & kMade) {
    const char* text = m_made[t.offsetLow - m_madeFirst].text;
    return text ? std::string_view(text) : std::string_view();
  }
  const t_Operation& row = GetRow(i);
  if (t.offsetHigh & kNameValue || row.subType == OS_VAR) return m_scanner->NameAt(OffsetOf(t));
  if (row.subType == OS_KEYWORD && row.text) return row.text;
  return {};
}

SyntaxNodePtr TokenStream::MakeNode(size_t i) {
  const st_Token& t = At(i);
  const t_Operation& row = GetRow(i);
  const int line = GetLine(i);
  SyntaxNodePtr node(new SyntaxNode(row, Var()));
  if (t.offsetHigh & kMade) {
    if (const char* text = m_made[t.offsetLow - m_madeFirst].text) node->GetValue().SetString(text);
  } else if (t.offsetHigh & kNameValue) {
    const std::string_view name = m_scanner->NameAt(OffsetOf(t));
    node->GetValue().SetConstString(m_scanner->Pool(name));
  } else {
    m_scanner->MakeValue(OffsetOf(t), row, line, node->GetValue());
  }
  node->SetLine(line);
  return node;
}

SyntaxNodePtr TokenStream::MakeList() {
  SyntaxNodePtr list = SyntaxNode::Make(OT_REM, 0, nullptr, -1);
  for (size_t i = m_first; i < GetCount(); ++i) SyntaxNode::AppendChild(list.get(), MakeNode(i).get());
  return list;
}

void TokenStream::DropBefore(size_t i) {
  for (; m_first < i && !m_tokens.empty(); ++m_first) {
    if (m_tokens.front().offsetHigh & kMade) {
      m_made.pop_front();
      ++m_madeFirst;
    }
    m_tokens.pop_front();
  }
}

TokenStream::st_Token TokenStream::WithRow(size_t i, int rowIndex) const {
  st_Token t = At(i);
  if (!(t.offsetHigh & kMade)) t.offsetHigh |= kNameValue;
  t.row = uint16_t(rowIndex);
  return t;
}

TokenStream::st_Token TokenStream::Make(int rowIndex, const char* text, int line) {
  m_made.push_back({text, line});
  return {uint32_t(m_madeFirst + m_made.size() - 1), kMade, uint16_t(rowIndex)};
}

void TokenStream::Replace(tTokens&& tokens) {
  // The made tokens are numbered again in the order of the new sequence, for DropBefore; those
  // the sequence no longer holds go.
  std::deque<st_Made> made;
  for (st_Token& t : tokens) {
    if (!(t.offsetHigh & kMade)) continue;
    made.push_back(m_made[t.offsetLow - m_madeFirst]);
    t.offsetLow = uint32_t(made.size() - 1);
  }
  m_made = std::move(made);
  m_tokens = std::move(tokens);
  m_first = m_madeFirst = 0;
  m_lineOffset = 0;
  m_line = 1;
}

bool Lexer::Run(SyntaxUnit& unit) {
  TokenStream stream(unit);
  const bool ok = stream.Scan();
  unit.m_tokens = stream.MakeList();
  return ok;
}

}  // namespace KRX
