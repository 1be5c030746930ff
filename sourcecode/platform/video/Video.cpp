#include "platform/video/Video.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "platform/audio/Mixer.h"
#include "platform/os/Path.h"

namespace platform::video {

namespace {

constexpr int kSoundRate = 44100;
constexpr int kIoBufferSize = 32768;
// Sound decoded ahead of what the voice takes is kept up to this many frames, then dropped:
// nothing pulls the mix while the program stalls, and the video must not grow without bound.
constexpr size_t kMaxPendingSoundFrames = kSoundRate * 2;

std::string g_error;
audio::ExternalVoice* g_voice = nullptr;
unsigned long (*g_ticks)() = nullptr;

unsigned long MonotonicTicks() {
  using namespace std::chrono;
  return static_cast<unsigned long>(
      static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count()));
}
unsigned long Now() { return g_ticks ? g_ticks() : MonotonicTicks(); }

void SetError(const std::string& text) { g_error = text; }
void SetAvError(const char* what, int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  SetError(std::string(what) + ": " + text);
}

int ReadThunk(void* opaque, uint8_t* buffer, int size) {
  const auto* reader = static_cast<const st_ByteReader*>(opaque);
  const int n = reader->read(reader->opaque, buffer, size);
  return n > 0 ? n : n == 0 ? AVERROR_EOF : AVERROR(EIO);
}
int64_t SeekThunk(void* opaque, int64_t offset, int whence) {
  const auto* reader = static_cast<const st_ByteReader*>(opaque);
  if (!reader->seek) return -1;
  return reader->seek(reader->opaque, offset, whence == AVSEEK_SIZE ? 0x10000 : whence & ~AVSEEK_FORCE);
}

}  // namespace

struct st_VideoHandle::st_State {
  st_ByteReader reader;  // a copy, so the caller's record may go
  AVIOContext* io = nullptr;
  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* sound = nullptr;
  int videoStream = -1, soundStream = -1;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  AVFrame* soundFrame = nullptr;
  SwsContext* scaler = nullptr;
  SwrContext* resampler = nullptr;
  audio::ExternalVoice* voice = nullptr;
  std::vector<float> pendingSound;  // interleaved stereo frames not yet taken by the voice
  st_FrameBuffersInfo buffers;
  bool registered = false, alpha = false;
  bool ended = false;      // the stream ended or failed: NextFrame finishes the clip
  bool flushing = false;   // the end of the file was sent to the video decoder
  int64_t decodedFor = -1; // the frame number DoFrame last decoded
  // Play clock: milliseconds since open, less the paused stretches.
  unsigned long startTicks = 0, pausedAt = 0;
  bool paused = false;
  int32_t volume = 32768;
  int width = 0, height = 0;
  // Pictures decoded straight into the registered sets (GetBuffer): each set's share of the
  // decoder's buffers, the plane layout every picture of the stream gets (0 undecided, 1 the
  // registered pitches and rows, −1 FFmpeg's own), a pool of buffers in that layout for pictures
  // no set can take, and the set holding the picture of the last frame.
  struct st_SetToken {
    st_State* state;
    int set;
  } tokens[kMaxFrameBufferSets];
  int32_t refs[kMaxFrameBufferSets] = {};
  bool takesBuffers = false;
  int layout = 0;
  int32_t layoutPitch[kPlaneCount] = {}, layoutRows[kPlaneCount] = {};
  AVBufferPool* spare[kPlaneCount] = {};
  int32_t pictureSet = -1;
  uint32_t directPictures = 0, copiedPictures = 0;

  st_State() {
    for (int i = 0; i < kMaxFrameBufferSets; ++i) tokens[i] = {this, i};
  }
};

// ---- Opening and closing

