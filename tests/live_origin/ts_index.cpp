#include "tests/live_origin/ts_index.h"

#include <algorithm>
#include <stdexcept>

namespace zephra::live {
namespace {

constexpr uint64_t kWrap33 = uint64_t(1) << 33;  // PTS, DTS and PCR base count modulo 2^33

struct Packet {
  const uint8_t* p;
  unsigned pid() const { return ((p[1] & 0x1f) << 8) | p[2]; }
  bool unitStart() const { return p[1] & 0x40; }
  bool hasAdaptation() const { return p[3] & 0x20; }
  bool hasPayload() const { return p[3] & 0x10; }
  // Adaptation field flags, 0 when there is none or it is empty.
  unsigned flags() const { return hasAdaptation() && p[4] > 0 ? p[5] : 0; }
  size_t payloadStart() const { return 4 + (hasAdaptation() ? 1 + size_t(p[4]) : 0); }
  bool hasPcr() const { return (flags() & 0x10) && p[4] >= 7; }
  uint64_t pcrBase() const {
    return (uint64_t(p[6]) << 25) | (uint64_t(p[7]) << 17) | (uint64_t(p[8]) << 9) | (uint64_t(p[9]) << 1) |
           (p[10] >> 7);
  }
  // The PES header of a video frame starting here, or null.
  const uint8_t* videoPes() const {
    const size_t start = payloadStart();
    if (!unitStart() || !hasPayload() || start + 19 > kTsPacket) return nullptr;
    const uint8_t* pes = p + start;
    if (pes[0] != 0 || pes[1] != 0 || pes[2] != 1 || (pes[3] & 0xf0) != 0xe0) return nullptr;
    return pes;
  }
};

uint64_t readStamp(const uint8_t* s) {
  return (uint64_t((s[0] >> 1) & 7) << 30) | (uint64_t(s[1]) << 22) | (uint64_t(s[2] >> 1) << 15) |
         (uint64_t(s[3]) << 7) | (s[4] >> 1);
}

void writeStamp(uint8_t* s, uint64_t value) {
  s[0] = uint8_t((s[0] & 0xf1) | (((value >> 30) & 7) << 1) | 1);
  s[1] = uint8_t(value >> 22);
  s[2] = uint8_t((((value >> 15) & 0x7f) << 1) | 1);
  s[3] = uint8_t(value >> 7);
  s[4] = uint8_t(((value & 0x7f) << 1) | 1);
}

// Where the PTS (and the DTS after it) of a PES header lie, with how many there are.
int stampCount(const uint8_t* pes) { return pes[7] >> 6 == 3 ? 2 : (pes[7] >> 6 == 2 ? 1 : 0); }

}  // namespace

TsIndex::TsIndex(std::string data) : m_data(std::move(data)) {
  if (m_data.size() < kTsPacket || m_data.size() % kTsPacket != 0)
    throw std::runtime_error("not whole MPEG-TS packets");
  std::vector<uint64_t> stamps;
  uint64_t firstPcr = 0;
  for (size_t i = 0; i < packets(); ++i) {
    const Packet packet{reinterpret_cast<const uint8_t*>(m_data.data()) + i * kTsPacket};
    if (packet.p[0] != 0x47) throw std::runtime_error("lost MPEG-TS sync at packet " + std::to_string(i));
    if (packet.hasPayload() && packet.payloadStart() > kTsPacket)
      throw std::runtime_error("adaptation field too long at packet " + std::to_string(i));
    if (packet.hasPcr()) {
      if (m_pcrs.empty()) firstPcr = packet.pcrBase();
      m_pcrs.push_back({i, double(packet.pcrBase() - firstPcr) / 90000.0});
    }
    if (const uint8_t* pes = packet.videoPes()) {
      m_frames.push_back({i, (packet.flags() & 0x40) != 0});
      if (stampCount(pes) > 0) stamps.push_back(readStamp(pes + 9));
    }
  }
  if (m_pcrs.size() < 2 || stamps.size() < 2) throw std::runtime_error("no clock or no video in the stream");
  std::sort(stamps.begin(), stamps.end());
  uint64_t frame = stamps.back() - stamps.front();
  for (size_t i = 1; i < stamps.size(); ++i)
    if (stamps[i] > stamps[i - 1]) frame = std::min(frame, stamps[i] - stamps[i - 1]);
  m_loopTicks = stamps.back() - stamps.front() + frame;
  m_duration = double(m_loopTicks) / 90000.0;
  if (std::none_of(m_frames.begin(), m_frames.end(), [](const VideoFrame& f) { return f.key; }))
    throw std::runtime_error("no keyframe marked in the stream");
}

double TsIndex::timeOf(size_t packet) const {
  auto after = std::upper_bound(m_pcrs.begin(), m_pcrs.end(), packet,
                                [](size_t value, const Pcr& pcr) { return value < pcr.packet; });
  if (after == m_pcrs.begin()) return 0;
  if (after == m_pcrs.end()) --after;  // past the last PCR: the last rate goes on
  const Pcr& a = *(after - 1);
  const Pcr& b = *after;
  return std::max(0.0, a.seconds + (b.seconds - a.seconds) * (double(packet) - double(a.packet)) /
                                       double(b.packet - a.packet));
}

size_t TsIndex::packetAt(double seconds) const {
  size_t low = 0, high = packets();
  while (low < high) {
    const size_t middle = low + (high - low) / 2;
    if (timeOf(middle) < seconds)
      low = middle + 1;
    else
      high = middle;
  }
  return std::min(low, packets() - 1);
}

size_t TsIndex::bytesToKeyframeEnd(size_t from) const {
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < m_frames.size(); ++i) {
      if (!m_frames[i].key || (pass == 0 && m_frames[i].packet < from)) continue;
      const size_t end = i + 1 < m_frames.size() ? m_frames[i + 1].packet : packets();
      return ((pass == 0 ? 0 : packets()) + end - from) * kTsPacket;
    }
  }
  return 0;  // not reached: the constructor made sure there is a keyframe
}

