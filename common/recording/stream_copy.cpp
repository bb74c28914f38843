#include "common/recording/stream_copy.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
}

#include <algorithm>
#include <mutex>
#include <vector>

#include "common/stream_address.h"

namespace zephra {
namespace {

using Clock = std::chrono::steady_clock;
constexpr AVRational kMicroseconds{1, 1000000};
// The gap left between what one connection brought and what the next brings.
constexpr std::int64_t kJoinGapUs = 40000;
constexpr auto kFlushEvery = std::chrono::milliseconds(500);
// Pictures (some ten seconds' worth) waited through for a key picture.
constexpr int kLongestKeyWait = 300;

std::string avError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

int httpStatusOf(int code) {
  switch (code) {
    case AVERROR_HTTP_BAD_REQUEST: return 400;
    case AVERROR_HTTP_UNAUTHORIZED: return 401;
    case AVERROR_HTTP_FORBIDDEN: return 403;
    case AVERROR_HTTP_NOT_FOUND: return 404;
    case AVERROR_HTTP_OTHER_4XX: return 400;
    case AVERROR_HTTP_SERVER_ERROR: return 500;
    default: return 0;
  }
}

// What libavformat asks while it waits for the network: a stop, or no data for too long.
struct Waiting {
  const std::function<bool()>* stop = nullptr;
  Clock::time_point deadline;
  bool stalled = false;
  bool stopped = false;
};

int interruptNow(void* opaque) {
  auto* waiting = static_cast<Waiting*>(opaque);
  if (*waiting->stop && (*waiting->stop)()) waiting->stopped = true;
  if (Clock::now() > waiting->deadline) waiting->stalled = true;
  return waiting->stopped || waiting->stalled ? 1 : 0;
}

class InputContext {
 public:
  InputContext() : m_context(avformat_alloc_context()) {
    if (!m_context) throw StreamCopyError("Out of memory", StreamCopyError::Side::Input);
  }
  ~InputContext() { avformat_close_input(&m_context); }
  InputContext(const InputContext&) = delete;
  InputContext& operator=(const InputContext&) = delete;
  AVFormatContext*& get() { return m_context; }

 private:
  AVFormatContext* m_context;
};

class Packet {
 public:
  Packet() : m_packet(av_packet_alloc()) {
    if (!m_packet) throw StreamCopyError("Out of memory", StreamCopyError::Side::Input);
  }
  ~Packet() { av_packet_free(&m_packet); }
  Packet(const Packet&) = delete;
  Packet& operator=(const Packet&) = delete;
  AVPacket* get() const { return m_packet; }

 private:
  AVPacket* m_packet;
};

bool copied(const AVCodecParameters* parameters) {
  return parameters->codec_type == AVMEDIA_TYPE_VIDEO || parameters->codec_type == AVMEDIA_TYPE_AUDIO ||
         parameters->codec_type == AVMEDIA_TYPE_SUBTITLE;
}

}  // namespace

struct StreamCopy::Output {
  AVFormatContext* context = nullptr;
  std::vector<AVCodecID> codecs;     // of each output stream
  std::vector<std::int64_t> lastDts;  // in each output stream's time base
  std::int64_t endUs = AV_NOPTS_VALUE;
  Clock::time_point flushed;
  bool finished = false;
  bool headerWritten = false;

  ~Output() {
    try {
      finish();
    } catch (const StreamCopyError&) {
      // The packets written stay readable without the end.
    }
  }

  void create(const std::filesystem::path& file, AVFormatContext* input) {
    const std::string path = file.string();
    int result = avformat_alloc_output_context2(&context, nullptr, "mpegts", path.c_str());
    if (result < 0) fail("Cannot make the recording", result);
    result = avio_open(&context->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (result < 0) fail("Cannot create " + path, result);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
      const AVStream* in = input->streams[i];
      if (!copied(in->codecpar)) continue;
      AVStream* out = avformat_new_stream(context, nullptr);
      if (!out) fail("Cannot make the recording", AVERROR(ENOMEM));
      result = avcodec_parameters_copy(out->codecpar, in->codecpar);
      if (result < 0) fail("Cannot make the recording", result);
      out->codecpar->codec_tag = 0;
      out->time_base = in->time_base;
      codecs.push_back(in->codecpar->codec_id);
    }
    lastDts.assign(codecs.size(), AV_NOPTS_VALUE);
    if (codecs.empty()) return;
    result = avformat_write_header(context, nullptr);
    if (result < 0) fail("Cannot write the recording", result);
    headerWritten = true;
  }