namespace {

// The clip's voice while it is still the sound output; null once the output was taken away
// (the sound library closed under an open clip), so a freed voice is never touched.
audio::ExternalVoice* LiveVoice(const st_VideoHandle::st_State* s) { return s->voice == g_voice ? s->voice : nullptr; }

void FreeState(st_VideoHandle::st_State* s) {
  if (!s) return;
  if (audio::ExternalVoice* voice = LiveVoice(s)) voice->Clear();
  sws_freeContext(s->scaler);
  swr_free(&s->resampler);
  av_frame_free(&s->frame);
  av_frame_free(&s->soundFrame);
  av_packet_free(&s->packet);
  avcodec_free_context(&s->video);
  avcodec_free_context(&s->sound);
  for (AVBufferPool*& pool : s->spare) av_buffer_pool_uninit(&pool);  // freed once its buffers are back
  avformat_close_input(&s->format);
  if (s->io) {
    av_freep(&s->io->buffer);
    avio_context_free(&s->io);
  }
  delete s;
}

// Decoding stays on the caller's thread: the player decodes inside the frame update.
AVCodecContext* OpenDecoder(const AVStream* stream) {
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) {
    SetError(std::string("no decoder for ") + avcodec_get_name(stream->codecpar->codec_id));
    return nullptr;
  }
  AVCodecContext* context = avcodec_alloc_context3(codec);
  if (!context) {
    SetError("out of memory");
    return nullptr;
  }
  int r = avcodec_parameters_to_context(context, stream->codecpar);
  context->thread_count = 1;
  context->thread_type = 0;
  if (r >= 0) r = avcodec_open2(context, codec, nullptr);
  if (r < 0) {
    SetAvError("cannot open the decoder", r);
    avcodec_free_context(&context);
  }
  return context;
}

bool OpenSound(st_VideoHandle::st_State* s) {
  s->sound = OpenDecoder(s->format->streams[s->soundStream]);
  if (!s->sound) return false;
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  AVChannelLayout in;
  if (s->sound->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || s->sound->ch_layout.nb_channels <= 0)
    av_channel_layout_default(&in, std::max(1, s->sound->ch_layout.nb_channels));
  else
    av_channel_layout_copy(&in, &s->sound->ch_layout);
  int r = swr_alloc_set_opts2(&s->resampler, &stereo, AV_SAMPLE_FMT_FLT, kSoundRate, &in, s->sound->sample_fmt,
                              s->sound->sample_rate, 0, nullptr);
  av_channel_layout_uninit(&in);
  if (r >= 0) r = swr_init(s->resampler);
  if (r < 0) {
    SetAvError("cannot convert the sound", r);
    return false;
  }
  s->soundFrame = av_frame_alloc();
  return s->soundFrame != nullptr;
}

// Frames from the stream's count, else from its duration or the file's.
uint32_t CountFrames(const AVFormatContext* format, const AVStream* stream, AVRational rate) {
  if (stream->nb_frames > 0 && stream->nb_frames < UINT32_MAX) return static_cast<uint32_t>(stream->nb_frames);
  double seconds = 0.0;
  if (stream->duration > 0 && stream->duration != AV_NOPTS_VALUE)
    seconds = static_cast<double>(stream->duration) * av_q2d(stream->time_base);
  else if (format->duration > 0 && format->duration != AV_NOPTS_VALUE)
    seconds = static_cast<double>(format->duration) / AV_TIME_BASE;
  const double frames = seconds * av_q2d(rate) + 0.5;
  return frames >= 1.0 && frames < 4.0e9 ? static_cast<uint32_t>(frames) : 0;
}

// ---- pictures straight into the registered sets

// FFmpeg's 4:2:0 order is Y, Cb (U), Cr (V), A; ours Y, Cr, Cb, A: the same swap both ways.
constexpr int kOtherOrder[kPlaneCount] = {0, 2, 1, 3};

AVPixelFormat WantedFormat(const st_VideoHandle::st_State* s) {
  return s->alpha ? AV_PIX_FMT_YUVA420P : AV_PIX_FMT_YUV420P;
}
int PlaneCount(const st_VideoHandle::st_State* s) { return s->alpha ? 4 : 3; }