void TsIndex::copyPacket(size_t packet, uint64_t loops, std::vector<uint8_t>& counters, char* out) const {
  std::copy_n(m_data.data() + packet * kTsPacket, kTsPacket, out);
  const Packet copy{reinterpret_cast<const uint8_t*>(out)};
  auto* bytes = reinterpret_cast<uint8_t*>(out);
  if (counters.size() < 8192) counters.resize(8192, 0x0f);
  uint8_t& counter = counters[copy.pid()];
  if (copy.hasPayload()) counter = (counter + 1) & 0x0f;
  bytes[3] = uint8_t((bytes[3] & 0xf0) | counter);
  const uint64_t shift = (loops % kWrap33) * m_loopTicks % kWrap33;
  if (shift == 0) return;
  if (copy.hasPcr()) {
    const uint64_t base = (copy.pcrBase() + shift) % kWrap33;
    bytes[6] = uint8_t(base >> 25);
    bytes[7] = uint8_t(base >> 17);
    bytes[8] = uint8_t(base >> 9);
    bytes[9] = uint8_t(base >> 1);
    bytes[10] = uint8_t((bytes[10] & 0x7f) | ((base & 1) << 7));
  }
  // Every PES (audio too) starting in this packet.
  const size_t start = copy.payloadStart();
  if (!copy.unitStart() || !copy.hasPayload() || start + 19 > kTsPacket) return;
  uint8_t* pes = bytes + start;
  if (pes[0] != 0 || pes[1] != 0 || pes[2] != 1 || pes[3] < 0xc0 || pes[3] > 0xef) return;
  for (int i = 0; i < stampCount(pes); ++i) writeStamp(pes + 9 + 5 * i, (readStamp(pes + 9 + 5 * i) + shift) % kWrap33);
}

}  // namespace zephra::live
