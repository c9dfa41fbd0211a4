// Window capture on X11 servers with Composite, MIT-SHM and RENDER (Xvfb has all three). A
// GPU-rendered game on real drivers and a Wayland-native game window are not verified here.
#include "platform/gtk/x11/x11_capture.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xrender.h>
#include <strings.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <utility>

#include "platform/gtk/x11/window_property.h"

namespace qm::gtk {
namespace {

// Xlib's error handler is process-wide: errors of our own capture connections are noted, others go on to
// the handler that was there before (GDK's).
std::mutex displaysMutex;
std::set<Display*> captureDisplays;
std::set<Display*> failedDisplays;
XErrorHandler previousHandler = nullptr;

int onXError(Display* dpy, XErrorEvent* e) {
  {
    std::lock_guard lock(displaysMutex);
    if (captureDisplays.count(dpy)) {
      failedDisplays.insert(dpy);
      return 0;
    }
  }
  return previousHandler ? previousHandler(dpy, e) : 0;
}

class CaptureDisplay {
 public:
  explicit CaptureDisplay(const std::string& name) : dpy(XOpenDisplay(name.empty() ? nullptr : name.c_str())) {
    if (!dpy) return;
    std::lock_guard lock(displaysMutex);
    captureDisplays.insert(dpy);
  }
  ~CaptureDisplay() {
    if (!dpy) return;
    XCloseDisplay(dpy);
    std::lock_guard lock(displaysMutex);
    captureDisplays.erase(dpy);
    failedDisplays.erase(dpy);
  }
  CaptureDisplay(const CaptureDisplay&) = delete;
  CaptureDisplay& operator=(const CaptureDisplay&) = delete;
  // Round-trips and tells whether any request since the last call failed.
  bool failed() {
    XSync(dpy, False);
    std::lock_guard lock(displaysMutex);
    return failedDisplays.erase(dpy) > 0;
  }
  Display* dpy;
};

std::string ownerFromClass(Display* dpy, Window w) {
  XClassHint hint{};
  if (!XGetClassHint(dpy, w, &hint)) return {};
  std::string cls = hint.res_class ? hint.res_class : "", name = hint.res_name ? hint.res_name : "";
  if (hint.res_class) XFree(hint.res_class);
  if (hint.res_name) XFree(hint.res_name);
  // The Linux player runs as a Flatpak; its windows carry the class "sober" or the application id.
  for (const auto& c : {cls, name})
    if (strcasecmp(c.c_str(), "sober") == 0 || c == kLinuxGameId) return kLinuxGameId;
  return cls;
}

std::vector<Window> clientWindows(Display* dpy) {
  Window root = DefaultRootWindow(dpy);
  std::vector<Window> list;
  Atom clients = XInternAtom(dpy, "_NET_CLIENT_LIST", True);
  Atom type;
  int format;
  unsigned long count = 0, after;
  unsigned char* data = nullptr;
  if (clients != None && XGetWindowProperty(dpy, root, clients, 0, 4096, False, XA_WINDOW, &type, &format, &count,
                                            &after, &data) == Success)
    list = windowsIn(type, format, count, data);
  if (data) XFree(data);
  if (!list.empty()) return list;
  // No window manager: the top-level windows are the root's children, popups and hidden ones included.
  Window r, parent, *children = nullptr;
  unsigned n = 0;
  if (XQueryTree(dpy, root, &r, &parent, &children, &n)) {
    list.assign(children, children + n);
    if (children) XFree(children);
  }
  return list;
}

std::optional<std::vector<CaptureWindow>> listOn(const std::string& name, std::optional<ScreenUnits> units) {
  CaptureDisplay display(name);
  if (!display.dpy) return std::nullopt;
  Display* dpy = display.dpy;
  const int screenW = DisplayWidth(dpy, DefaultScreen(dpy)), screenH = DisplayHeight(dpy, DefaultScreen(dpy));
  const double scale = units ? units->scale : 1;
  const double bottom = units ? units->primaryBottom : screenH;
  std::vector<CaptureWindow> result;
  for (Window w : clientWindows(dpy)) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(dpy, w, &a)) continue;
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(dpy, w, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
    CaptureWindow cw;
    std::string owner = ownerFromClass(dpy, w);
    if (!owner.empty()) cw.owner = owner;
    cw.id = w;
    cw.frame = {x / scale, bottom - (y + a.height) / scale, a.width / scale, a.height / scale};
    // Composite names the pixels of viewable windows only: a minimised one is unmapped.
    cw.mapped = a.map_state == IsViewable;
    cw.onScreen = cw.mapped && x < screenW && y < screenH && x + a.width > 0 && y + a.height > 0;
    cw.popup = a.override_redirect;
    // The client's image never holds a title bar: a window manager draws it in a frame of its own.
    cw.titleBar = false;
    result.push_back(cw);
  }
  display.failed();  // windows that vanished while listed are simply left out
  return result;
}

struct ShmImage {
  ShmImage(Display* d, int w, int h) : dpy(d) {
    image = XShmCreateImage(dpy, DefaultVisual(dpy, DefaultScreen(dpy)), 24, ZPixmap, nullptr, &info, w, h);
    if (!image) return;
    info.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * h, IPC_CREAT | 0600);
    if (info.shmid < 0) return;
    void* mapped = shmat(info.shmid, nullptr, 0);
    if (mapped != reinterpret_cast<void*>(-1)) {
      info.shmaddr = image->data = static_cast<char*>(mapped);
      info.readOnly = False;
      attached = XShmAttach(dpy, &info);
      XSync(dpy, False);
    }
    shmctl(info.shmid, IPC_RMID, nullptr);  // freed once both sides detach
  }
  ~ShmImage() {
    if (attached) {
      XShmDetach(dpy, &info);
      XSync(dpy, False);
    }
    if (image) XDestroyImage(image);  // the image only: the segment is ours to unmap
    if (info.shmaddr) shmdt(info.shmaddr);
  }
  ShmImage(const ShmImage&) = delete;
  ShmImage& operator=(const ShmImage&) = delete;
  bool ok() const { return image && attached; }
  Display* dpy;
  XShmSegmentInfo info{};
  XImage* image = nullptr;
  bool attached = false;
};

