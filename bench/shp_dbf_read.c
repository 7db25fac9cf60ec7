/* Sequential read with shapelib, the peer of bench_dbf_read: every record
 * and every field of a data file, numbers (N, F) with DBFReadDoubleAttribute
 * and every other field with DBFReadStringAttribute, each value feeding a
 * checksum so that no call can be left out.
 *
 *   bench_shp_dbf_read FILE
 * prints "records R fields F numbers N" (N the sum of every N and F value,
 * as bench_dbf_read and dbfread_read.py --check print it). */
#include <shapefil.h>
#include <stdio.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  DBFHandle dbf = DBFOpen(argv[1], "rb");
  if (dbf == NULL) {
    fprintf(stderr, "DBFOpen failed: %s\n", argv[1]);
    return 1;
  }
  const int records = DBFGetRecordCount(dbf);
  const int fields = DBFGetFieldCount(dbf);
  char types[256];
  if (fields > (int)sizeof types) {
    fprintf(stderr, "too many fields: %d\n", fields);
    DBFClose(dbf);
    return 1;
  }
  for (int i = 0; i < fields; ++i) types[i] = DBFGetNativeFieldType(dbf, i);
  double numbers = 0;
  unsigned long long bytes = 0, values = 0;
  for (int r = 0; r < records; ++r) {
    for (int i = 0; i < fields; ++i) {
      if (types[i] == 'N' || types[i] == 'F') {
        numbers += DBFReadDoubleAttribute(dbf, r, i);
      } else {
        const char* text = DBFReadStringAttribute(dbf, r, i);
        if (text == NULL) {
          fprintf(stderr, "record %d field %d unreadable\n", r + 1, i);
          DBFClose(dbf);
          return 1;
        }
        bytes += (unsigned char)text[0];
      }
      ++values;
    }
  }
  DBFClose(dbf);
  printf("records %d fields %llu numbers %.2f bytes %llu\n", records, values, numbers, bytes);
  return 0;
}
