// What another local program's datagrams cost the game's debugger link: datagrams from a
// stranger that each announce a 4 MiB message, against as many of plain junk (no link packet)
// from the same stranger, fed to the receive side without sockets. Both are refused at the
// sender check, so announcing costs what junk costs (the ratio stays near 1, at least 0.9); a
// link that reassembled first would allocate and zero 4 MiB for every announcement, which is
// what took frames from the game.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "../BenchRatios.h"

#include "libkrx/AID/Message.h"
#include "libkrx/AID/WinAIDNetwork.h"

namespace {

constexpr uint32_t kLoopback = 0x0100007Fu;
constexpr uint16_t kPeerPort = 0x1234, kStrangerPort = 0x4321;
constexpr size_t kDatagram = 1400;

std::vector<uint8_t> Announcement() {
  std::vector<uint8_t> bytes(kDatagram, 'x');
  auto header = AID::Message::Create(0);
  header->SetType(AID::kAccept);
  header->SetName1("KRXDebugger");
  std::memcpy(bytes.data(), header->Bytes(), AID::kHeaderSize);
  for (int i = 0; i < 4; ++i) bytes[AID::kOffPayloadLength + i] = uint8_t(AID::kMaxPayload >> (8 * i));
  return bytes;
}

void Feed(benchmark::State& state, const std::vector<uint8_t>& datagram) {
  AID::WinAIDNetwork link;
  link.SetPeer(platform::net::Endpoint{kLoopback, kPeerPort});
  for (auto _ : state) {
    link.HandleDatagram(datagram.data(), datagram.size(), kLoopback, kStrangerPort);
    benchmark::DoNotOptimize(link.ReassemblyBytes());
  }
}

void BM_StrangerAnnouncing4MiB(benchmark::State& state) { Feed(state, Announcement()); }
BENCHMARK(BM_StrangerAnnouncing4MiB);

void BM_StrangerJunk(benchmark::State& state) { Feed(state, std::vector<uint8_t>(kDatagram, 'x')); }
BENCHMARK(BM_StrangerJunk);

}  // namespace

int main(int argc, char** argv) {
  return benchratios::RunWithRatios(argc, argv,
                                    {{"4 MiB announcements / junk (stranger)", "BM_StrangerAnnouncing4MiB",
                                      "BM_StrangerJunk"}});
}