// A server-side resource, freed with its own request when its holder lets go.
template <auto Free>
class XResource {
 public:
  XResource() = default;
  XResource(Display* d, XID id) : dpy(d), id(id) {}
  ~XResource() { reset(); }
  XResource(const XResource&) = delete;
  XResource& operator=(XResource&& other) noexcept {
    reset();
    dpy = other.dpy;
    id = std::exchange(other.id, None);
    return *this;
  }
  void reset() {
    if (id != None) Free(dpy, id);
    id = None;
  }
  XID get() const { return id; }

 private:
  Display* dpy = nullptr;
  XID id = None;
};

// The server's part of each frame: the window's pixmap scaled to the output size with a bilinear filter.
// The output is made once per frame size; where the server shares pixmaps it is the shared segment itself,
// so the scaled pixels need no second copy. The window's side is made again only after the window was
// mapped, unmapped or reconfigured, since its pixmap changes then.
class Scaler {
 public:
  Scaler(Display* d, ShmImage& shm, int w, int h) : dpy(d), shm(shm), width(w), height(h) {
    Window root = DefaultRootWindow(dpy);
    int major = 0, minor = 0;
    Bool sharedPixmaps = False;
    readBack =
        !XShmQueryVersion(dpy, &major, &minor, &sharedPixmaps) || !sharedPixmaps || XShmPixmapFormat(dpy) != ZPixmap;
    output = {dpy, readBack ? XCreatePixmap(dpy, root, width, height, 24)
                            : XShmCreatePixmap(dpy, root, shm.image->data, &shm.info, width, height, 24)};
    target = {dpy,
              XRenderCreatePicture(dpy, output.get(), XRenderFindStandardFormat(dpy, PictStandardRGB24), 0, nullptr)};
  }
  bool hasWindow() const { return source.get() != None; }
  // Names the window's current pixmap and sets the scaling on it; the caller checks for errors.
  void takeWindow(Window window, const XWindowAttributes& a) {
    XRenderPictFormat* format = XRenderFindVisualFormat(dpy, a.visual);
    if (!format) return;
    windowPixmap = {dpy, XCompositeNameWindowPixmap(dpy, window)};
    source = {dpy, XRenderCreatePicture(dpy, windowPixmap.get(), format, 0, nullptr)};
    XTransform scale{{{XDoubleToFixed(double(a.width) / width), 0, 0},
                      {0, XDoubleToFixed(double(a.height) / height), 0},
                      {0, 0, XDoubleToFixed(1)}}};
    XRenderSetPictureTransform(dpy, source.get(), &scale);
    XRenderSetPictureFilter(dpy, source.get(), const_cast<char*>(FilterBilinear), nullptr, 0);
  }
  void forgetWindow() {
    source.reset();
    windowPixmap.reset();
  }
  // Scales the window into the shared segment; the caller round-trips before reading it.
  bool draw() {
    XRenderComposite(dpy, PictOpSrc, source.get(), None, target.get(), 0, 0, 0, 0, 0, 0, width, height);
    return !readBack || XShmGetImage(dpy, output.get(), shm.image, 0, 0, AllPlanes);
  }

