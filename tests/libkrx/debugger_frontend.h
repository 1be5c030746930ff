// The debugger front-end's side over a real link, for tests on both ends of it: sends commands
// from a test peer and writes what comes back into a transcript ("code[fields] ...").
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "aid_test_peer.h"
#include "debugger_support.h"

namespace dbgtest {

class FrontEnd {
 public:
  explicit FrontEnd(aidtest::TestPeer& peer) : m_peer(peer) {}

  void Send(const Payload& p) {
    const std::string raw = p.Raw();
    m_peer.Send(*m_peer.Make(AID::kAccept, "KRXDebugger", raw));
  }
  // The next debugger message whose code is not ignored; code 0 when none came in time.
  Payload Next(int timeoutMs = aidtest::kWaitMs) {
    for (;;) {
      auto m = m_peer.Receive(timeoutMs);
      if (!m) return Payload(std::string(4, '\0'));
      if (m->Type() != AID::kAccept || std::string(m->Name1()) != "KRXDebugger") continue;
      Payload p(std::string(reinterpret_cast<const char*>(m->Payload()), m->PayloadLength()));
      if (std::find(ignored.begin(), ignored.end(), Payload(p.Raw()).ReadU32()) != ignored.end()) continue;
      return p;
    }
  }
  // Appends "code" and, for the replies that carry them, their fields.
  void Take(int count) {
    for (int i = 0; i < count; ++i) {
      Payload p = Next();
      const uint32_t code = p.ReadU32();
      transcript += std::to_string(code);
      switch (code) {
        case KRX::DBG_STOP_REPORT: {
          p.ReadStr();
          transcript += "[" + p.ReadStr();
          transcript += ":" + std::to_string(p.ReadInt()) + "]";
          break;
        }
        case KRX::DBG_POSITION: transcript += "[" + p.ReadStr() + "]"; break;
        case KRX::DBG_LOCALS:
          transcript += "[";
          while (p.ReadU8() == 1) {
            transcript += p.ReadStr() + "=";
            p.ReadU32();
            transcript += p.ReadStr() + " ";
          }
          transcript += "]";
          break;
        case KRX::DBG_CALLSTACK: {
          const int top = p.ReadInt();
          transcript += "[";
          for (int f = top; f >= 0; --f) {
            p.ReadStr();
            const std::string function = p.ReadStr();
            transcript += function + ":" + std::to_string(p.ReadInt()) + " ";
          }
          transcript += "]";
          break;
        }
        case KRX::DBG_EVALUATE:
          p.ReadStr();
          transcript += "[" + p.ReadStr() + "]";
          break;
        default: break;
      }
      transcript += " ";
    }
  }

  std::string transcript;
  // Codes Next passes over (the module list every compile sends, the output of scripts).
  std::vector<uint32_t> ignored;

 private:
  aidtest::TestPeer& m_peer;
};

}  // namespace dbgtest
