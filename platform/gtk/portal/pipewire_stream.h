// One window the desktop shares, received as a PipeWire video stream on a thread loop of its own.
// Shared-memory BGRx/BGRA only (no DMA-BUF), so frames go to the encoder as they lie in the buffer.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/capture.h"

struct pw_thread_loop;
struct pw_context;
struct pw_core;
struct pw_stream;
struct spa_source;
struct spa_pod;

namespace qm::gtk {

void destroyLoop(pw_thread_loop* loop);
void destroyContext(pw_context* context);
void disconnectCore(pw_core* core);
void destroyStream(pw_stream* stream);

struct FrameSize {
  int width = 0, height = 0;
};

class PipeWireStream : public CaptureStream {
 public:
  // Takes remoteFd. sized is called once, on the stream's thread: the window's size once the stream has
  // agreed on a format, or none when the stream ended or did not come up within the wait. ended gets the
  // one line that says why the stream ended, on the stream's thread (or in the constructor).
  PipeWireStream(int remoteFd, std::uint32_t node, std::chrono::milliseconds wait,
                 std::function<void(std::optional<FrameSize>)> sized, std::function<void(std::string)> ended);
  ~PipeWireStream() override;  // stops and joins the stream's thread
  PipeWireStream(const PipeWireStream&) = delete;
  PipeWireStream& operator=(const PipeWireStream&) = delete;

  // From now on frames (at most one per minimum interval, at the config's size) and the stream's end go to
  // callbacks; false when the stream has already ended.
  bool begin(const StreamConfig& config, StreamCallbacks callbacks);
  void stop() override;

 private:
  struct Hooks;
  void onParamChanged(std::uint32_t id, const spa_pod* param);
  void onStateChanged(int state, const char* error);
  void onProcess();
  void onWaitOver();
  void end(const std::string& why);
  void deliver(const std::uint8_t* pixels, int stride);

  template <auto Free>
  struct Freer {
    template <typename T>
    void operator()(T* p) const {
      Free(p);
    }
  };
  template <typename T, auto Free>
  using Owned = std::unique_ptr<T, Freer<Free>>;

  std::function<void(std::optional<FrameSize>)> sized;
  std::function<void(std::string)> ended;
  // Declared in the order they are made, so they go in the reverse order, each before what it lives on.
  Owned<pw_thread_loop, &destroyLoop> loop;
  Owned<pw_context, &destroyContext> context;
  Owned<pw_core, &disconnectCore> core;
  Owned<pw_stream, &destroyStream> stream;
  spa_source* waitTimer = nullptr;  // the loop's, freed with it
  std::unique_ptr<Hooks> hooks;
  bool threadRunning = false;

  // Written under the loop's lock.
  std::optional<FrameSize> size;
  bool hasEnded = false, stopping = false, begun = false;
  StreamConfig config;
  StreamCallbacks callbacks;
  std::chrono::steady_clock::time_point lastFrame;
  std::vector<std::uint8_t> scaled;  // used only when the window's size differs from the output size
};

}  // namespace qm::gtk
