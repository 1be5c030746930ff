#include "platform/video/ClipTools.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace platform::video {

namespace {

std::string AvText(const std::string& what, int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return what + ": " + text;
}

// Everything one encode needs, freed in one place.
struct st_Encoder {
  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* sound = nullptr;
  AVStream* videoStream = nullptr;
  AVStream* soundStream = nullptr;
  AVFrame* picture = nullptr;
  AVFrame* samples = nullptr;
  AVPacket* packet = nullptr;
  SwsContext* scaler = nullptr;
  bool headerWritten = false;

  ~st_Encoder() {
    sws_freeContext(scaler);
    av_frame_free(&picture);
    av_frame_free(&samples);
    av_packet_free(&packet);
    avcodec_free_context(&video);
    avcodec_free_context(&sound);
    if (format) {
      if (format->pb) avio_closep(&format->pb);
      avformat_free_context(format);
    }
  }

  // Sends a frame (null: the end) and writes every packet that comes out.
  int Encode(AVCodecContext* codec, AVStream* stream, const AVFrame* frame) {
    int r = avcodec_send_frame(codec, frame);
    while (r >= 0) {
      r = avcodec_receive_packet(codec, packet);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return 0;
      if (r < 0) return r;
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      r = av_interleaved_write_frame(format, packet);
    }
    return r;
  }
};

AVCodecContext* MakeCodec(const std::string& name, std::string* error) {
  const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
  if (!codec) {
    *error = "no encoder " + name;
    return nullptr;
  }
  AVCodecContext* context = avcodec_alloc_context3(codec);
  if (!context) *error = "out of memory";
  return context;
}

}  // namespace