// Whether every set's planes can hold the decoder's pictures as they are: rows and pitches the
// decoder's alignment allows, room for its aligned height and the slack it reads past the end.
bool RegisteredLayoutFits(st_VideoHandle::st_State* s, AVCodecContext* context) {
  const st_FrameBuffersInfo& b = s->buffers;
  if (!s->registered || b.setCount < 1) return false;
  int w = s->width, h = s->height;
  int align[AV_NUM_DATA_POINTERS] = {};
  avcodec_align_dimensions2(context, &w, &h, align);
  for (int k = 0; k < PlaneCount(s); ++k) {
    const bool chroma = k == 1 || k == 2;
    const int64_t width = chroma ? (w + 1) / 2 : w, height = chroma ? (h + 1) / 2 : h;
    const st_PlaneBuffer& first = b.sets[0][kOtherOrder[k]];
    const int64_t pitch = first.pitch, rows = first.rows;
    if (pitch < width || (align[k] > 0 && pitch % align[k] != 0) || (rows - height) * pitch < 16 + 64 - 1) return false;
    for (int set = 0; set < b.setCount; ++set) {
      const st_PlaneBuffer& p = b.sets[set][kOtherOrder[k]];
      if (!p.wanted || !p.memory || p.pitch != pitch || p.rows != rows || reinterpret_cast<uintptr_t>(p.memory) % 64 != 0)
        return false;
    }
    s->layoutPitch[k] = static_cast<int32_t>(pitch);
    s->layoutRows[k] = static_cast<int32_t>(rows);
  }
  return true;
}

void ReleaseSetBuffer(void* opaque, uint8_t*) {
  auto* token = static_cast<st_VideoHandle::st_State::st_SetToken*>(opaque);
  --token->state->refs[token->set];
}

// The set a picture's buffers point into, or −1.
int SetOfPicture(const st_VideoHandle::st_State* s, const AVFrame* f) {
  if (!f->buf[0]) return -1;
  const void* opaque = av_buffer_get_opaque(f->buf[0]);
  for (int set = 0; set < kMaxFrameBufferSets; ++set)
    if (opaque == &s->tokens[set]) return set;
  return -1;
}

int FreeSets(const st_VideoHandle::st_State* s, int besides) {
  int free = 0;
  for (int set = 0; set < s->buffers.setCount; ++set) free += set != besides && s->refs[set] == 0;
  return free;
}

// The decoder's picture buffers. Once the registered layout suits it, every picture of the
// stream gets that layout (the decoder wants one pitch throughout): the current set when the
// decoder holds none of it and another set stays free for a copy, else a buffer of the pool.
int GetBuffer(AVCodecContext* context, AVFrame* frame, int flags) {
  auto* s = static_cast<st_VideoHandle::st_State*>(context->opaque);
  if (s->layout == 0) s->layout = RegisteredLayoutFits(s, context) ? 1 : -1;
  if (s->layout < 0 || frame->format != WantedFormat(s) || frame->width != s->width || frame->height != s->height)
    return avcodec_default_get_buffer2(context, frame, flags);
  const int set = s->buffers.currentSet;
  const bool intoSet = s->registered && set >= 0 && set < s->buffers.setCount && s->refs[set] == 0 &&
                       FreeSets(s, set) >= 1;
  for (int k = 0; k < PlaneCount(s); ++k) {
    const size_t size = static_cast<size_t>(s->layoutPitch[k]) * static_cast<size_t>(s->layoutRows[k]);
    uint8_t* memory = intoSet ? s->buffers.sets[set][kOtherOrder[k]].memory : nullptr;
    if (memory) {
      frame->buf[k] = av_buffer_create(memory, size, ReleaseSetBuffer, &s->tokens[set], 0);
      if (frame->buf[k]) ++s->refs[set];
    } else {
      if (!s->spare[k]) s->spare[k] = av_buffer_pool_init(size, nullptr);
      frame->buf[k] = s->spare[k] ? av_buffer_pool_get(s->spare[k]) : nullptr;
    }
    if (!frame->buf[k]) {
      for (int i = 0; i < k; ++i) av_buffer_unref(&frame->buf[i]);
      return AVERROR(ENOMEM);
    }
    frame->data[k] = frame->buf[k]->data;
    frame->linesize[k] = s->layoutPitch[k];
  }
  frame->extended_data = frame->data;
  return 0;
}

// The next picture's set: one the decoder holds none of, other than the shown one's if possible.
void ChooseNextSet(st_VideoHandle::st_State* s) {
  int choice = -1;
  for (int set = 0; set < s->buffers.setCount && choice < 0; ++set)
    if (s->refs[set] == 0 && set != s->pictureSet) choice = set;
  if (choice < 0 && s->pictureSet >= 0 && s->refs[s->pictureSet] == 0) choice = s->pictureSet;
  if (choice >= 0) s->buffers.currentSet = choice;
}

