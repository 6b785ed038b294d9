/* A programmable SANE backend for tests, loaded by SANE's dll backend as
 * "fake" (a private dll.conf naming it, LD_LIBRARY_PATH pointing at this
 * library's folder).
 *
 * Each test describes the devices in a file named by FAKESANE_CONF, read at
 * sane_init. One setting per line:
 *
 *   device NAME|VENDOR|MODEL     a device (repeatable)
 *   bed WIDTH HEIGHT             the bed in mm (default 220 x 360)
 *   modes Lineart|Gray|Color     the "mode" entries (default Gray|Color)
 *   sources Flatbed|ADF Front    the "source" entries (no option without)
 *   adf-mode                     an "adf-mode" option: Simplex|Duplex
 *   page-size                    "page-width"/"page-height" options that
 *                                bound the geometry, as sheet-fed scanners
 *                                do (default 215.9 x 279.4 mm)
 *   unit pixel                   geometry in pixels at the resolution in
 *                                force instead of mm
 *   password USER PASS           sane_open asks for a user and password
 *   read-status N                the first sane_read of a page returns N
 *   stall zero|block BYTES       after BYTES of a page sane_read returns
 *                                GOOD with 0 bytes for ever, or blocks until
 *                                sane_cancel
 *   log PATH                     each call worth checking, one a line
 *
 * Like SANE's net backend, a value set that answers SANE_INFO_RELOAD_OPTIONS
 * (the mode always; resolution, page size in pixel units) makes every
 * sane_control_option fail until the descriptors are read again. */

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <math.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#define EXPORT __attribute__((visibility("default")))
#define MAX_DEVICES 8
#define MAX_ENTRIES 8

enum {
  OPT_COUNT,
  OPT_MODE,
  OPT_RESOLUTION,
  OPT_SOURCE,
  OPT_ADF_MODE,
  OPT_PAGE_WIDTH,
  OPT_PAGE_HEIGHT,
  OPT_TL_X,
  OPT_TL_Y,
  OPT_BR_X,
  OPT_BR_Y,
  NUM_OPTIONS
};

typedef struct {
  char name[64], vendor[64], model[64];
} DeviceText;

static struct {
  DeviceText devices[MAX_DEVICES];
  int deviceCount;
  double bedW, bedH;
  char modes[MAX_ENTRIES][32];
  int modeCount;
  char sources[MAX_ENTRIES][32];
  int sourceCount;
  int adfMode, pageSize, pixelUnit;
  char user[128], password[128];
  int readStatus;
  int stallKind; /* 0 none, 1 zero, 2 block */
  long stallAfter;
  char log[1024];
} conf;

static SANE_Auth_Callback authorize;
static SANE_Device deviceRecords[MAX_DEVICES];
static const SANE_Device* deviceList[MAX_DEVICES + 1];

typedef struct {
  SANE_Option_Descriptor desc[NUM_OPTIONS];
  SANE_String_Const modeList[MAX_ENTRIES + 1], sourceList[MAX_ENTRIES + 1], adfList[3];
  SANE_Range resolutionRange, pageWRange, pageHRange, xRange, yRange;
  char mode[32], source[32], adf[32];
  SANE_Word resolution;
  double pageW, pageH;   /* mm */
  double geo[4];         /* tl-x tl-y br-x br-y in the option's unit */
  int reloadPending;     /* descriptors must be read again */
  int scanning;
  long delivered, pageBytes;
  int reads;
  volatile int cancelled;
  SANE_Parameters params;
} Device;

static void logLine(const char* format, ...) {
  if (!conf.log[0]) return;
  FILE* f = fopen(conf.log, "a");
  if (!f) return;
  va_list args;
  va_start(args, format);
  vfprintf(f, format, args);
  va_end(args);
  fputc('\n', f);
  fclose(f);
}

static int splitBars(char* text, char out[][32], int max) {
  int n = 0;
  for (char* part = strtok(text, "|"); part && n < max; part = strtok(NULL, "|")) {
    snprintf(out[n++], 32, "%s", part);
  }
  return n;
}

