// What the live origin needs to know about an MPEG-TS file it serves: where its clock stands at
// each packet (from the PCRs), where the video's frames start and which are keyframes (random
// access indicator), and how to move a packet's time stamps on by whole loops of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zephra::live {

constexpr size_t kTsPacket = 188;

class TsIndex {
 public:
  // Reads `data` (whole packets of a file made by ffmpeg); throws std::runtime_error when it is
  // not MPEG-TS with a clock and video.
  explicit TsIndex(std::string data);

  const std::string& data() const { return m_data; }
  size_t packets() const { return m_data.size() / kTsPacket; }
  // Length of one loop in seconds: from the first video frame to the end of the last.
  double duration() const { return m_duration; }
  // Where packet `packet` stands on the file's clock, in seconds from its first PCR.
  double timeOf(size_t packet) const;
  // The first packet at or after `seconds` on the file's clock.
  size_t packetAt(double seconds) const;
  // Byte offset (from packet `from`, wrapping at the end once) where the first keyframe that
  // starts at or after `from` is complete: where the next video frame begins.
  size_t bytesToKeyframeEnd(size_t from) const;

  // Copies packet `packet` into `out`, its PCR, PTS and DTS moved on by `loops` whole loops and
  // its continuity counter taken from `counters` (one per PID, advanced here), so that the file
  // played over and over is one unbroken stream.
  void copyPacket(size_t packet, uint64_t loops, std::vector<uint8_t>& counters, char* out) const;

 private:
  struct Pcr {
    size_t packet;
    double seconds;
  };
  struct VideoFrame {
    size_t packet;
    bool key;
  };
  std::string m_data;
  std::vector<Pcr> m_pcrs;
  std::vector<VideoFrame> m_frames;
  double m_duration = 0;
  uint64_t m_loopTicks = 0;  // duration in 90 kHz ticks
};

}  // namespace zephra::live
