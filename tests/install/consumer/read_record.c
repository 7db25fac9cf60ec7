/* A program written against the installed kvxbase, as a developer outside
 * this tree writes one: it links the library directly and prints the record
 * count and one field of one record, "COUNT|TEXT". Built as C through
 * pkg-config and as C++ through the CMake package.
 *
 * usage: read_record FILE RECORD FIELD */
#include <stdio.h>
#include <stdlib.h>

#include "kv/xbase.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: read_record FILE RECORD FIELD\n");
    return 2;
  }
  if (KV5InitInstance(0, 0) != 1) {
    fprintf(stderr, "read_record: the engine did not start\n");
    return 1;
  }
  XBHANDLE h = XB_NO_HANDLE;
  XBSTATUS s = XBDDOPENX(&h, argv[1], XB_OPEN_READONLY | XB_OPEN_SHARED | 1);
  uint32_t count = 0;
  if (s >= 0) s = XBDDSIZE(h, &count);
  if (s >= 0) s = XBDDRGET(h, (uint32_t)strtoul(argv[2], NULL, 10));
  /* A field's text is at most 65535 bytes and its terminator. */
  static char text[65536];
  if (s >= 0) s = XBDDFNGETS(h, argv[3], text);
  if (s < 0) {
    fprintf(stderr, "read_record: %s: status %d\n", argv[1], s);
    XBDTERM();
    return 1;
  }
  printf("%u|%s\n", (unsigned)count, text);
  XBDDCLOSE(h);
  XBDTERM();
  return 0;
}