  // The output stream of each input stream (-1: left out): each takes the first free stream
  // with its codec, so a connection with other streams than the first adds none.
  std::vector<int> mapping(AVFormatContext* input) const {
    std::vector<int> map(input->nb_streams, -1);
    std::vector<bool> used(codecs.size(), false);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
      if (!copied(input->streams[i]->codecpar)) continue;
      for (std::size_t k = 0; k < codecs.size(); ++k)
        if (!used[k] && codecs[k] == input->streams[i]->codecpar->codec_id) {
          used[k] = true;
          map[i] = static_cast<int>(k);
          break;
        }
    }
    return map;
  }

  void finish() {
    if (finished || !context) return;
    finished = true;
    int result = 0;
    if (headerWritten) result = av_write_trailer(context);
    const int closed = avio_closep(&context->pb);
    avformat_free_context(context);
    context = nullptr;
    if (result < 0) fail("Cannot write the recording", result);
    if (closed < 0) fail("Cannot write the recording", closed);
  }

  [[noreturn]] static void fail(const std::string& what, int code) {
    throw StreamCopyError(what + ": " + avError(code), StreamCopyError::Side::Output);
  }
};

StreamCopy::StreamCopy(std::filesystem::path file, StreamCopyOptions options)
    : m_file(std::move(file)), m_options(options) {
  // Joining a live stream makes the decoders that probe it complain of the pictures before the
  // first key picture; what matters reaches the caller as an exception.
  static std::once_flag quiet;
  std::call_once(quiet, [] {
    if (av_log_get_level() > AV_LOG_FATAL) av_log_set_level(AV_LOG_FATAL);
  });
}

StreamCopy::~StreamCopy() = default;

bool StreamCopy::started() const { return m_output != nullptr; }

std::uint64_t StreamCopy::bytesWritten() const {
  if (!m_output || !m_output->context || !m_output->context->pb) return 0;
  const std::int64_t at = avio_tell(m_output->context->pb);
  return at > 0 ? static_cast<std::uint64_t>(at) : 0;
}

void StreamCopy::finish() {
  if (m_output) m_output->finish();
}

