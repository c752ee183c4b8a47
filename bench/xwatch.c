// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
//
// A small X client that timestamps what reaches the screen, on
// CLOCK_MONOTONIC (the clock of Python's time.monotonic() and of the
// program's own steady clock), one event per line on standard output:
//
//   xwatch map
//       Watches the root window for top-level windows being mapped and
//       prints "map <ns> <window>", then "paint <ns> <window>" at every
//       damage of a mapped window: each time the program draws into it.
//
//   xwatch star <window> <x> <y> <width> <height>
//       Watches one window with the DAMAGE extension. On every damage that
//       touches the square (x, y, width, height), in window coordinates, it
//       reads the square back with XGetImage and decides whether the star
//       is shown (some pixel brighter than mid-grey) or hidden (none), and
//       prints "shown <ns>" or "hidden <ns>" at each change, stamped with
//       the moment the damage notify was received.
//
//   xwatch light <window> <x> <y> <width> <height>
//       As "star", but prints "light <ns> <level>" at every damage that
//       touches the square: the level (0 to 255) of its brightest pixel
//       as the screen then holds it, for a star whose light changes frame
//       by frame.
//
// All modes print "ready <ns> ..." once they listen, and run until killed
// or until the display goes away.

#define _POSIX_C_SOURCE 200809L

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static long long now_ns(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

static int ignore_errors(Display *display, XErrorEvent *error)
{
    (void)display;
    (void)error;
    return 0; // a window may vanish between its notify and our request
}

static int open_damage(Display *display, int *event_base)
{
    int error_base;
    if (!XDamageQueryExtension(display, event_base, &error_base)) {
        fprintf(stderr, "xwatch: the X server has no DAMAGE extension\n");
        return 0;
    }
    int major = 1, minor = 1;
    XDamageQueryVersion(display, &major, &minor);
    return 1;
}

// The green level of the square's brightest pixel, scaled to 0..255: the
// star is grey or white on black, its outline black.
static int square_level(Display *display, Window window, int x, int y, int width, int height,
                        int *ok)
{
    XImage *image = XGetImage(display, window, x, y, (unsigned)width, (unsigned)height,
                              AllPlanes, ZPixmap);
    if (!image) {
        *ok = 0;
        return 0;
    }
    *ok = 1;
    const int shift = __builtin_ctzl(image->green_mask ? image->green_mask : 1);
    const unsigned long full = image->green_mask >> shift;
    unsigned long brightest = 0;
    for (int row = 0; row < height; ++row)
        for (int col = 0; col < width; ++col) {
            const unsigned long green = (XGetPixel(image, col, row) & image->green_mask) >> shift;
            if (green > brightest)
                brightest = green;
        }
    XDestroyImage(image);
    return full ? (int)((brightest * 255 + full / 2) / full) : 0;
}

static int watch_star(Display *display, Window window, int x, int y, int width, int height,
                      int levels)
{
    int damage_base;
    if (!open_damage(display, &damage_base))
        return 1;
    XSelectInput(display, window, StructureNotifyMask);
    Damage damage = XDamageCreate(display, window, XDamageReportRawRectangles);
    XSync(display, False);

    int ok = 0;
    int level = square_level(display, window, x, y, width, height, &ok);
    // Shown: some pixel brighter than mid-grey.
    int shown = level * 2 > 255;
    if (!ok) {
        fprintf(stderr, "xwatch: cannot read window 0x%lx\n", window);
        return 1;
    }
    printf("ready %lld %s\n", now_ns(), shown ? "shown" : "hidden");
    fflush(stdout);

    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        const long long received = now_ns();
        if (event.type == DestroyNotify && event.xdestroywindow.window == window)
            break;
        if (event.type != damage_base + XDamageNotify)
            continue;
        const XDamageNotifyEvent *notify = (const XDamageNotifyEvent *)&event;
        const XRectangle *area = &notify->area;
        if (area->x >= x + width || area->y >= y + height || area->x + area->width <= x
            || area->y + area->height <= y)
            continue;
        level = square_level(display, window, x, y, width, height, &ok);
        if (ok && levels) {
            printf("light %lld %d\n", received, level);
            fflush(stdout);
            continue;
        }
        const int now_shown = level * 2 > 255;
        if (ok && now_shown != shown) {
            shown = now_shown;
            printf("%s %lld\n", shown ? "shown" : "hidden", received);
            fflush(stdout);
        }
    }
    XDamageDestroy(display, damage);
    return 0;
}

#define MAX_WATCHED 64

static int watch_maps(Display *display)
{
    int damage_base;
    if (!open_damage(display, &damage_base))
        return 1;
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);
    printf("ready %lld\n", now_ns());
    fflush(stdout);

    struct {
        Window window;
        Damage damage;
    } watched[MAX_WATCHED];
    int count = 0;

    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        const long long received = now_ns();
        if (event.type == DestroyNotify) {
            for (int i = 0; i < count; ++i) {
                if (watched[i].window == event.xdestroywindow.window) {
                    watched[i] = watched[--count];
                    break;
                }
            }
        } else if (event.type == MapNotify && event.xmap.event == root) {
            const Window window = event.xmap.window;
            printf("map %lld 0x%lx\n", received, window);
            fflush(stdout);
            if (count < MAX_WATCHED) {
                watched[count].window = window;
                watched[count].damage =
                    XDamageCreate(display, window, XDamageReportRawRectangles);
                ++count;
            }
        } else if (event.type == damage_base + XDamageNotify) {
            const XDamageNotifyEvent *notify = (const XDamageNotifyEvent *)&event;
            for (int i = 0; i < count; ++i) {
                if (watched[i].damage != notify->damage)
                    continue;
                printf("paint %lld 0x%lx\n", received, notify->drawable);
                fflush(stdout);
                break;
            }
        }
    }
    return 0;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: xwatch map | xwatch star|light <window> <x> <y> <width> <height>\n");
        return 2;
    }
    Display *display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "xwatch: cannot open display\n");
        return 1;
    }
    XSetErrorHandler(ignore_errors);
    int status = 2;
    if (strcmp(argv[1], "map") == 0 && argc == 2) {
        status = watch_maps(display);
    } else if ((strcmp(argv[1], "star") == 0 || strcmp(argv[1], "light") == 0) && argc == 7) {
        const Window window = strtoul(argv[2], NULL, 0);
        status = watch_star(display, window, atoi(argv[3]), atoi(argv[4]), atoi(argv[5]),
                            atoi(argv[6]), strcmp(argv[1], "light") == 0);
    } else {
        fprintf(stderr, "xwatch: bad arguments\n");
    }
    XCloseDisplay(display);
    return status;
}
