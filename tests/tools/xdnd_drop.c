/* Drops files on the window under a screen point as a file manager does, over the
 * XDND protocol: enter, position, then drop when the target accepts, or leave when
 * it refuses. The file list is served as text/uri-list, percent-encoded, to every
 * selection request, whenever it comes (Wine asks as soon as the drag enters).
 *   xdnd_drop X Y FILE...   prints "accepted" (exit 0) or "refused" (exit 2); 1: failure. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <sys/time.h>

static Display *display;
static Window source;
static Atom aware, selection, typeList, uriList, enter, position, status, leave, drop, finished, actionCopy;
static char *uris;

static void AppendEncoded(char **out, size_t *length, size_t *room, const char *text) {
  static const char hex[] = "0123456789ABCDEF";
  for (const unsigned char *c = (const unsigned char *)text; *c; ++c) {
    if (*length + 4 >= *room) *out = realloc(*out, *room *= 2);
    const int plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') ||
                      strchr("/-._~", *c) != NULL;
    if (plain) {
      (*out)[(*length)++] = (char)*c;
    } else {
      (*out)[(*length)++] = '%';
      (*out)[(*length)++] = hex[*c >> 4];
      (*out)[(*length)++] = hex[*c & 15];
    }
  }
  (*out)[*length] = '\0';
}

static char *UriList(int count, char **paths) {
  size_t room = 256, length = 0;
  char *out = malloc(room);
  out[0] = '\0';
  for (int i = 0; i < count; ++i) {
    if (length + 16 >= room) out = realloc(out, room *= 2);
    strcpy(out + length, "file://");
    length += 7;
    AppendEncoded(&out, &length, &room, paths[i]);
    if (length + 4 >= room) out = realloc(out, room *= 2);
    strcpy(out + length, "\r\n");
    length += 2;
  }
  return out;
}

/* The deepest window under the point that says it takes XDND drops. */
static Window TargetAt(int x, int y) {
  Window from = DefaultRootWindow(display), child = 0, found = 0;
  int localX, localY;
  Window window = from;
  while (XTranslateCoordinates(display, from, window, x, y, &localX, &localY, &child)) {
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char *data = NULL;
    if (XGetWindowProperty(display, window, aware, 0, 1, False, AnyPropertyType, &type, &format, &items, &after,
                           &data) == Success && data) {
      if (items > 0) found = window;
      XFree(data);
    }
    if (!child) break;
    window = child;
  }
  return found;
}

static void Send(Window target, Atom message, long l1, long l2, long l3, long l4) {
  XEvent event;
  memset(&event, 0, sizeof(event));
  event.xclient.type = ClientMessage;
  event.xclient.window = target;
  event.xclient.message_type = message;
  event.xclient.format = 32;
  event.xclient.data.l[0] = (long)source;
  event.xclient.data.l[1] = l1;
  event.xclient.data.l[2] = l2;
  event.xclient.data.l[3] = l3;
  event.xclient.data.l[4] = l4;
  XSendEvent(display, target, False, NoEventMask, &event);
  XFlush(display);
}

static void AnswerSelection(const XSelectionRequestEvent *request) {
  XEvent reply;
  memset(&reply, 0, sizeof(reply));
  reply.xselection.type = SelectionNotify;
  reply.xselection.requestor = request->requestor;
  reply.xselection.selection = request->selection;
  reply.xselection.target = request->target;
  reply.xselection.time = request->time;
  reply.xselection.property = None;
  const Atom property = request->property != None ? request->property : request->target;
  if (request->target == uriList) {
    XChangeProperty(display, request->requestor, property, uriList, 8, PropModeReplace, (unsigned char *)uris,
                    (int)strlen(uris));
    reply.xselection.property = property;
  } else if (request->target == typeList || request->target == XInternAtom(display, "TARGETS", False)) {
    Atom targets[1] = {uriList};
    XChangeProperty(display, request->requestor, property, XA_ATOM, 32, PropModeReplace, (unsigned char *)targets, 1);
    reply.xselection.property = property;
  }
  XSendEvent(display, request->requestor, False, NoEventMask, &reply);
  XFlush(display);
}

/* Serves selection requests until a client message of type wanted arrives or the deadline passes. */
static int WaitFor(Atom wanted, XClientMessageEvent *got, int seconds) {
  struct timeval end, now;
  gettimeofday(&end, NULL);
  end.tv_sec += seconds;
  const int fd = ConnectionNumber(display);
  for (;;) {
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == SelectionRequest) AnswerSelection(&event.xselectionrequest);
      if (event.type == ClientMessage && event.xclient.message_type == wanted) {
        *got = event.xclient;
        return 1;
      }
    }
    gettimeofday(&now, NULL);
    if (timercmp(&now, &end, >=)) return 0;
    fd_set fds;
    FD_ZERO(&fds);
    FD_SET(fd, &fds);
    struct timeval wait = {0, 50000};
    select(fd + 1, &fds, NULL, NULL, &wait);
  }
}

int main(int argc, char **argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: xdnd_drop X Y FILE...\n");
    return 1;
  }
  display = XOpenDisplay(NULL);
  if (!display) return 1;
  const int x = atoi(argv[1]), y = atoi(argv[2]);
  uris = UriList(argc - 3, argv + 3);
  aware = XInternAtom(display, "XdndAware", False);
  selection = XInternAtom(display, "XdndSelection", False);
  typeList = XInternAtom(display, "XdndTypeList", False);
  uriList = XInternAtom(display, "text/uri-list", False);
  enter = XInternAtom(display, "XdndEnter", False);
  position = XInternAtom(display, "XdndPosition", False);
  status = XInternAtom(display, "XdndStatus", False);
  leave = XInternAtom(display, "XdndLeave", False);
  drop = XInternAtom(display, "XdndDrop", False);
  finished = XInternAtom(display, "XdndFinished", False);
  actionCopy = XInternAtom(display, "XdndActionCopy", False);
  source = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
  XSelectInput(display, source, PropertyChangeMask);
  XSetSelectionOwner(display, selection, source, CurrentTime);

  const Window target = TargetAt(x, y);
  if (!target) {
    fprintf(stderr, "xdnd_drop: no window that takes drops at %d,%d\n", x, y);
    return 1;
  }
  XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, x, y);
  Send(target, enter, 5L << 24, (long)uriList, None, None);
  Send(target, position, 0, ((long)x << 16) | y, CurrentTime, (long)actionCopy);
  XClientMessageEvent answer;
  if (!WaitFor(status, &answer, 10)) {
    fprintf(stderr, "xdnd_drop: no status from the target\n");
    return 1;
  }
  if (!(answer.data.l[1] & 1)) {
    Send(target, leave, 0, 0, 0, 0);
    puts("refused");
    return 2;
  }
  Send(target, drop, 0, CurrentTime, 0, 0);
  /* Wine answers Finished after it handed the files over; keep serving until then. */
  if (!WaitFor(finished, &answer, 10)) {
    fprintf(stderr, "xdnd_drop: no finish from the target\n");
    return 1;
  }
  puts("accepted");
  XCloseDisplay(display);
  return 0;
}
