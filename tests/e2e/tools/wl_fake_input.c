/* Real input for a headless KWin through its fake-input protocol, or for a wlroots compositor (sway) through a
   virtual keyboard and pointer: reads "key CODE 1|0", "move X Y" or "button CODE 1|0" (evdev codes, logical
   pixels) from stdin, answers "ok" once the compositor has taken each (and once at the start, with the devices). */
#define _GNU_SOURCE
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>

#include "fake-input-client-protocol.h"

/* The wlroots protocols' interfaces, as wayland-scanner would make them from their XML (no Debian package has
   it): only the requests used here, in their protocol order. */
static const struct wl_interface virtual_keyboard, virtual_pointer;
static const struct wl_interface* no_types[5];
static const struct wl_interface* keyboard_create_types[] = {&wl_seat_interface, &virtual_keyboard};
static const struct wl_interface* pointer_create_types[] = {&wl_seat_interface, &virtual_pointer};
static const struct wl_message keyboard_manager_requests[] = {{"create_virtual_keyboard", "on", keyboard_create_types}};
static const struct wl_message pointer_manager_requests[] = {{"create_virtual_pointer", "?on", pointer_create_types}};
static const struct wl_message keyboard_requests[] = {{"keymap", "uhu", no_types}, {"key", "uuu", no_types}};
static const struct wl_message pointer_requests[] = {{"motion", "uff", no_types},
                                                      {"motion_absolute", "uuuuu", no_types},
                                                      {"button", "uuu", no_types},
                                                      {"axis", "uuf", no_types},
                                                      {"frame", "", no_types}};
static const struct wl_interface keyboard_manager = {"zwp_virtual_keyboard_manager_v1", 1, 1, keyboard_manager_requests,
                                                     0, NULL};
static const struct wl_interface pointer_manager = {"zwlr_virtual_pointer_manager_v1", 1, 1, pointer_manager_requests,
                                                    0, NULL};
static const struct wl_interface virtual_keyboard = {"zwp_virtual_keyboard_v1", 1, 2, keyboard_requests, 0, NULL};
static const struct wl_interface virtual_pointer = {"zwlr_virtual_pointer_v1", 1, 5, pointer_requests, 0, NULL};
enum { KEYMAP, KEY, MOTION_ABSOLUTE = 1, BUTTON = 2, FRAME = 4 };
/* The evdev "us" keymap of a real keyboard here, whose X keycodes are evdev codes plus 8; the compositor reads the
   parts from its keyboard files. */
static const char keymap[] = "xkb_keymap { xkb_keycodes { include \"evdev\" }; xkb_types { include \"complete\" }; "
                             "xkb_compatibility { include \"complete\" }; xkb_symbols { include \"pc+us\" }; };";

static struct org_kde_kwin_fake_input* input;
static struct wl_proxy *keyboards, *pointers, *keyboard, *pointer;
static struct wl_seat* seat;

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
  (void)data;
  if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
    input = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4);
  else if (strcmp(interface, keyboard_manager.name) == 0)
    keyboards = wl_registry_bind(registry, name, &keyboard_manager, 1);
  else if (strcmp(interface, pointer_manager.name) == 0)
    pointers = wl_registry_bind(registry, name, &pointer_manager, 1);
  else if (strcmp(interface, wl_seat_interface.name) == 0 && !seat)
    seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
}

static void global_remove(void* data, struct wl_registry* registry, uint32_t name) {
  (void)data, (void)registry, (void)name;
}

static const struct wl_registry_listener listener = {global, global_remove};

static int open_virtual_devices(void) {
  int fd = memfd_create("keymap", MFD_CLOEXEC);
  if (!keyboards || !pointers || !seat || write(fd, keymap, sizeof keymap) != sizeof keymap) return 0;
  keyboard = wl_proxy_marshal_constructor(keyboards, 0, &virtual_keyboard, seat, NULL);
  wl_proxy_marshal(keyboard, KEYMAP, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, (uint32_t)sizeof keymap);
  pointer = wl_proxy_marshal_constructor(pointers, 0, &virtual_pointer, seat, NULL);
  return close(fd) == 0;
}

int main(void) {
  struct wl_display* display = wl_display_connect(NULL);
  if (!display) return 1;
  wl_registry_add_listener(wl_display_get_registry(display), &listener, NULL);
  wl_display_roundtrip(display);
  if (input)
    org_kde_kwin_fake_input_authenticate(input, "tests", "end-to-end tests");
  else if (!open_virtual_devices()) {
    fprintf(stderr, "neither org_kde_kwin_fake_input version 4 nor wlroots' virtual keyboard and pointer\n");
    return 1;
  }
  char line[128], kind[8];
  setvbuf(stdout, NULL, _IOLBF, 0);
  if (wl_display_roundtrip(display) < 0) return 1;
  puts("ok"); /* the devices are the seat's */
  while (fgets(line, sizeof line, stdin)) {
    double a, b;
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    uint32_t ms = (uint32_t)(t.tv_sec * 1000 + t.tv_nsec / 1000000);
    if (sscanf(line, "%7s %lf %lf", kind, &a, &b) != 3) kind[0] = '?';
    if (input && kind[0] == 'k')
      org_kde_kwin_fake_input_keyboard_key(input, (uint32_t)a, (uint32_t)b);
    else if (input && kind[0] == 'b')
      org_kde_kwin_fake_input_button(input, (uint32_t)a, (uint32_t)b);
    else if (input && kind[0] == 'm')
      org_kde_kwin_fake_input_pointer_motion_absolute(input, wl_fixed_from_double(a), wl_fixed_from_double(b));
    else if (kind[0] == 'k')
      wl_proxy_marshal(keyboard, KEY, ms, (uint32_t)a, (uint32_t)b);
    else if (kind[0] == 'b' || kind[0] == 'm') {
      if (kind[0] == 'b')
        wl_proxy_marshal(pointer, BUTTON, ms, (uint32_t)a, (uint32_t)b);
      else /* one output of 1920x1080 pixels: the extent is the layout's */
        wl_proxy_marshal(pointer, MOTION_ABSOLUTE, ms, (uint32_t)a, (uint32_t)b, 1920u, 1080u);
      wl_proxy_marshal(pointer, FRAME);
    } else
      fprintf(stderr, "unknown command: %s", line);
    if (wl_display_roundtrip(display) < 0) return 1;
    puts("ok");
  }
  return 0; /* the connection ends with the process */
}