 private:
  Display* dpy;
  ShmImage& shm;
  int width, height;
  bool readBack = false;  // the server does not share pixmaps: the output is copied into the segment
  XResource<XFreePixmap> output, windowPixmap;
  XResource<XRenderFreePicture> target, source;
};

// The frames at one size: the shared segment and the scaling of the window into it.
struct Output {
  Output(Display* dpy, int w, int h) : width(w), height(h), shm(dpy, w, h) {
    if (shm.ok()) scaler.emplace(dpy, shm, w, h);
  }
  bool ok() const { return scaler.has_value(); }
  int width, height;
  ShmImage shm;
  std::optional<Scaler> scaler;
};

class X11Stream : public CaptureStream, public std::enable_shared_from_this<X11Stream> {
 public:
  X11Stream(std::string display, Window w, StreamConfig c, int scale)
      : displayName(std::move(display)), window(w), config(c), scale(scale) {}

  void run(StreamCallbacks callbacks);
  void stop() override {
    {
      std::lock_guard lock(mutex);
      stopping = true;
      if (std::this_thread::get_id() == workerId) return;  // from a frame's own callback
    }
    wake.notify_all();
    // A frame being handed over finishes first; none follows once stop returns.
    std::lock_guard handing(handOver);
  }

 private:
  bool grab(CaptureDisplay& d, std::optional<Output>& out, const StreamCallbacks& cb);
  bool fit(Display* dpy, std::optional<Output>& out, const XWindowAttributes& a, const StreamCallbacks& cb) const;
  std::string displayName;
  Window window;
  StreamConfig config;
  int scale;         // pixels per point
  std::mutex mutex;  // guards stopping and workerId
  std::condition_variable wake;
  bool stopping = false;
  std::thread::id workerId;
  std::mutex handOver;  // held while a frame goes to the callbacks
};

// A window of a new size gets frames of the size the core answers for it, never squeezed into the old one.
bool X11Stream::fit(Display* dpy, std::optional<Output>& out, const XWindowAttributes& a,
                    const StreamCallbacks& cb) const {
  if (!cb.resized) return true;
  OutputSize size = cb.resized(double(a.width) / scale, double(a.height) / scale);
  if (size.width <= 0 || size.height <= 0 || (size.width == out->width && size.height == out->height)) return true;
  out.reset();
  out.emplace(dpy, size.width, size.height);
  return out->ok();
}

bool X11Stream::grab(CaptureDisplay& d, std::optional<Output>& out, const StreamCallbacks& cb) {
  if (!out->scaler->hasWindow()) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(d.dpy, window, &a) || a.map_state != IsViewable) return !d.failed();
    if (!fit(d.dpy, out, a, cb)) return false;
    out->scaler->takeWindow(window, a);
    if (d.failed() || !out->scaler->hasWindow()) {
      out->scaler->forgetWindow();
      d.failed();   // freeing what was never made fails as well
      return true;  // unmapped for a moment: try again next frame
    }
  }
  bool got = out->scaler->draw();
  if (d.failed() || !got) {
    out->scaler->forgetWindow();  // the window changed under us: name its pixmap again next frame
    return true;
  }
  // The window was mapped, unmapped, reconfigured or destroyed meanwhile: the frame may show its old pixmap.
  if (XEventsQueued(d.dpy, QueuedAlready) > 0) return true;
  std::lock_guard handing(handOver);
  {
    std::lock_guard lock(mutex);
    if (stopping) return true;
  }
  cb.frame({reinterpret_cast<const std::uint8_t*>(out->shm.image->data), out->width, out->height,
            out->shm.image->bytes_per_line});
  return true;
}

