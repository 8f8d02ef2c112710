/* Watches an X server for the first picture of the next top-level window, for tools/measure-startup.sh.
 *
 * usage: first-damage TIMEOUT_MS [--follow]
 * Prints "ready" once it listens, then, when a window created on the root and larger than 1x1 is first
 * mapped and first drawn into, "mapped M damaged D" with both times as CLOCK_REALTIME microseconds, and
 * exits 0; exits 1 after TIMEOUT_MS without both. The mapped window is given the input focus, as a
 * window manager gives a new window (Xvfb runs without one), so that the program runs as in front.
 * With --follow it goes on: "damage T" for every later drawing into the window (each present of a
 * frame, one line or a few close together), until the window is destroyed or the watcher is killed. "Drawn into" is the first Damage report of the window:
 * the server sends it for the first request that changes the window's pixels (a PutImage, a copy, a
 * fill), so it marks the moment the first frame reaches the server, for a GL swap as for a 2-D blit.
 * Mapping alone damages nothing when the window has no background, as SDL's windows have none.
 * Build: cc -O2 -o first-damage first-damage.c -lXdamage -lXfixes -lX11
 */
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static long long now_us(void) {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return (long long)ts.tv_sec * 1000000 + ts.tv_nsec / 1000;
}

/* A window may be gone before we ask about it: ignore those errors. */
static int ignore_errors(Display* dpy, XErrorEvent* e) {
  (void)dpy;
  (void)e;
  return 0;
}

int main(int argc, char** argv) {
  long timeout_ms = argc > 1 ? atol(argv[1]) : 20000;
  int follow = argc > 2 && strcmp(argv[2], "--follow") == 0;
  Display* dpy = XOpenDisplay(NULL);
  if (!dpy) {
    fprintf(stderr, "first-damage: cannot open display\n");
    return 2;
  }
  int damage_event, damage_error;
  if (!XDamageQueryExtension(dpy, &damage_event, &damage_error)) {
    fprintf(stderr, "first-damage: the X server has no DAMAGE extension\n");
    return 2;
  }
  XSetErrorHandler(ignore_errors);
  Window root = DefaultRootWindow(dpy);
  XSelectInput(dpy, root, SubstructureNotifyMask);
  XSync(dpy, False);
  printf("ready\n");
  fflush(stdout);

  long long mapped = 0, damaged = 0, deadline = now_us() + timeout_ms * 1000;
  Window shown = None;
  struct pollfd pfd = {ConnectionNumber(dpy), POLLIN, 0};
  while (!(mapped && damaged)) {
    if (!XPending(dpy)) {
      long long left = deadline - now_us();
      if (left <= 0) break;
      poll(&pfd, 1, (int)(left / 1000) + 1);
      continue;
    }
    XEvent ev;
    XNextEvent(dpy, &ev);
    long long t = now_us();
    if (ev.type == CreateNotify && ev.xcreatewindow.parent == root) {
      if (ev.xcreatewindow.width > 1 || ev.xcreatewindow.height > 1)
        XDamageCreate(dpy, ev.xcreatewindow.window, XDamageReportNonEmpty);
    } else if (ev.type == MapNotify && ev.xmap.event == root && !mapped) {
      XWindowAttributes a;
      if (XGetWindowAttributes(dpy, ev.xmap.window, &a) && (a.width > 1 || a.height > 1)) {
        mapped = t;
        shown = ev.xmap.window;
        XSetInputFocus(dpy, shown, RevertToPointerRoot, CurrentTime);
        XFlush(dpy);
      }
    } else if (ev.type == damage_event + XDamageNotify && !damaged) {
      XDamageNotifyEvent* d = (XDamageNotifyEvent*)&ev;
      XWindowAttributes a;
      /* Pixels drawn while the window is unmapped never show: only a mapped window's first damage counts. */
      if (XGetWindowAttributes(dpy, d->drawable, &a) && a.map_state == IsViewable) damaged = t;
      XDamageSubtract(dpy, d->damage, None, None);
    }
  }
  if (!(mapped && damaged)) return 1;
  printf("mapped %lld damaged %lld\n", mapped, damaged);
  fflush(stdout);
  if (!follow) return 0;
  /* Each report is taken away at once, so the next drawing reports again. */
  for (;;) {
    XEvent ev;
    XNextEvent(dpy, &ev);
    if (ev.type == DestroyNotify && ev.xdestroywindow.window == shown) return 0;
    if (ev.type == damage_event + XDamageNotify) {
      XDamageNotifyEvent* d = (XDamageNotifyEvent*)&ev;
      if (d->drawable == shown) {
        printf("damage %lld\n", now_us());
        fflush(stdout);
      }
      XDamageSubtract(dpy, d->damage, None, None);
    }
  }
}