static void readConf(void) {
  memset(&conf, 0, sizeof conf);
  conf.bedW = 220;
  conf.bedH = 360;
  conf.modeCount = 2;
  strcpy(conf.modes[0], "Gray");
  strcpy(conf.modes[1], "Color");
  const char* path = getenv("FAKESANE_CONF");
  FILE* f = path ? fopen(path, "r") : NULL;
  if (!f) return;
  char line[1200];
  while (fgets(line, sizeof line, f)) {
    line[strcspn(line, "\r\n")] = 0;
    char* value = strchr(line, ' ');
    if (value) *value++ = 0;
    else value = line + strlen(line);
    if (!strcmp(line, "device") && conf.deviceCount < MAX_DEVICES) {
      char parts[3][32] = {{0}};
      splitBars(value, parts, 3);
      DeviceText* d = &conf.devices[conf.deviceCount++];
      snprintf(d->name, sizeof d->name, "%s", parts[0]);
      snprintf(d->vendor, sizeof d->vendor, "%s", parts[1]);
      snprintf(d->model, sizeof d->model, "%s", parts[2]);
    } else if (!strcmp(line, "bed")) {
      sscanf(value, "%lf %lf", &conf.bedW, &conf.bedH);
    } else if (!strcmp(line, "modes")) {
      conf.modeCount = splitBars(value, conf.modes, MAX_ENTRIES);
    } else if (!strcmp(line, "sources")) {
      conf.sourceCount = splitBars(value, conf.sources, MAX_ENTRIES);
    } else if (!strcmp(line, "adf-mode")) {
      conf.adfMode = 1;
    } else if (!strcmp(line, "page-size")) {
      conf.pageSize = 1;
    } else if (!strcmp(line, "unit")) {
      conf.pixelUnit = !strcmp(value, "pixel");
    } else if (!strcmp(line, "password")) {
      sscanf(value, "%127s %127s", conf.user, conf.password);
    } else if (!strcmp(line, "read-status")) {
      conf.readStatus = atoi(value);
    } else if (!strcmp(line, "stall")) {
      char kind[16] = "";
      sscanf(value, "%15s %ld", kind, &conf.stallAfter);
      conf.stallKind = !strcmp(kind, "block") ? 2 : 1;
    } else if (!strcmp(line, "log")) {
      snprintf(conf.log, sizeof conf.log, "%s", value);
    }
  }
  fclose(f);
}

/* --- geometry ---------------------------------------------------------- */

static double pixelsPerMm(const Device* d) { return conf.pixelUnit ? d->resolution / 25.4 : 1.0; }

/* The area the geometry may span, in mm: the page on a sheet-fed device. */
static double maxWidthMm(const Device* d) { return conf.pageSize ? d->pageW : conf.bedW; }
static double maxHeightMm(const Device* d) { return conf.pageSize ? d->pageH : conf.bedH; }

static SANE_Word toWord(const Device* d, int option, double v) {
  return d->desc[option].type == SANE_TYPE_FIXED ? SANE_FIX(v) : (SANE_Word)lround(v);
}
static double fromWord(const Device* d, int option, SANE_Word w) {
  return d->desc[option].type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : (double)w;
}

/* Ranges (and values clamped to them) after the resolution or page changed. */
static void updateGeometryRanges(Device* d) {
  const double k = pixelsPerMm(d);
  const int geoFixed = !conf.pixelUnit;
  d->xRange.min = 0;
  d->yRange.min = 0;
  d->xRange.max = geoFixed ? SANE_FIX(maxWidthMm(d)) : (SANE_Word)floor(maxWidthMm(d) * k);
  d->yRange.max = geoFixed ? SANE_FIX(maxHeightMm(d)) : (SANE_Word)floor(maxHeightMm(d) * k);
  d->xRange.quant = d->yRange.quant = 0;
  for (int i = 0; i < 4; ++i) {
    const SANE_Range* r = (i % 2 == 0) ? &d->xRange : &d->yRange;
    const double hi = geoFixed ? SANE_UNFIX(r->max) : r->max;
    if (d->geo[i] > hi) d->geo[i] = hi;
  }
}

