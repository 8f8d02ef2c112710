/* Watches an X server for the first picture of the next top-level window, for tools/measure-startup.sh.
 *
 * usage: first-damage TIMEOUT_MS [--follow]
 * Prints "ready" once it listens, then, when a window created on the root and larger than 1x1 is first
 * mapped, first drawn into and first holds a picture, "mapped M damaged D picture P" with the three times
 * as CLOCK_REALTIME microseconds, and exits 0; exits 1 after TIMEOUT_MS without the first two (P is 0
 * when no picture came by then). A picture is the window's pixels holding more than three colours, read
 * back (XGetImage) at each drawing into the mapped window until one does, so a window first filled with
 * one colour and drawn a moment later is seen at the moment it is drawn; P is the time of the Damage
 * report after which the pixels were read. The mapped window is given the input focus, as a
 * window manager gives a new window (Xvfb runs without one), so that the program runs as in front.
 * With --follow it goes on: "damage T" for every later drawing into the window (each present of a
 * frame, one line or a few close together), until the window is destroyed or the watcher is killed. "Drawn into" is the first Damage report of the window:
 * the server sends it for the first request that changes the window's pixels (a PutImage, a copy, a
 * fill), so it marks the moment the first frame reaches the server, for a GL swap as for a 2-D blit.
 * Mapping alone damages nothing when the window has no background, as SDL's windows have none.
 * Build: cc -O2 -o first-damage first-damage.c -lXdamage -lXfixes -lX11
 */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
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

/* True when the window's pixels hold more than three colours (false when they cannot be read). */
static int holds_picture(Display* dpy, Window w) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(dpy, w, &a) || a.map_state != IsViewable) return 0;
  XImage* image = XGetImage(dpy, w, 0, 0, (unsigned)a.width, (unsigned)a.height, AllPlanes, ZPixmap);
  if (!image) return 0;
  unsigned long seen[3];
  int n = 0, more = 0;
  for (int y = 0; y < image->height && !more; ++y) {
    for (int x = 0; x < image->width && !more; ++x) {
      unsigned long p = XGetPixel(image, x, y) & 0xffffff;
      int known = 0;
      for (int i = 0; i < n; ++i) known |= seen[i] == p;
      if (known) continue;
      if (n == 3) more = 1;
      else seen[n++] = p;
    }
  }
  XDestroyImage(image);
  return more;
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

  long long mapped = 0, damaged = 0, picture = 0, deadline = now_us() + timeout_ms * 1000;
  Window shown = None;
  struct pollfd pfd = {ConnectionNumber(dpy), POLLIN, 0};
  while (!(mapped && damaged && picture)) {
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
    } else if (ev.type == damage_event + XDamageNotify) {
      XDamageNotifyEvent* d = (XDamageNotifyEvent*)&ev;
      XDamageSubtract(dpy, d->damage, None, None);
      if (d->drawable != shown) continue;
      /* Pixels drawn while the window is unmapped never show: only a mapped window's damage counts. */
      XWindowAttributes a;
      if (!damaged && XGetWindowAttributes(dpy, d->drawable, &a) && a.map_state == IsViewable) damaged = t;
      if (damaged && holds_picture(dpy, shown)) picture = t;
    }
  }
  if (!(mapped && damaged)) return 1;
  printf("mapped %lld damaged %lld picture %lld\n", mapped, damaged, picture);
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
