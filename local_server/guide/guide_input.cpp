#include "local_server/guide/guide_input.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "local_server/guide/guide_error.h"

namespace zephra::guide {

namespace {
constexpr std::size_t kPackedChunk = 64 * 1024;

std::string megabytes(std::uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }
}  // namespace

GuideInput::GuideInput(const GuideReadLimits& limits)
    : m_limits(limits),
      m_deadline(std::chrono::steady_clock::now() + limits.maxTime),
      m_guard(limits.maxTagBytes, limits.maxAttributes) {}

GuideInput::~GuideInput() = default;

std::unique_ptr<GuideInput> GuideInput::fromFile(const std::string& path,
                                                 const GuideReadLimits& limits) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec) throw GuideError("cannot read " + path + ": " + ec.message());
  // A FIFO or device could block or never end.
  if (status.type() != std::filesystem::file_type::regular)
    throw GuideError("cannot read " + path + ": not a regular file");
  std::unique_ptr<GuideInput> input(new GuideInput(limits));
  input->m_file.reset(std::fopen(path.c_str(), "rb"));
  if (!input->m_file) throw GuideError("cannot read " + path + ": " + std::strerror(errno));
  return input;
}

std::unique_ptr<GuideInput> GuideInput::fromMemory(const char* data, std::size_t size,
                                                   const GuideReadLimits& limits) {
  std::unique_ptr<GuideInput> input(new GuideInput(limits));
  input->m_memory = data;
  input->m_memoryLeft = size;
  return input;
}

int GuideInput::fail(std::string why) {
  if (m_failure.empty()) m_failure = std::move(why);
  return -1;
}

std::size_t GuideInput::readRaw(char* buffer, std::size_t length) {
  if (m_file) {
    const std::size_t got = std::fread(buffer, 1, length, m_file.get());
    if (got < length && std::ferror(m_file.get())) {
      fail(std::string("cannot read the guide: ") + std::strerror(errno));
      return 0;
    }
    return got;
  }
  const std::size_t got = std::min(length, m_memoryLeft);
  std::memcpy(buffer, m_memory, got);
  m_memory += got;
  m_memoryLeft -= got;
  return got;
}

bool GuideInput::checkTime() {
  if (m_limits.stop && m_limits.stop->load()) {
    fail("the guide was not finished: the server is stopping");
    return false;
  }
  // The clock is asked every few reads only; a read is a few kilobytes.
  if (++m_reads % 16 == 0 && std::chrono::steady_clock::now() > m_deadline) {
    fail("the guide took longer than " +
         std::to_string(std::chrono::duration_cast<std::chrono::minutes>(m_limits.maxTime).count()) +
         " minutes to read");
    return false;
  }
  return true;
}

int GuideInput::read(char* buffer, int length) {
  if (!m_failure.empty() || length <= 0) return m_failure.empty() ? 0 : -1;
  if (!checkTime()) return -1;
  const auto wanted = static_cast<std::size_t>(length);
  std::size_t produced = 0;
  if (!m_started) {
    m_started = true;
    m_packed.resize(kPackedChunk);
    m_packedEnd = readRaw(m_packed.data(), 2);
    if (!m_failure.empty()) return -1;
    if (m_packedEnd == 2 && static_cast<unsigned char>(m_packed[0]) == 0x1F &&
        static_cast<unsigned char>(m_packed[1]) == 0x8B)
      m_gzip.emplace();
  }
  try {
    if (!m_gzip) {
      // The two bytes looked at first, then the file itself.
      while (m_packedAt < m_packedEnd && produced < wanted) buffer[produced++] = m_packed[m_packedAt++];
      produced += readRaw(buffer + produced, wanted - produced);
    } else {
      while (produced == 0) {
        if (m_packedAt == m_packedEnd && !m_rawEnded) {
          m_packedAt = 0;
          m_packedEnd = readRaw(m_packed.data(), m_packed.size());
          m_rawEnded = m_packedEnd == 0;
        }
        if (!m_failure.empty()) return -1;
        if (m_packedAt == m_packedEnd && m_rawEnded) {
          if (!m_gzip->atMemberEnd()) return fail("the compressed guide is truncated");
          break;
        }
        const auto step = m_gzip->inflate(m_packed.data() + m_packedAt, m_packedEnd - m_packedAt,
                                          buffer, wanted);
        m_packedAt += step.consumed;
        produced = step.produced;
      }
    }
  } catch (const std::exception& e) {
    return fail(e.what());
  }
  if (!m_failure.empty()) return -1;
  m_unpacked += produced;
  if (m_unpacked > m_limits.maxBytes)
    return fail("the guide is larger than " + megabytes(m_limits.maxBytes) +
                (m_gzip ? " once unpacked" : ""));
  if (!m_guard.feed(buffer, produced)) return fail(m_guard.reason());
  return static_cast<int>(produced);
}

}  // namespace zephra::guide