CopyEnd StreamCopy::copy(const std::string& address, const StreamHeaders& headers,
                         const std::function<bool()>& stop, const std::function<void()>& progress) {
  using Side = StreamCopyError::Side;
  if (!isNetworkStreamAddress(address))
    throw StreamCopyError("Refused: not a network stream address", Side::Input);
  Waiting waiting{&stop, Clock::now() + m_options.stallTimeout};
  auto inputFailure = [&](const std::string& what, int code) {
    if (waiting.stalled)
      return StreamCopyError(what + ": no data for " +
                                 std::to_string(m_options.stallTimeout.count() / 1000) + " seconds",
                             Side::Input);
    return StreamCopyError(what + ": " + avError(code), Side::Input, httpStatusOf(code));
  };

  InputContext input;
  input.get()->interrupt_callback = AVIOInterruptCB{interruptNow, &waiting};
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", kMediaLibraryProtocols, 0);
  av_dict_set(&options, "rw_timeout",
              std::to_string(std::chrono::microseconds(m_options.stallTimeout).count()).c_str(), 0);
  if (!headers.userAgent.empty()) av_dict_set(&options, "user_agent", headers.userAgent.c_str(), 0);
  if (!headers.referrer.empty())
    av_dict_set(&options, "headers", ("Referer: " + headers.referrer + "\r\n").c_str(), 0);
  int result = avformat_open_input(&input.get(), address.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (result >= 0) result = avformat_find_stream_info(input.get(), nullptr);
  if (waiting.stopped) return CopyEnd{false, true};
  if (result < 0) throw inputFailure("Cannot open the stream", result);

  if (!m_output) {
    auto output = std::make_unique<Output>();
    output->create(m_file, input.get());
    if (output->codecs.empty()) throw StreamCopyError("The stream holds no audio or video", Side::Input);
    m_output = std::move(output);
  }
  Output& out = *m_output;
  if (out.finished) throw StreamCopyError("The recording is finished", Side::Output);
  const std::vector<int> map = out.mapping(input.get());
  // A connection joins a stream anywhere: what comes before its first key picture cannot be
  // shown, so the file starts (and goes on after a drop) at a key picture.
  bool awaitingKey = false;
  int skipped = 0;  // pictures left out while waiting for a key picture
  for (unsigned i = 0; i < map.size(); ++i)
    if (map[i] >= 0 && input.get()->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) awaitingKey = true;
  // Times of a later connection start again wherever its server pleases: they are moved on to
  // follow what the file holds, so players see one stream.
  bool joined = out.endUs == AV_NOPTS_VALUE;
  std::int64_t offsetUs = 0;

  CopyEnd end{true, false};
  Packet packet;
  AVPacket* p = packet.get();
  for (;;) {
    waiting.deadline = Clock::now() + m_options.stallTimeout;
    result = av_read_frame(input.get(), p);
    if (result == AVERROR_EOF) return end;
    if (waiting.stopped) {
      end.stopped = true;
      return end;
    }
    if (result < 0) throw inputFailure("The stream broke off", result);
    int index = p->stream_index >= 0 && static_cast<unsigned>(p->stream_index) < map.size()
                          ? map[static_cast<std::size_t>(p->stream_index)]
                          : -1;
    const AVRational inBase = input.get()->streams[std::max(0, p->stream_index)]->time_base;
    if (index >= 0 && awaitingKey) {
      const bool video = input.get()->streams[p->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
      // Some broadcasts never mark a key picture: after a few seconds of waiting, take what comes.
      const bool key = (video && (p->flags & AV_PKT_FLAG_KEY)) || (video && ++skipped > kLongestKeyWait);
      if (!key) index = -1;
      awaitingKey = !key;
    }
    if (index >= 0 && !joined && p->dts != AV_NOPTS_VALUE) {
      offsetUs = out.endUs + kJoinGapUs - av_rescale_q(p->dts, inBase, kMicroseconds);
      joined = true;
    }
    if (index < 0 || !joined) {
      av_packet_unref(p);
      continue;
    }
    const std::int64_t shift = av_rescale_q(offsetUs, kMicroseconds, inBase);
    if (p->dts != AV_NOPTS_VALUE) p->dts += shift;
    if (p->pts != AV_NOPTS_VALUE) p->pts += shift;
    AVStream* stream = out.context->streams[index];
    av_packet_rescale_ts(p, inBase, stream->time_base);
    std::int64_t& last = out.lastDts[static_cast<std::size_t>(index)];
    // The muxer takes only rising times per stream; a packet going back (a server's hiccup) is
    // left out rather than ending the file.
    if (p->dts != AV_NOPTS_VALUE && last != AV_NOPTS_VALUE && p->dts <= last) {
      av_packet_unref(p);
      continue;
    }
    if (p->dts != AV_NOPTS_VALUE) {
      last = p->dts;
      out.endUs = std::max(out.endUs == AV_NOPTS_VALUE ? INT64_MIN : out.endUs,
                           av_rescale_q(p->dts + std::max<std::int64_t>(0, p->duration),
                                        stream->time_base, kMicroseconds));
    }
    p->stream_index = index;
    p->pos = -1;
    result = av_write_frame(out.context, p);
    av_packet_unref(p);
    if (result < 0) Output::fail("Cannot write the recording", result);
    if (Clock::now() - out.flushed >= kFlushEvery) {
      // Pushed to the file now and then, so a killed process loses at most this much.
      avio_flush(out.context->pb);
      if (out.context->pb->error < 0) Output::fail("Cannot write the recording", out.context->pb->error);
      out.flushed = Clock::now();
    }
    if (progress) progress();
    if (stop && stop()) {
      end.stopped = true;
      return end;
    }
  }
}

}  // namespace zephra