static void computeParameters(Device* d) {
  const double k = conf.pixelUnit ? 1.0 : d->resolution / 25.4;
  const int pixels = (int)lround((d->geo[2] - d->geo[0]) * k);
  const int lines = (int)lround((d->geo[3] - d->geo[1]) * k);
  SANE_Parameters* p = &d->params;
  p->last_frame = SANE_TRUE;
  p->pixels_per_line = pixels > 0 ? pixels : 0;
  p->lines = lines > 0 ? lines : 0;
  if (!strcmp(d->mode, "Color")) {
    p->format = SANE_FRAME_RGB;
    p->depth = 8;
    p->bytes_per_line = 3 * p->pixels_per_line;
  } else if (!strcmp(d->mode, "Lineart")) {
    p->format = SANE_FRAME_GRAY;
    p->depth = 1;
    p->bytes_per_line = (p->pixels_per_line + 7) / 8;
  } else {
    p->format = SANE_FRAME_GRAY;
    p->depth = 8;
    p->bytes_per_line = p->pixels_per_line;
  }
}

/* --- options ------------------------------------------------------------ */

static void describe(Device* d, int i, const char* name, SANE_Value_Type type, SANE_Unit unit, SANE_Int size,
                     int active) {
  SANE_Option_Descriptor* o = &d->desc[i];
  o->name = name;
  o->title = name;
  o->desc = name;
  o->type = type;
  o->unit = unit;
  o->size = size;
  o->cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT | (active ? 0 : SANE_CAP_INACTIVE);
  o->constraint_type = SANE_CONSTRAINT_NONE;
}

