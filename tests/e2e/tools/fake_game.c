/* Plays the game window for tests: a top-level X11 window with the game's window class, a 28-pixel
   band of one colour at the top and a known pattern below (left half blue, right half green).
   Usage: fake_game [WIDTH HEIGHT] [--fullscreen], at 100,100 unless full screen. Prints its window id, then
   runs until it is asked to close (WM_DELETE_WINDOW, SIGTERM). */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { BAND = 28 };

static void paint(Display* d, Window w, GC gc, int width, int height) {
  XSetForeground(d, gc, 0xff0000);
  XFillRectangle(d, w, gc, 0, 0, width, BAND);
  XSetForeground(d, gc, 0x0000ff);
  XFillRectangle(d, w, gc, 0, BAND, width / 2, height - BAND);
  XSetForeground(d, gc, 0x00c800);
  XFillRectangle(d, w, gc, width / 2, BAND, width - width / 2, height - BAND);
  XFlush(d);
}

int main(int argc, char** argv) {
  int fullscreen = argc > 1 && strcmp(argv[argc - 1], "--fullscreen") == 0;
  if (fullscreen) --argc;
  Display* d = XOpenDisplay(NULL);
  if (!d) return 1;
  int screen = DefaultScreen(d);
  int width = argc > 2 ? atoi(argv[1]) : 800, height = argc > 2 ? atoi(argv[2]) : 600;
  int x = 100, y = 100;
  if (fullscreen) {
    x = y = 0;
    width = DisplayWidth(d, screen);
    height = DisplayHeight(d, screen);
  }
  Window w = XCreateSimpleWindow(d, RootWindow(d, screen), x, y, (unsigned)width, (unsigned)height, 0, 0, 0);
  XClassHint hint = {"sober", "sober"};
  XSetClassHint(d, w, &hint);
  XStoreName(d, w, "Roblox");
  XSizeHints size = {0};
  size.flags = PPosition | USPosition | PSize;
  size.x = x, size.y = y, size.width = width, size.height = height;
  XSetWMNormalHints(d, w, &size);
  Atom deleteWindow = XInternAtom(d, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(d, w, &deleteWindow, 1);
  if (fullscreen) {
    Atom state = XInternAtom(d, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(d, w, XInternAtom(d, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                    (unsigned char*)&state, 1);
  }
  XSelectInput(d, w, ExposureMask | StructureNotifyMask | KeyPressMask);
  XMapWindow(d, w);
  GC gc = XCreateGC(d, w, 0, NULL);
  printf("0x%lx\n", w);
  fflush(stdout);
  signal(SIGTERM, SIG_DFL);
  for (;;) {
    XEvent e;
    XNextEvent(d, &e);
    if (e.type == Expose && e.xexpose.count == 0) paint(d, w, gc, width, height);
    if (e.type == ConfigureNotify) {
      width = e.xconfigure.width;
      height = e.xconfigure.height;
    }
    if (e.type == ClientMessage && (Atom)e.xclient.data.l[0] == deleteWindow) break;
  }
  XDestroyWindow(d, w);
  XCloseDisplay(d);
  return 0;
}