st_VideoHandle* OpenWith(st_VideoHandle::st_State* s, const char* path) {
  // Failures are reported through GetError; FFmpeg's own console lines would only repeat them.
  av_log_set_level(AV_LOG_QUIET);
  int r = avformat_open_input(&s->format, path, nullptr, nullptr);
  if (r < 0) {
    SetAvError("cannot open the file", r);
    FreeState(s);
    return nullptr;
  }
  if ((r = avformat_find_stream_info(s->format, nullptr)) < 0) {
    SetAvError("cannot read the streams", r);
    FreeState(s);
    return nullptr;
  }
  s->videoStream = av_find_best_stream(s->format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (s->videoStream < 0) {
    SetError("the file has no video stream");
    FreeState(s);
    return nullptr;
  }
  const AVStream* stream = s->format->streams[s->videoStream];
  AVRational rate = stream->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = stream->r_frame_rate;
  // A clip without a rate has no time: reject it rather than divide by zero later.
  if (rate.num <= 0 || rate.den <= 0) {
    SetError("the video stream has no frame rate");
    FreeState(s);
    return nullptr;
  }
  const int width = stream->codecpar->width, height = stream->codecpar->height;
  if (width <= 0 || height <= 0 || width > 8192 || height > 8192) {
    SetError("the video has no usable picture size");
    FreeState(s);
    return nullptr;
  }
  const uint32_t frames = CountFrames(s->format, stream, rate);
  if (frames == 0) {
    SetError("the video's length is unknown");
    FreeState(s);
    return nullptr;
  }
  s->video = OpenDecoder(stream);
  if (s->video && (s->video->codec->capabilities & AV_CODEC_CAP_DR1)) {
    s->video->opaque = s;
    s->video->get_buffer2 = GetBuffer;
    s->takesBuffers = true;
  }
  s->width = width;
  s->height = height;
  s->packet = av_packet_alloc();
  s->frame = av_frame_alloc();
  if (!s->video || !s->packet || !s->frame) {
    FreeState(s);
    return nullptr;
  }
  const AVPixFmtDescriptor* pixel = av_pix_fmt_desc_get(s->video->pix_fmt);
  s->alpha = pixel && (pixel->flags & AV_PIX_FMT_FLAG_ALPHA);
  s->soundStream = av_find_best_stream(s->format, AVMEDIA_TYPE_AUDIO, -1, s->videoStream, nullptr, 0);
  if (s->soundStream >= 0 && g_voice) {
    if (!OpenSound(s)) {
      FreeState(s);
      return nullptr;
    }
    s->voice = g_voice;
    s->voice->SetVolume(1.0f);
  }

  auto* handle = new st_VideoHandle;
  handle->Width = static_cast<uint32_t>(width);
  handle->Height = static_cast<uint32_t>(height);
  handle->Frames = frames;
  handle->FrameRate = static_cast<uint32_t>(rate.num);
  handle->FrameRateDiv = static_cast<uint32_t>(rate.den);
  handle->NumTracks = s->soundStream >= 0 ? 1 : 0;
  s->startTicks = Now();
  handle->state = s;
  SetError("");
  return handle;
}

}  // namespace

void SetSoundOutput(audio::ExternalVoice* voice) { g_voice = voice; }
audio::ExternalVoice* GetSoundOutput() { return g_voice; }
void SetClock(unsigned long (*ticks)()) { g_ticks = ticks; }
const char* GetError() { return g_error.c_str(); }

st_VideoHandle* Open(const char* path) {
  if (!path || !*path) {
    SetError("no file name");
    return nullptr;
  }
  // The data may spell names in another case than the disk does.
  std::string resolved;
  platform::os::ResolvePath(path, resolved);
  return OpenWith(new st_VideoHandle::st_State, resolved.c_str());
}

