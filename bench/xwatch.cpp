/* Times a program's first complete frame from outside, by X events.
 *
 *   xwatch [-q QUIET_MS] [-t TIMEOUT_MS] -- PROGRAM [ARGS...]
 *
 * Watches the root window for new top-level windows, puts a damage monitor
 * on each as it is created, then starts PROGRAM (fork/exec). The first
 * top-level window mapped is the program's; every damage to it after the
 * map is a drawing. Once QUIET_MS pass without damage, the frame is taken
 * as complete and one line is printed:
 *
 *   map=<s> frame=<s> damages=<n>
 *
 * map is the time from the start to the MapNotify, frame the time from the
 * start to the last damage. The program is then ended. Exits non-zero when
 * no frame came within TIMEOUT_MS.
 */

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#define MAX_WINDOWS 256

static double now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

static void finish(pid_t pid) {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, NULL, WNOHANG) == pid)
            return;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, NULL, 0);
}

/* A failed request on a window that vanished meanwhile is no error here. */
static int ignoreErrors(Display* display, XErrorEvent* error) {
    (void)display;
    (void)error;
    return 0;
}

int main(int argc, char** argv) {
    int quietMs = 300;
    int timeoutMs = 20000;
    int opt;
    while ((opt = getopt(argc, argv, "q:t:")) != -1) {
        switch (opt) {
        case 'q':
            quietMs = atoi(optarg);
            break;
        case 't':
            timeoutMs = atoi(optarg);
            break;
        default:
            fprintf(stderr, "usage: %s [-q QUIET_MS] [-t TIMEOUT_MS] -- PROGRAM [ARGS...]\n", argv[0]);
            return 2;
        }
    }
    if (optind >= argc) {
        fprintf(stderr, "xwatch: no program given\n");
        return 2;
    }

    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "xwatch: cannot open the display\n");
        return 2;
    }
    int damageEvent = 0, damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) {
        fprintf(stderr, "xwatch: the X server has no DAMAGE extension\n");
        return 2;
    }
    int major = 1, minor = 1;
    XDamageQueryVersion(display, &major, &minor);
    XSetErrorHandler(ignoreErrors);

    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    Window created[MAX_WINDOWS];
    int createdCount = 0;
    Window target = 0;
    double mapAt = 0, lastDamage = 0;
    int damages = 0;

    fflush(NULL);
    const double start = now();
    const pid_t pid = fork();
    if (pid < 0) {
        perror("xwatch: fork");
        return 2;
    }
    if (pid == 0) {
        close(ConnectionNumber(display));
        execvp(argv[optind], argv + optind);
        fprintf(stderr, "xwatch: cannot start %s: %s\n", argv[optind], strerror(errno));
        _exit(127);
    }

    const int fd = ConnectionNumber(display);
    int status = 1;
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            const double at = now();
            if (event.type == CreateNotify && event.xcreatewindow.parent == root) {
                if (createdCount < MAX_WINDOWS) {
                    created[createdCount++] = event.xcreatewindow.window;
                    XDamageCreate(display, event.xcreatewindow.window, XDamageReportRawRectangles);
                }
            } else if (event.type == MapNotify && event.xmap.event == root && !target) {
                for (int i = 0; i < createdCount; ++i) {
                    if (created[i] == event.xmap.window) {
                        target = event.xmap.window;
                        mapAt = at;
                        break;
                    }
                }
            } else if (event.type == damageEvent + XDamageNotify) {
                const XDamageNotifyEvent* damage = (const XDamageNotifyEvent*)&event;
                if (target && damage->drawable == target) {
                    lastDamage = at;
                    ++damages;
                }
            }
        }
        const double t = now();
        if (damages > 0 && (t - lastDamage) * 1000.0 >= quietMs) {
            status = 0;
            break;
        }
        if ((t - start) * 1000.0 >= timeoutMs) {
            fprintf(stderr, "xwatch: no complete frame within %d ms (mapped: %s, damages: %d)\n", timeoutMs,
                    target ? "yes" : "no", damages);
            break;
        }
        int child = 0;
        if (waitpid(pid, &child, WNOHANG) == pid) {
            fprintf(stderr, "xwatch: the program ended before its first frame\n");
            finish(-1);
            return 1;
        }
        struct pollfd p = {fd, POLLIN, 0};
        const int wait = damages > 0 ? (int)(quietMs - (t - lastDamage) * 1000.0) + 1 : 50;
        poll(&p, 1, wait > 0 ? wait : 1);
    }
    if (status == 0)
        printf("map=%.6f frame=%.6f damages=%d\n", mapAt - start, lastDamage - start, damages);
    fflush(stdout);
    finish(pid);
    XCloseDisplay(display);
    return status;
}
