// PipeWire 0.3 (Debian 12: 0.3.65) with WirePlumber. Verified against a GStreamer test source; KWin's
// window streams offer the same shared-memory formats when no DMA-BUF modifier is asked for.
#include "platform/gtk/portal/pipewire_stream.h"

#include <libyuv/scale_argb.h>
#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>
#include <unistd.h>

#include <mutex>

#include "platform/gtk/portal/frame_chunk.h"

namespace qm::gtk {
namespace {

void initPipeWireOnce() {
  static std::once_flag once;
  std::call_once(once, [] { pw_init(nullptr, nullptr); });
}

// What we can take without conversion: the encoder reads B, G, R and ignores the fourth byte.
const spa_pod* videoFormats(spa_pod_builder& b) {
  spa_rectangle anySize{1280, 720}, smallest{1, 1}, largest{16384, 16384};
  spa_fraction anyRate{0, 1}, noRate{0, 1}, mostRate{1000, 1}, fourRate{4, 1}, leastRate{1, 1};
  return static_cast<const spa_pod*>(spa_pod_builder_add_object(
      &b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
      SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
      SPA_POD_CHOICE_ENUM_Id(3, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRA),
      SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&anySize, &smallest, &largest), SPA_FORMAT_VIDEO_framerate,
      SPA_POD_CHOICE_RANGE_Fraction(&anyRate, &noRate, &mostRate),
      // Asks the desktop for no more than we keep; frames beyond it are dropped here anyway.
      SPA_FORMAT_VIDEO_maxFramerate, SPA_POD_CHOICE_RANGE_Fraction(&fourRate, &leastRate, &fourRate)));
}

const spa_pod* sharedMemoryBuffers(spa_pod_builder& b) {
  return static_cast<const spa_pod*>(
      spa_pod_builder_add_object(&b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_dataType,
                                 SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr))));
}

}  // namespace

void destroyLoop(pw_thread_loop* loop) { pw_thread_loop_destroy(loop); }
void destroyContext(pw_context* context) { pw_context_destroy(context); }
void disconnectCore(pw_core* core) { pw_core_disconnect(core); }
void destroyStream(pw_stream* stream) { pw_stream_destroy(stream); }

struct PipeWireStream::Hooks {
  pw_stream_events events{};
  spa_hook listener{};
};

PipeWireStream::PipeWireStream(int remoteFd, std::uint32_t node, std::chrono::milliseconds wait,
                               std::function<void(std::optional<FrameSize>)> sized,
                               std::function<void(std::string)> ended)
    : sized(std::move(sized)), ended(std::move(ended)), hooks(std::make_unique<Hooks>()) {
  initPipeWireOnce();
  loop.reset(pw_thread_loop_new("qm.capture", nullptr));
  if (loop) context.reset(pw_context_new(pw_thread_loop_get_loop(loop.get()), nullptr, 0));
  if (context)
    core.reset(pw_context_connect_fd(context.get(), remoteFd, nullptr, 0));  // takes the fd
  else
    ::close(remoteFd);
  if (core)
    stream.reset(pw_stream_new(core.get(), "Quillmere bodycam",
                               pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture",
                                                 PW_KEY_MEDIA_ROLE, "Screen", nullptr)));
  if (!stream) {
    end("could not connect to the desktop's PipeWire");
    return;
  }
  hooks->events.version = PW_VERSION_STREAM_EVENTS;
  hooks->events.param_changed = [](void* self, std::uint32_t id, const spa_pod* param) {
    static_cast<PipeWireStream*>(self)->onParamChanged(id, param);
  };
  hooks->events.state_changed = [](void* self, pw_stream_state, pw_stream_state state, const char* error) {
    static_cast<PipeWireStream*>(self)->onStateChanged(state, error);
  };
  hooks->events.process = [](void* self) { static_cast<PipeWireStream*>(self)->onProcess(); };
  pw_stream_add_listener(stream.get(), &hooks->listener, &hooks->events, this);

  std::uint8_t buffer[1024];
  spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
  const spa_pod* params[] = {videoFormats(b)};
  auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                            PW_STREAM_FLAG_DONT_RECONNECT);
  // A node that no longer exists (a remembered window that is gone) never agrees on a format.
  pw_loop* events = pw_thread_loop_get_loop(loop.get());
  waitTimer = pw_loop_add_timer(
      events, [](void* self, std::uint64_t) { static_cast<PipeWireStream*>(self)->onWaitOver(); }, this);
  timespec timeout{static_cast<time_t>(wait.count() / 1000), static_cast<long>(wait.count() % 1000) * 1000000};
  pw_loop_update_timer(events, waitTimer, &timeout, nullptr, false);
  if (pw_stream_connect(stream.get(), PW_DIRECTION_INPUT, node, flags, params, 1) < 0 ||
      pw_thread_loop_start(loop.get()) < 0) {
    end("the stream could not connect");
    return;
  }
  threadRunning = true;
}