bool WriteClip(const std::string& path, const st_ClipSettings& c, const PaintFrame& paint, const MakeSound& sound,
               std::string* error) {
  std::string scratch;
  if (!error) error = &scratch;
  if (c.width <= 0 || c.height <= 0 || c.rateNum <= 0 || c.rateDen <= 0 || c.frames <= 0) {
    *error = "bad clip settings";
    return false;
  }
  st_Encoder e;
  int r = avformat_alloc_output_context2(&e.format, nullptr, c.container.c_str(), path.c_str());
  if (r < 0 || !e.format) {
    *error = AvText("no muxer", r);
    return false;
  }
  // Video.
  if (!(e.video = MakeCodec(c.videoCodec, error))) return false;
  e.video->width = c.width;
  e.video->height = c.height;
  e.video->time_base = AVRational{c.rateDen, c.rateNum};
  e.video->framerate = AVRational{c.rateNum, c.rateDen};
  e.video->pix_fmt = AV_PIX_FMT_YUV420P;
  e.video->gop_size = 12;
  e.video->max_b_frames = c.bFrames;
  e.video->thread_count = 1;
  if (c.bitRate > 0) {
    e.video->bit_rate = c.bitRate;
  } else {
    e.video->flags |= AV_CODEC_FLAG_QSCALE;
    e.video->global_quality = FF_QP2LAMBDA * c.quality;
  }
  if (e.format->oformat->flags & AVFMT_GLOBALHEADER) e.video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if ((r = avcodec_open2(e.video, e.video->codec, nullptr)) < 0) {
    *error = AvText("cannot open the video encoder", r);
    return false;
  }
  e.videoStream = avformat_new_stream(e.format, nullptr);
  if (!e.videoStream) {
    *error = "out of memory";
    return false;
  }
  e.videoStream->time_base = e.video->time_base;
  e.videoStream->avg_frame_rate = e.video->framerate;
  avcodec_parameters_from_context(e.videoStream->codecpar, e.video);
  // Sound.
  if (!c.soundCodec.empty()) {
    if (!(e.sound = MakeCodec(c.soundCodec, error))) return false;
    const AVCodec* codec = e.sound->codec;
    e.sound->sample_rate = c.soundRate;
    AVChannelLayout stereo;
    av_channel_layout_default(&stereo, 2);
    av_channel_layout_copy(&e.sound->ch_layout, &stereo);
    e.sound->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    e.sound->time_base = AVRational{1, c.soundRate};
    if (c.soundCodec == "libvorbis") e.sound->global_quality = FF_QP2LAMBDA * 3, e.sound->flags |= AV_CODEC_FLAG_QSCALE;
    if (e.format->oformat->flags & AVFMT_GLOBALHEADER) e.sound->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((r = avcodec_open2(e.sound, codec, nullptr)) < 0) {
      *error = AvText("cannot open the sound encoder", r);
      return false;
    }
    if (!(e.soundStream = avformat_new_stream(e.format, nullptr))) {
      *error = "out of memory";
      return false;
    }
    e.soundStream->time_base = e.sound->time_base;
    avcodec_parameters_from_context(e.soundStream->codecpar, e.sound);
  }
  if (!(e.format->oformat->flags & AVFMT_NOFILE) && (r = avio_open(&e.format->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0) {
    *error = AvText("cannot create " + path, r);
    return false;
  }
  if ((r = avformat_write_header(e.format, nullptr)) < 0) {
    *error = AvText("cannot write the header", r);
    return false;
  }
  e.packet = av_packet_alloc();
  e.picture = av_frame_alloc();
  e.picture->format = AV_PIX_FMT_YUV420P;
  e.picture->width = c.width;
  e.picture->height = c.height;
  if (!e.packet || av_frame_get_buffer(e.picture, 0) < 0) {
    *error = "out of memory";
    return false;
  }
  e.scaler = sws_getContext(c.width, c.height, AV_PIX_FMT_BGRA, c.width, c.height, AV_PIX_FMT_YUV420P,
                            SWS_BILINEAR, nullptr, nullptr, nullptr);
  std::vector<uint32_t> pixels(static_cast<size_t>(c.width) * c.height);

  const int frameSize = e.sound ? (e.sound->frame_size > 0 ? e.sound->frame_size : 1024) : 0;
  if (e.sound) {
    e.samples = av_frame_alloc();
    e.samples->format = e.sound->sample_fmt;
    e.samples->sample_rate = c.soundRate;
    e.samples->nb_samples = frameSize;
    av_channel_layout_copy(&e.samples->ch_layout, &e.sound->ch_layout);
    if (av_frame_get_buffer(e.samples, 0) < 0) {
      *error = "out of memory";
      return false;
    }
  }
  std::vector<float> stereo(static_cast<size_t>(frameSize) * 2);
  int64_t soundDone = 0;
  const int64_t soundTotal =
      e.sound ? av_rescale(c.frames, static_cast<int64_t>(c.soundRate) * c.rateDen, c.rateNum) : 0;

  for (int i = 0; i < c.frames; ++i) {
    std::fill(pixels.begin(), pixels.end(), 0xFF000000u);
    paint(i, pixels.data());
    if ((r = av_frame_make_writable(e.picture)) < 0) break;
    const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(pixels.data())};
    const int inPitch[1] = {c.width * 4};
    sws_scale(e.scaler, in, inPitch, 0, c.height, e.picture->data, e.picture->linesize);
    e.picture->pts = i;
    if ((r = e.Encode(e.video, e.videoStream, e.picture)) < 0) break;
    // Sound up to the end of this picture, in the encoder's frame size.
    const int64_t soundUntil = av_rescale(i + 1, static_cast<int64_t>(c.soundRate) * c.rateDen, c.rateNum);
    while (e.sound && soundDone + frameSize <= std::max(soundUntil, int64_t(0)) && soundDone < soundTotal) {
      std::fill(stereo.begin(), stereo.end(), 0.0f);
      if (sound) sound(soundDone, stereo.data(), frameSize);
      if ((r = av_frame_make_writable(e.samples)) < 0) break;
      for (int s = 0; s < frameSize; ++s) {
        for (int ch = 0; ch < 2; ++ch) {
          const float v = std::clamp(stereo[static_cast<size_t>(s) * 2 + ch], -1.0f, 1.0f);
          switch (e.sound->sample_fmt) {
            case AV_SAMPLE_FMT_FLTP: reinterpret_cast<float*>(e.samples->data[ch])[s] = v; break;
            case AV_SAMPLE_FMT_S16: reinterpret_cast<int16_t*>(e.samples->data[0])[s * 2 + ch] = static_cast<int16_t>(v * 32767.0f); break;
            case AV_SAMPLE_FMT_FLT: reinterpret_cast<float*>(e.samples->data[0])[s * 2 + ch] = v; break;
            default: break;
          }
        }
      }
      e.samples->pts = soundDone;
      soundDone += frameSize;
      if ((r = e.Encode(e.sound, e.soundStream, e.samples)) < 0) break;
    }
    if (r < 0) break;
  }
  if (r >= 0) r = e.Encode(e.video, e.videoStream, nullptr);
  if (r >= 0 && e.sound) r = e.Encode(e.sound, e.soundStream, nullptr);
  if (r < 0) {
    *error = AvText("cannot encode", r);
    return false;
  }
  if ((r = av_write_trailer(e.format)) < 0) {
    *error = AvText("cannot finish the file", r);
    return false;
  }
  return true;
}

// ---- The reference decoder

struct cl_ReferenceDecoder::st_Impl {
  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  SwsContext* scaler = nullptr;
  int stream = -1;
  bool flushing = false;
};

cl_ReferenceDecoder::cl_ReferenceDecoder() : m_impl(new st_Impl) {}
cl_ReferenceDecoder::~cl_ReferenceDecoder() {
  Close();
  delete m_impl;
}

void cl_ReferenceDecoder::Close() {
  sws_freeContext(m_impl->scaler);
  av_frame_free(&m_impl->frame);
  av_packet_free(&m_impl->packet);
  avcodec_free_context(&m_impl->video);
  avformat_close_input(&m_impl->format);
  *m_impl = st_Impl();
}

bool cl_ReferenceDecoder::Open(const std::string& path) {
  Close();
  if (avformat_open_input(&m_impl->format, path.c_str(), nullptr, nullptr) < 0) return false;
  if (avformat_find_stream_info(m_impl->format, nullptr) < 0) return false;
  const AVCodec* codec = nullptr;
  m_impl->stream = av_find_best_stream(m_impl->format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (m_impl->stream < 0 || !codec) return false;
  m_impl->video = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(m_impl->video, m_impl->format->streams[m_impl->stream]->codecpar);
  m_impl->video->thread_count = 1;
  if (avcodec_open2(m_impl->video, codec, nullptr) < 0) return false;
  m_impl->packet = av_packet_alloc();
  m_impl->frame = av_frame_alloc();
  return m_impl->packet && m_impl->frame;
}

bool cl_ReferenceDecoder::Next(st_PlanarFrame* out) {
  st_Impl& d = *m_impl;
  if (!d.video) return false;
  for (;;) {
    int r = avcodec_receive_frame(d.video, d.frame);
    if (r == 0) break;
    if (r != AVERROR(EAGAIN) || d.flushing) return false;
    if (av_read_frame(d.format, d.packet) < 0) {
      d.flushing = true;
      avcodec_send_packet(d.video, nullptr);
      continue;
    }
    if (d.packet->stream_index == d.stream) avcodec_send_packet(d.video, d.packet);
    av_packet_unref(d.packet);
  }
  if (out) {
    const int w = d.frame->width, h = d.frame->height, cw = (w + 1) / 2, ch = (h + 1) / 2;
    out->width = w;
    out->height = h;
    out->y.resize(static_cast<size_t>(w) * h);
    out->cb.resize(static_cast<size_t>(cw) * ch);
    out->cr.resize(out->cb.size());
    uint8_t* planes[4] = {out->y.data(), out->cb.data(), out->cr.data(), nullptr};
    int pitches[4] = {w, cw, cw, 0};
    if (d.frame->format == AV_PIX_FMT_YUV420P) {
      av_image_copy(planes, pitches, const_cast<const uint8_t**>(d.frame->data), d.frame->linesize,
                    AV_PIX_FMT_YUV420P, w, h);
    } else {
      d.scaler = sws_getCachedContext(d.scaler, w, h, static_cast<AVPixelFormat>(d.frame->format), w, h,
                                      AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
      sws_scale(d.scaler, d.frame->data, d.frame->linesize, 0, h, planes, pitches);
    }
  }
  av_frame_unref(d.frame);
  return true;
}

}  // namespace platform::video