st_VideoHandle* OpenReader(const st_ByteReader& reader) {
  if (!reader.read) {
    SetError("no reader");
    return nullptr;
  }
  auto* s = new st_VideoHandle::st_State;
  s->reader = reader;
  auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
  s->format = avformat_alloc_context();
  if (buffer)
    s->io = avio_alloc_context(buffer, kIoBufferSize, 0, &s->reader, ReadThunk, nullptr,
                               reader.seek ? SeekThunk : nullptr);
  if (!s->format || !s->io) {
    if (!s->io) av_free(buffer);
    SetError("out of memory");
    FreeState(s);
    return nullptr;
  }
  s->format->pb = s->io;
  s->format->flags |= AVFMT_FLAG_CUSTOM_IO;
  return OpenWith(s, nullptr);
}

void Close(st_VideoHandle* handle) {
  if (!handle) return;
  FreeState(handle->state);
  delete handle;
}

// ---- Clock

namespace {

// Milliseconds of play since open.
double PlayedMs(const st_VideoHandle* h) {
  const unsigned long now = h->state->paused ? h->state->pausedAt : Now();
  return static_cast<double>(static_cast<uint32_t>(now - h->state->startTicks));
}
double FrameDueMs(const st_VideoHandle* h, double frame) {
  return frame * 1000.0 * h->FrameRateDiv / h->FrameRate;
}

}  // namespace

bool Pause(st_VideoHandle* handle, bool pause) {
  if (!handle) return false;
  st_VideoHandle::st_State* s = handle->state;
  if (pause == s->paused) return true;
  if (pause) {
    s->pausedAt = Now();
  } else {
    s->startTicks += static_cast<uint32_t>(Now() - s->pausedAt);
  }
  s->paused = pause;
  return true;
}

bool Wait(st_VideoHandle* handle) {
  if (!handle) return false;
  if (handle->state->paused) return true;
  return PlayedMs(handle) < FrameDueMs(handle, handle->FrameNum);
}

bool ShouldSkip(st_VideoHandle* handle) {
  if (!handle || handle->state->paused) return false;
  return PlayedMs(handle) - FrameDueMs(handle, handle->FrameNum) > FrameDueMs(handle, 1.0);
}

// ---- Decoding