void X11Stream::run(StreamCallbacks cb) {
  {
    std::lock_guard lock(mutex);
    workerId = std::this_thread::get_id();
  }
  CaptureDisplay d(displayName);
  std::optional<Output> out;
  if (d.dpy) out.emplace(d.dpy, config.width, config.height);
  if (!d.dpy || !out->ok()) {
    cb.started(nullptr, "the X server cannot share the window's pixels");
  } else {
    XCompositeRedirectWindow(d.dpy, window, CompositeRedirectAutomatic);
    XSelectInput(d.dpy, window, StructureNotifyMask);
    if (d.failed()) {
      cb.started(nullptr, "the game window is gone");
    } else {
      cb.started(shared_from_this(), std::nullopt);
      auto interval = std::chrono::duration<double>(config.minFrameInterval);
      for (;;) {
        auto next = std::chrono::steady_clock::now() +
                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(interval);
        bool gone = false;
        while (XPending(d.dpy)) {
          XEvent e;
          XNextEvent(d.dpy, &e);
          gone = gone || (e.type == DestroyNotify && e.xdestroywindow.window == window);
          if (e.type == MapNotify || e.type == UnmapNotify || e.type == ConfigureNotify) out->scaler->forgetWindow();
        }
        {
          std::lock_guard lock(mutex);
          if (stopping) break;
        }
        if (gone || !grab(d, out, cb)) {
          cb.stopped();
          break;
        }
        std::unique_lock lock(mutex);
        if (wake.wait_until(lock, next, [this] { return stopping; })) break;
      }
    }
  }
}

bool hasExtensions(const std::string& name) {
  Display* dpy = XOpenDisplay(name.empty() ? nullptr : name.c_str());
  if (!dpy) return false;
  int event, error, major = 0, minor = 0;
  bool ok = XCompositeQueryExtension(dpy, &event, &error) && XCompositeQueryVersion(dpy, &major, &minor) &&
            (major > 0 || minor >= 2) && XShmQueryExtension(dpy) && XRenderQueryExtension(dpy, &event, &error);
  XCloseDisplay(dpy);
  return ok;
}

}  // namespace

X11Capture::X11Capture(std::string name, std::function<ScreenUnits()> units)
    : displayName(std::move(name)), units(std::move(units)), usable(hasExtensions(displayName)) {
  std::lock_guard lock(displaysMutex);
  if (!previousHandler) previousHandler = XSetErrorHandler(onXError);
}

X11Capture::~X11Capture() {
  std::vector<std::weak_ptr<CaptureStream>> running;
  {
    std::lock_guard lock(mutex);
    closing = true;
    running.swap(streams);
  }
  for (auto& weak : running)
    if (auto stream = weak.lock()) stream->stop();
  workers.close();
}

void X11Capture::listWindows(std::function<void(std::optional<std::vector<CaptureWindow>>)> done) {
  std::optional<ScreenUnits> now = units ? std::optional(units()) : std::nullopt;
  {
    std::lock_guard lock(mutex);
    scale = now ? now->scale : 1;
  }
  workers.start([name = displayName, now, done = std::move(done)] { done(listOn(name, now)); });
}

void X11Capture::startStream(std::uint64_t windowId, const StreamConfig& config, StreamCallbacks callbacks) {
  std::lock_guard lock(mutex);
  auto stream = std::make_shared<X11Stream>(displayName, static_cast<Window>(windowId), config, scale);
  if (closing) return;  // the app is quitting: nobody waits for this stream
  std::erase_if(streams, [](const auto& weak) { return weak.expired(); });
  streams.push_back(stream);
  workers.start([stream, callbacks = std::move(callbacks)]() mutable { stream->run(std::move(callbacks)); });
}

}  // namespace qm::gtk