static void buildOptions(Device* d) {
  describe(d, OPT_COUNT, "", SANE_TYPE_INT, SANE_UNIT_NONE, sizeof(SANE_Word), 1);
  d->desc[OPT_COUNT].cap = SANE_CAP_SOFT_DETECT;

  describe(d, OPT_MODE, SANE_NAME_SCAN_MODE, SANE_TYPE_STRING, SANE_UNIT_NONE, 32, 1);
  for (int i = 0; i < conf.modeCount; ++i) d->modeList[i] = conf.modes[i];
  d->desc[OPT_MODE].constraint_type = SANE_CONSTRAINT_STRING_LIST;
  d->desc[OPT_MODE].constraint.string_list = d->modeList;
  snprintf(d->mode, sizeof d->mode, "%s", conf.modes[0]);

  describe(d, OPT_RESOLUTION, SANE_NAME_SCAN_RESOLUTION, SANE_TYPE_INT, SANE_UNIT_DPI, sizeof(SANE_Word), 1);
  d->resolutionRange.min = 25;
  d->resolutionRange.max = 1200;
  d->resolutionRange.quant = 1;
  d->desc[OPT_RESOLUTION].constraint_type = SANE_CONSTRAINT_RANGE;
  d->desc[OPT_RESOLUTION].constraint.range = &d->resolutionRange;
  d->resolution = 100;

  describe(d, OPT_SOURCE, SANE_NAME_SCAN_SOURCE, SANE_TYPE_STRING, SANE_UNIT_NONE, 32, conf.sourceCount > 0);
  for (int i = 0; i < conf.sourceCount; ++i) d->sourceList[i] = conf.sources[i];
  d->desc[OPT_SOURCE].constraint_type = SANE_CONSTRAINT_STRING_LIST;
  d->desc[OPT_SOURCE].constraint.string_list = d->sourceList;
  if (conf.sourceCount) snprintf(d->source, sizeof d->source, "%s", conf.sources[0]);

  describe(d, OPT_ADF_MODE, "adf-mode", SANE_TYPE_STRING, SANE_UNIT_NONE, 32, conf.adfMode);
  d->adfList[0] = "Simplex";
  d->adfList[1] = "Duplex";
  d->desc[OPT_ADF_MODE].constraint_type = SANE_CONSTRAINT_STRING_LIST;
  d->desc[OPT_ADF_MODE].constraint.string_list = d->adfList;
  strcpy(d->adf, "Simplex");

  describe(d, OPT_PAGE_WIDTH, "page-width", SANE_TYPE_FIXED, SANE_UNIT_MM, sizeof(SANE_Word), conf.pageSize);
  describe(d, OPT_PAGE_HEIGHT, "page-height", SANE_TYPE_FIXED, SANE_UNIT_MM, sizeof(SANE_Word), conf.pageSize);
  d->pageWRange.min = SANE_FIX(50);
  d->pageWRange.max = SANE_FIX(conf.bedW);
  d->pageHRange.min = SANE_FIX(50);
  d->pageHRange.max = SANE_FIX(conf.bedH);
  d->desc[OPT_PAGE_WIDTH].constraint_type = d->desc[OPT_PAGE_HEIGHT].constraint_type = SANE_CONSTRAINT_RANGE;
  d->desc[OPT_PAGE_WIDTH].constraint.range = &d->pageWRange;
  d->desc[OPT_PAGE_HEIGHT].constraint.range = &d->pageHRange;
  d->pageW = conf.bedW < 215.9 ? conf.bedW : 215.9;
  d->pageH = conf.bedH < 279.4 ? conf.bedH : 279.4;

  const char* geoNames[4] = {SANE_NAME_SCAN_TL_X, SANE_NAME_SCAN_TL_Y, SANE_NAME_SCAN_BR_X, SANE_NAME_SCAN_BR_Y};
  for (int i = 0; i < 4; ++i) {
    describe(d, OPT_TL_X + i, geoNames[i], conf.pixelUnit ? SANE_TYPE_INT : SANE_TYPE_FIXED,
             conf.pixelUnit ? SANE_UNIT_PIXEL : SANE_UNIT_MM, sizeof(SANE_Word), 1);
    d->desc[OPT_TL_X + i].constraint_type = SANE_CONSTRAINT_RANGE;
    d->desc[OPT_TL_X + i].constraint.range = (i % 2 == 0) ? &d->xRange : &d->yRange;
  }
  /* A small default area, so a frontend that never sets one gets little. */
  const double k = pixelsPerMm(d);
  d->geo[0] = d->geo[1] = 0;
  d->geo[2] = conf.pixelUnit ? floor(50 * k) : 50;
  d->geo[3] = conf.pixelUnit ? floor(50 * k) : 50;
  updateGeometryRanges(d);
}

/* --- the SANE interface -------------------------------------------------- */

EXPORT SANE_Status sane_fake_init(SANE_Int* version, SANE_Auth_Callback callback) {
  readConf();
  authorize = callback;
  if (version) *version = SANE_VERSION_CODE(1, 0, 0);
  logLine("init");
  return SANE_STATUS_GOOD;
}

EXPORT void sane_fake_exit(void) { logLine("exit"); }

EXPORT SANE_Status sane_fake_get_devices(const SANE_Device*** list, SANE_Bool localOnly) {
  (void)localOnly;
  for (int i = 0; i < conf.deviceCount; ++i) {
    deviceRecords[i].name = conf.devices[i].name;
    deviceRecords[i].vendor = conf.devices[i].vendor;
    deviceRecords[i].model = conf.devices[i].model;
    deviceRecords[i].type = "flatbed scanner";
    deviceList[i] = &deviceRecords[i];
  }
  deviceList[conf.deviceCount] = NULL;
  *list = deviceList;
  return SANE_STATUS_GOOD;
}