PipeWireStream::~PipeWireStream() {
  stop();
  stream.reset();
  if (waitTimer) pw_loop_destroy_source(pw_thread_loop_get_loop(loop.get()), waitTimer);
}

bool PipeWireStream::begin(const StreamConfig& c, StreamCallbacks cb) {
  if (!threadRunning) return false;
  pw_thread_loop_lock(loop.get());
  bool usable = !hasEnded && !stopping;
  if (usable) {
    config = c;
    callbacks = std::move(cb);
    begun = true;
    if (size && (size->width != config.width || size->height != config.height))
      scaled.resize(static_cast<std::size_t>(config.width) * config.height * 4);
  }
  pw_thread_loop_unlock(loop.get());
  return usable;
}

void PipeWireStream::stop() {
  if (!threadRunning) return;
  pw_thread_loop_lock(loop.get());
  stopping = true;
  pw_thread_loop_unlock(loop.get());
  pw_thread_loop_stop(loop.get());  // joins: no callback runs after this
  threadRunning = false;
}

void PipeWireStream::onParamChanged(std::uint32_t id, const spa_pod* param) {
  if (id != SPA_PARAM_Format || !param) return;
  spa_video_info_raw info{};
  if (spa_format_video_raw_parse(param, &info) < 0) return;
  std::uint8_t buffer[256];
  spa_pod_builder b = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
  const spa_pod* params[] = {sharedMemoryBuffers(b)};
  pw_stream_update_params(stream.get(), params, 1);
  FrameSize now{static_cast<int>(info.size.width), static_cast<int>(info.size.height)};
  bool first = !size;
  size = now;
  // A game window resized while streaming gets frames of the size the core answers, never squeezed.
  if (begun && !first && callbacks.resized) {
    OutputSize output = callbacks.resized(now.width, now.height);
    if (output.width > 0 && output.height > 0) config.width = output.width, config.height = output.height;
  }
  if (begun && (now.width != config.width || now.height != config.height))
    scaled.resize(static_cast<std::size_t>(config.width) * config.height * 4);
  if (first) {
    pw_loop_update_timer(pw_thread_loop_get_loop(loop.get()), waitTimer, nullptr, nullptr, false);
    sized(now);
  }
}

void PipeWireStream::onStateChanged(int state, const char* error) {
  if (state == PW_STREAM_STATE_ERROR) end(std::string("stream error (") + (error ? error : "unknown") + ")");
  if (state == PW_STREAM_STATE_UNCONNECTED) end("the stream was disconnected");
}

void PipeWireStream::onWaitOver() {
  if (!size) end("the window sent no picture format in time");
}

// The window closed, the desktop stopped sharing it, or it never came: told once, and not after stop().
void PipeWireStream::end(const std::string& why) {
  if (hasEnded || stopping) return;
  hasEnded = true;
  if (ended) ended("PipeWire: " + why);
  if (!size) return sized(std::nullopt);
  if (begun && callbacks.stopped) callbacks.stopped();
}

void PipeWireStream::onProcess() {
  pw_buffer* b = pw_stream_dequeue_buffer(stream.get());
  if (!b) return;
  auto now = std::chrono::steady_clock::now();
  bool due = begun && !stopping && size && now - lastFrame >= std::chrono::duration<double>(config.minFrameInterval);
  if (auto picture = due ? pictureIn(*b->buffer, size->width, size->height) : std::nullopt) {
    lastFrame = now;
    deliver(picture->pixels, picture->stride);
  }
  pw_stream_queue_buffer(stream.get(), b);
}

void PipeWireStream::deliver(const std::uint8_t* pixels, int stride) {
  if (size->width == config.width && size->height == config.height)
    return callbacks.frame({pixels, config.width, config.height, stride});
  // The window is larger than the output (or was resized): scaled once into the stream's own buffer. An
  // area average (SIMD, and a plain 2:1 box where the sizes allow) keeps text readable as bilinear would.
  if (libyuv::ARGBScale(pixels, stride, size->width, size->height, scaled.data(), config.width * 4, config.width,
                        config.height, libyuv::kFilterBox) != 0)
    return;
  callbacks.frame({scaled.data(), config.width, config.height, config.width * 4});
}

}  // namespace qm::gtk