namespace {

void FeedVoice(st_VideoHandle::st_State* s) {
  audio::ExternalVoice* voice = LiveVoice(s);
  if (!voice || s->pendingSound.empty()) return;
  // Frames written before the mixer drops the previous clip's sound would be dropped with it.
  if (voice->ClearPending()) return;
  const uint32_t frames = static_cast<uint32_t>(s->pendingSound.size() / 2);
  const uint32_t taken = voice->Write(s->pendingSound.data(), frames);
  s->pendingSound.erase(s->pendingSound.begin(), s->pendingSound.begin() + taken * 2);
  if (s->pendingSound.size() / 2 > kMaxPendingSoundFrames)
    s->pendingSound.erase(s->pendingSound.begin(),
                          s->pendingSound.end() - static_cast<ptrdiff_t>(kMaxPendingSoundFrames * 2));
}

// A corrupt sound packet is dropped; the picture goes on.
void DecodeSound(st_VideoHandle::st_State* s, const AVPacket* packet) {
  if (avcodec_send_packet(s->sound, packet) < 0) return;
  while (avcodec_receive_frame(s->sound, s->soundFrame) >= 0) {
    const int most = swr_get_out_samples(s->resampler, s->soundFrame->nb_samples);
    if (most > 0) {
      const size_t at = s->pendingSound.size();
      s->pendingSound.resize(at + static_cast<size_t>(most) * 2);
      uint8_t* out = reinterpret_cast<uint8_t*>(s->pendingSound.data() + at);
      const int got = swr_convert(s->resampler, &out, most, const_cast<const uint8_t**>(s->soundFrame->extended_data),
                                  s->soundFrame->nb_samples);
      s->pendingSound.resize(at + static_cast<size_t>(std::max(got, 0)) * 2);
    }
    av_frame_unref(s->soundFrame);
  }
  FeedVoice(s);
}

// The next picture into s->frame: 0, AVERROR_EOF at the end, or another failure.
int DecodePicture(st_VideoHandle::st_State* s) {
  for (;;) {
    int r = avcodec_receive_frame(s->video, s->frame);
    if (r != AVERROR(EAGAIN)) return r;
    if (s->flushing) return AVERROR_EOF;
    r = av_read_frame(s->format, s->packet);
    if (r < 0) {
      // The end of the file (or a read failure): drain what the decoder still holds.
      s->flushing = true;
      avcodec_send_packet(s->video, nullptr);
      continue;
    }
    if (s->packet->stream_index == s->videoStream) {
      r = avcodec_send_packet(s->video, s->packet);
      av_packet_unref(s->packet);
      if (r < 0 && r != AVERROR(EAGAIN)) return r;
    } else {
      if (s->sound && s->packet->stream_index == s->soundStream) DecodeSound(s, s->packet);
      av_packet_unref(s->packet);
    }
  }
}

void CopyPlane(uint8_t* to, int32_t toPitch, const uint8_t* from, int fromPitch, uint32_t width, uint32_t height) {
  for (uint32_t row = 0; row < height; ++row)
    std::memcpy(to + static_cast<ptrdiff_t>(row) * toPitch, from + static_cast<ptrdiff_t>(row) * fromPitch, width);
}

// Writes the decoded picture into the registered planes; other pixel formats (and a picture
// whose size changed mid-clip) are converted to 4:2:0 first.
bool StorePicture(st_VideoHandle* h) {
  st_VideoHandle::st_State* s = h->state;
  if (!s->registered) return true;
  const AVFrame* f = s->frame;
  if (const int set = SetOfPicture(s, f); set >= 0) {
    ++s->directPictures;
    s->pictureSet = set;
    ChooseNextSet(s);
    return true;
  }
  // A set the decoder holds none of: the current one, or another.
  int target = s->buffers.currentSet;
  if (s->refs[target] != 0)
    for (target = 0; target < s->buffers.setCount && s->refs[target] != 0; ++target) {
    }
  if (target == s->buffers.setCount) return true;  // none free: the previous picture stays
  const AVPixelFormat wanted = WantedFormat(s);
  const uint8_t* planes[4] = {f->data[0], f->data[1], f->data[2], f->data[3]};
  int pitches[4] = {f->linesize[0], f->linesize[1], f->linesize[2], f->linesize[3]};
  uint8_t* converted[4] = {};
  int convertedPitch[4] = {};
  if (f->format != wanted || static_cast<uint32_t>(f->width) != h->Width ||
      static_cast<uint32_t>(f->height) != h->Height) {
    s->scaler = sws_getCachedContext(s->scaler, f->width, f->height, static_cast<AVPixelFormat>(f->format),
                                     static_cast<int>(h->Width), static_cast<int>(h->Height), wanted,
                                     SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!s->scaler || av_image_alloc(converted, convertedPitch, static_cast<int>(h->Width),
                                     static_cast<int>(h->Height), wanted, 32) < 0) {
      SetError("cannot convert the picture");
      return false;
    }
    sws_scale(s->scaler, f->data, f->linesize, 0, f->height, converted, convertedPitch);
    for (int i = 0; i < 4; ++i) {
      planes[i] = converted[i];
      pitches[i] = convertedPitch[i];
    }
  }
  const st_PlaneBuffer* set = s->buffers.sets[target];
  for (int p = 0; p < kPlaneCount; ++p) {
    if (!set[p].wanted || !set[p].memory || !planes[kOtherOrder[p]]) continue;
    const bool chroma = p == kPlaneCr || p == kPlaneCb;
    CopyPlane(set[p].memory, set[p].pitch, planes[kOtherOrder[p]], pitches[kOtherOrder[p]],
              chroma ? s->buffers.chromaWidth : s->buffers.yaWidth,
              chroma ? s->buffers.chromaHeight : s->buffers.yaHeight);
  }
  if (converted[0]) av_freep(&converted[0]);
  ++s->copiedPictures;
  s->pictureSet = target;
  ChooseNextSet(s);
  return true;
}

}  // namespace

bool DoFrame(st_VideoHandle* handle) {
  if (!handle) return false;
  st_VideoHandle::st_State* s = handle->state;
  FeedVoice(s);
  if (s->ended) return false;
  if (s->decodedFor == handle->FrameNum) return true;
  const int r = DecodePicture(s);
  if (r < 0) {
    if (r != AVERROR_EOF) SetAvError("cannot decode the video", r);
    s->ended = true;
    return false;
  }
  s->decodedFor = handle->FrameNum;
  const bool stored = StorePicture(handle);
  av_frame_unref(s->frame);
  if (!stored) s->ended = true;
  return stored;
}