EXPORT SANE_Status sane_fake_open(SANE_String_Const name, SANE_Handle* handle) {
  int found = -1;
  for (int i = 0; i < conf.deviceCount; ++i)
    if (!strcmp(conf.devices[i].name, name) || (!name[0] && i == 0)) found = i;
  if (found < 0) return SANE_STATUS_INVAL;
  if (conf.user[0]) {
    char user[SANE_MAX_USERNAME_LEN] = "", password[SANE_MAX_PASSWORD_LEN] = "";
    if (authorize) authorize(conf.devices[found].name, user, password);
    const int ok = !strcmp(user, conf.user) && !strcmp(password, conf.password);
    /* The password itself never goes into the log. */
    logLine("auth %s %s", user[0] ? user : "-", ok ? "granted" : "denied");
    if (!ok) return SANE_STATUS_ACCESS_DENIED;
  }
  Device* d = calloc(1, sizeof(Device));
  if (!d) return SANE_STATUS_NO_MEM;
  buildOptions(d);
  logLine("open %s", conf.devices[found].name);
  *handle = d;
  return SANE_STATUS_GOOD;
}

EXPORT void sane_fake_close(SANE_Handle handle) {
  logLine("close");
  free(handle);
}

EXPORT const SANE_Option_Descriptor* sane_fake_get_option_descriptor(SANE_Handle handle, SANE_Int option) {
  Device* d = handle;
  if (option < 0 || option >= NUM_OPTIONS) return NULL;
  d->reloadPending = 0;
  return &d->desc[option];
}

static SANE_Status getValue(Device* d, SANE_Int option, void* value) {
  switch (option) {
    case OPT_COUNT: *(SANE_Word*)value = NUM_OPTIONS; break;
    case OPT_MODE: strcpy(value, d->mode); break;
    case OPT_RESOLUTION: *(SANE_Word*)value = d->resolution; break;
    case OPT_SOURCE: strcpy(value, d->source); break;
    case OPT_ADF_MODE: strcpy(value, d->adf); break;
    case OPT_PAGE_WIDTH: *(SANE_Word*)value = SANE_FIX(d->pageW); break;
    case OPT_PAGE_HEIGHT: *(SANE_Word*)value = SANE_FIX(d->pageH); break;
    default: *(SANE_Word*)value = toWord(d, option, d->geo[option - OPT_TL_X]); break;
  }
  return SANE_STATUS_GOOD;
}

static int inList(SANE_String_Const* list, const char* value) {
  for (; *list; ++list)
    if (!strcmp(*list, value)) return 1;
  return 0;
}

static SANE_Status setValue(Device* d, SANE_Int option, void* value, SANE_Int* info) {
  const SANE_Option_Descriptor* o = &d->desc[option];
  if (o->type == SANE_TYPE_STRING) {
    if (!inList((SANE_String_Const*)o->constraint.string_list, value)) return SANE_STATUS_INVAL;
    logLine("set %s=%s", o->name, (const char*)value);
    char* target = option == OPT_MODE ? d->mode : option == OPT_SOURCE ? d->source : d->adf;
    snprintf(target, 32, "%s", (const char*)value);
    if (option == OPT_MODE) *info |= SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS;
    return SANE_STATUS_GOOD;
  }
  const SANE_Range* r = o->constraint.range;
  SANE_Word w = *(SANE_Word*)value;
  if (w < r->min || w > r->max) {
    w = w < r->min ? r->min : r->max;
    *info |= SANE_INFO_INEXACT;
  }
  const double v = fromWord(d, option, w);
  logLine("set %s=%g", o->name, v);
  switch (option) {
    case OPT_RESOLUTION:
      if (conf.pixelUnit) {
        /* The area keeps its place on the bed in pixels of the new resolution. */
        const double scale = (double)w / d->resolution;
        for (int i = 0; i < 4; ++i) d->geo[i] = floor(d->geo[i] * scale);
        *info |= SANE_INFO_RELOAD_OPTIONS;
      }
      d->resolution = w;
      updateGeometryRanges(d);
      break;
    case OPT_PAGE_WIDTH:
      d->pageW = v;
      updateGeometryRanges(d);
      *info |= SANE_INFO_RELOAD_OPTIONS;
      break;
    case OPT_PAGE_HEIGHT:
      d->pageH = v;
      updateGeometryRanges(d);
      *info |= SANE_INFO_RELOAD_OPTIONS;
      break;
    default: d->geo[option - OPT_TL_X] = v; break;
  }
  *info |= SANE_INFO_RELOAD_PARAMS;
  return SANE_STATUS_GOOD;
}

