/* Real input for a headless KWin through its fake-input protocol: reads "key CODE 1|0", "move X Y" or
   "button CODE 1|0" (evdev codes, logical pixels) from stdin, answers "ok" once the compositor has taken each. */
#include <stdio.h>
#include <string.h>
#include <wayland-client.h>

#include "fake-input-client-protocol.h"

static struct org_kde_kwin_fake_input* input;

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                   uint32_t version) {
  (void)data;
  if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
    input = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4);
}

static void global_remove(void* data, struct wl_registry* registry, uint32_t name) {
  (void)data, (void)registry, (void)name;
}

static const struct wl_registry_listener listener = {global, global_remove};

int main(void) {
  struct wl_display* display = wl_display_connect(NULL);
  if (!display) return 1;
  struct wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &listener, NULL);
  wl_display_roundtrip(display);
  if (!input) {
    fprintf(stderr, "no org_kde_kwin_fake_input version 4\n");
    return 1;
  }
  org_kde_kwin_fake_input_authenticate(input, "tests", "end-to-end tests");
  char line[128];
  setvbuf(stdout, NULL, _IOLBF, 0);
  while (fgets(line, sizeof line, stdin)) {
    unsigned code, state;
    double x, y;
    if (sscanf(line, "key %u %u", &code, &state) == 2)
      org_kde_kwin_fake_input_keyboard_key(input, code, state);
    else if (sscanf(line, "button %u %u", &code, &state) == 2)
      org_kde_kwin_fake_input_button(input, code, state);
    else if (sscanf(line, "move %lf %lf", &x, &y) == 2)
      org_kde_kwin_fake_input_pointer_motion_absolute(input, wl_fixed_from_double(x), wl_fixed_from_double(y));
    else
      fprintf(stderr, "unknown command: %s", line);
    if (wl_display_roundtrip(display) < 0) return 1;
    puts("ok");
  }
  wl_display_disconnect(display);
  return 0;
}