void NextFrame(st_VideoHandle* handle) {
  if (!handle) return;
  st_VideoHandle::st_State* s = handle->state;
  // A frame skipped without being decoded is decoded now: later pictures depend on it.
  if (s->decodedFor != handle->FrameNum && !s->ended) {
    const bool registered = s->registered;
    s->registered = false;
    DoFrame(handle);
    s->registered = registered;
  }
  handle->FrameNum = s->ended ? handle->Frames : std::min(handle->FrameNum + 1, handle->Frames);
}

void SetVolume(st_VideoHandle* handle, uint32_t track, int32_t volume) {
  if (!handle || track >= handle->NumTracks) return;
  st_VideoHandle::st_State* s = handle->state;
  s->volume = std::clamp(volume, 0, 32768);
  if (audio::ExternalVoice* voice = LiveVoice(s)) voice->SetVolume(static_cast<float>(s->volume) / 32768.0f);
}

int32_t GetVolume(const st_VideoHandle* handle, uint32_t track) {
  return handle && track < handle->NumTracks ? handle->state->volume : 0;
}

void GetFrameBuffersInfo(const st_VideoHandle* handle, st_FrameBuffersInfo* info) {
  if (!handle || !info) return;
  *info = st_FrameBuffersInfo();
  info->setCount = handle->state->takesBuffers ? kMaxFrameBufferSets : 1;
  info->currentSet = handle->state->buffers.currentSet;
  info->yaWidth = handle->Width;
  info->yaHeight = handle->Height;
  info->chromaWidth = (handle->Width + 1) / 2;
  info->chromaHeight = (handle->Height + 1) / 2;
  for (st_PlaneBuffer* set : info->sets) {
    set[kPlaneY].wanted = set[kPlaneCr].wanted = set[kPlaneCb].wanted = true;
    set[kPlaneA].wanted = handle->state->alpha;
  }
}

void RegisterFrameBuffers(st_VideoHandle* handle, const st_FrameBuffersInfo* info) {
  if (!handle || !info) return;
  st_VideoHandle::st_State* s = handle->state;
  st_FrameBuffersInfo expected;
  GetFrameBuffersInfo(handle, &expected);
  // Only the sizes this clip reported are trusted: the copies write exactly that much, and the
  // decoder only as many rows as each plane says it holds.
  bool fits = info->yaWidth == expected.yaWidth && info->yaHeight == expected.yaHeight &&
              info->chromaWidth == expected.chromaWidth && info->chromaHeight == expected.chromaHeight &&
              info->setCount >= 1 && info->setCount <= expected.setCount && info->currentSet >= 0 &&
              info->currentSet < info->setCount;
  for (int set = 0; set < info->setCount && fits; ++set)
    for (int p = 0; p < kPlaneCount; ++p) {
      const st_PlaneBuffer& b = info->sets[set][p];
      const bool chroma = p == kPlaneCr || p == kPlaneCb;
      const uint32_t width = chroma ? info->chromaWidth : info->yaWidth, height = chroma ? info->chromaHeight : info->yaHeight;
      fits = !b.memory || (b.pitch >= static_cast<int32_t>(width) && (b.rows == 0 || b.rows >= static_cast<int32_t>(height)));
      if (!fits) break;
    }
  if (!fits) {
    SetError("frame buffers of another size");
    s->registered = false;
    return;
  }
  s->buffers = *info;
  s->registered = true;
}

int32_t GetPictureSet(const st_VideoHandle* handle) { return handle ? handle->state->pictureSet : -1; }

int32_t GetNextFrameSet(const st_VideoHandle* handle) { return handle ? handle->state->buffers.currentSet : 0; }

void GetPictureCounts(const st_VideoHandle* handle, uint32_t* direct, uint32_t* copied) {
  if (direct) *direct = handle ? handle->state->directPictures : 0;
  if (copied) *copied = handle ? handle->state->copiedPictures : 0;
}

}  // namespace platform::video