EXPORT SANE_Status sane_fake_control_option(SANE_Handle handle, SANE_Int option, SANE_Action action, void* value,
                                            SANE_Int* info) {
  Device* d = handle;
  SANE_Int ignored = 0;
  if (!info) info = &ignored;
  *info = 0;
  if (d->reloadPending) {
    logLine("refused: option descriptors reload needed");
    return SANE_STATUS_INVAL;
  }
  if (option < 0 || option >= NUM_OPTIONS || d->scanning) return SANE_STATUS_INVAL;
  if (action != SANE_ACTION_GET_VALUE && action != SANE_ACTION_SET_VALUE) return SANE_STATUS_UNSUPPORTED;
  if (d->desc[option].cap & SANE_CAP_INACTIVE) return SANE_STATUS_INVAL;
  if (action == SANE_ACTION_GET_VALUE) return getValue(d, option, value);
  if (option == OPT_COUNT) return SANE_STATUS_INVAL;
  const SANE_Status status = setValue(d, option, value, info);
  if (*info & SANE_INFO_RELOAD_OPTIONS) d->reloadPending = 1;
  return status;
}

EXPORT SANE_Status sane_fake_get_parameters(SANE_Handle handle, SANE_Parameters* params) {
  Device* d = handle;
  if (!d->scanning) computeParameters(d);
  *params = d->params;
  return SANE_STATUS_GOOD;
}

EXPORT SANE_Status sane_fake_start(SANE_Handle handle) {
  Device* d = handle;
  if (d->scanning) return SANE_STATUS_DEVICE_BUSY;
  computeParameters(d);
  d->scanning = 1;
  d->cancelled = 0;
  d->delivered = 0;
  d->reads = 0;
  d->pageBytes = (long)d->params.bytes_per_line * d->params.lines;
  logLine("start %s %s %s %dx%d", d->mode, conf.sourceCount ? d->source : "-", conf.adfMode ? d->adf : "-",
          d->params.pixels_per_line, d->params.lines);
  return SANE_STATUS_GOOD;
}

EXPORT SANE_Status sane_fake_read(SANE_Handle handle, SANE_Byte* data, SANE_Int maxLength, SANE_Int* length) {
  Device* d = handle;
  *length = 0;
  if (d->cancelled) return SANE_STATUS_CANCELLED;
  if (!d->scanning) return SANE_STATUS_INVAL;
  if (d->reads++ == 0 && conf.readStatus != 0) return (SANE_Status)conf.readStatus;
  if (conf.stallKind && d->delivered >= conf.stallAfter) {
    if (conf.stallKind == 1) return SANE_STATUS_GOOD;
    while (!d->cancelled) usleep(10000);
    return SANE_STATUS_CANCELLED;
  }
  if (d->delivered >= d->pageBytes) return SANE_STATUS_EOF;
  long n = d->pageBytes - d->delivered;
  if (n > maxLength) n = maxLength;
  if (conf.stallKind && n > conf.stallAfter - d->delivered) n = conf.stallAfter - d->delivered;
  memset(data, 0x80, (size_t)n);
  d->delivered += n;
  *length = (SANE_Int)n;
  return SANE_STATUS_GOOD;
}

EXPORT void sane_fake_cancel(SANE_Handle handle) {
  Device* d = handle;
  if (d->scanning) logLine("cancel");
  d->cancelled = 1;
  d->scanning = 0;
}

EXPORT SANE_Status sane_fake_set_io_mode(SANE_Handle handle, SANE_Bool nonBlocking) {
  (void)handle;
  return nonBlocking ? SANE_STATUS_UNSUPPORTED : SANE_STATUS_GOOD;
}

EXPORT SANE_Status sane_fake_get_select_fd(SANE_Handle handle, SANE_Int* fd) {
  (void)handle;
  (void)fd;
  return SANE_STATUS_UNSUPPORTED;
}
