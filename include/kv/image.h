/* kvimage: the image library's exported interface.
 *
 * The host calls bIMG_InitInstance once, then recognises image sources
 * (nIMG_TypeImage*), reads them into device-independent bitmaps
 * (pstIMG_LectureImage*), reduces true-colour bitmaps to a palette
 * (IMG_hDecrease) and writes GIF and JPEG files (IMG_bConvert). Every source
 * is opened by the host's exported BMP_bOpenExport, which fills an
 * ImageSource with its operations; the library never opens a file for
 * reading itself.
 */
#ifndef KV_IMAGE_H
#define KV_IMAGE_H

#include <stddef.h>
#include <stdint.h>

#include "kv/export.h"
#include "kv/platform_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Type codes of recognition. */
enum {
  kImageTypeUnknown = -1,
  kImageTypeTiff = 3,
  kImageTypeNone = 5,
  kImageTypeGif = 8,
  kImageTypeJpeg = 11
};

/* Flags of pstIMG_LectureImage*. */
enum {
  kImageReadHeaderOnly = 0x01,
  kImageReadSilent = 0x02,
  kImageReadWaitWindow = 0x08,
  kImageReadHourglass = 0x10,
  kImageReadDisableWindow = 0x20
};

/* Writer types of IMG_bConvert (the type codes above). */
enum { kImageWriteGif = 8, kImageWriteJpeg = 11 };

#pragma pack(push, 1)

struct ImageSource;

/* The source's operations, filled by the host's opener. */
typedef int32_t(KV_CALL* ImageReadSomeFn)(struct ImageSource* source, void* buffer,
                                          uint32_t count); /* bytes read, -1 on failure */
typedef int32_t(KV_CALL* ImageReadFn)(struct ImageSource* source, void* buffer,
                                      uint32_t count);             /* nonzero when all were read */
typedef int32_t(KV_CALL* ImageSizeFn)(struct ImageSource* source); /* -1: cannot */
typedef void(KV_CALL* ImageCloseFn)(struct ImageSource* source);
typedef int32_t(KV_CALL* ImageSeekFn)(struct ImageSource* source, int32_t position,
                                      int32_t origin); /* new position, -1 on failure */
typedef int32_t(KV_CALL* ImageRewindFn)(struct ImageSource* source, int32_t position);

/* The record the library reserves and the host's opener fills: 304 bytes on
 * a 32-bit target, where the operations sit at bytes 279..302; the library
 * uses only the kind, the name and the operations, the other bytes are the
 * host's. */
typedef struct ImageSource {
  int16_t kind;        /* 0: a named file */
  uint8_t hostSlot[4]; /* the host's: which open source this is */
  char name[273];      /* zero-terminated; quoted in messages */
  ImageReadSomeFn readSome;
  ImageReadFn read;
  ImageSizeFn size;
  ImageCloseFn close;
  ImageSeekFn seek;
  ImageRewindFn rewind;
  uint8_t hostTail[1];
} ImageSource;

/* The header of a device-independent bitmap, as in a BMP file. */
typedef struct KvBitmapInfoHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
} KvBitmapInfoHeader;

typedef struct KvRgbQuad {
  uint8_t rgbBlue;
  uint8_t rgbGreen;
  uint8_t rgbRed;
  uint8_t rgbReserved;
} KvRgbQuad;

/* What a read returns: one locked moveable global block of
 * sizeof(ImageRecord) + 4 + 4 * (2^bits taken as 16 bits) bytes (so a 24-bit
 * record has no colour table), zero-filled; the colour table follows the
 * bitmap header. `pixels` is a second locked global block (bottom-up rows,
 * each padded to 4 bytes, biSizeImage + 1 bytes long), or null when only the
 * header was read. The caller frees both. */
typedef struct ImageRecord {
  uint16_t zero;
  uint8_t* pixels;
  uint8_t reserved[287];
  KvBitmapInfoHeader header;
  /* KvRgbQuad colours[] follow */
} ImageRecord;

/* The host's table of module names handed to bIMG_InitInstance. */
typedef struct ImageModuleTable {
  const char* const* names;
  int32_t count;
} ImageModuleTable;

#pragma pack(pop)

#if defined(__cplusplus) && (defined(__i386__) || defined(_M_IX86))
static_assert(sizeof(ImageSource) == 304, "ImageSource");
static_assert(offsetof(ImageSource, name) == 6, "ImageSource");
static_assert(offsetof(ImageSource, readSome) == 279, "ImageSource");
static_assert(offsetof(ImageSource, read) == 283, "ImageSource");
static_assert(offsetof(ImageSource, size) == 287, "ImageSource");
static_assert(offsetof(ImageSource, close) == 291, "ImageSource");
static_assert(offsetof(ImageSource, seek) == 295, "ImageSource");
static_assert(offsetof(ImageSource, rewind) == 299, "ImageSource");
static_assert(offsetof(ImageRecord, pixels) == 2, "ImageRecord");
static_assert(offsetof(ImageRecord, header) == 293, "ImageRecord");
static_assert(sizeof(ImageRecord) == 333, "ImageRecord");
#endif
#if defined(__cplusplus)
static_assert(sizeof(KvBitmapInfoHeader) == 40, "KvBitmapInfoHeader");
#endif

/* The host's opener (exported by libkvhost.so, looked up at run time):
 * nonzero when the source is open and `source` filled. */
typedef int32_t(KV_CALL* BmpOpenExportFn)(ImageSource* source, const char* name, int32_t extra,
                                          int16_t kind, int32_t value);

KV_API int32_t KV_CALL bIMG_InitInstance(int32_t value, void* hostInstance,
                                         const ImageModuleTable* modules);
KV_API int32_t KV_CALL bIMG_FinInstance(int32_t value);
KV_API int16_t KV_CALL nIMG_TypeImage(int32_t value, const char* name, int16_t kind);
KV_API int16_t KV_CALL nIMG_TypeImage2(int32_t value, const char* name, int16_t kind,
                                       int32_t extra);
KV_API ImageRecord* KV_CALL pstIMG_LectureImage(int32_t value, void* window, const char* name,
                                                int16_t kind, uint16_t flags);
KV_API ImageRecord* KV_CALL pstIMG_LectureImage2(int32_t value, void* window, const char* name,
                                                 int16_t kind, uint16_t flags, int32_t extra);
KV_API char* KV_CALL pszIMG_GetMessage(int32_t value, char* buffer, int32_t length);
KV_API void KV_CALL IMG_FormatReconnu(char* buffer, int32_t length);
KV_API int32_t KV_CALL IMG_bConvert(KVHGLOBAL image, const char* fileName, int16_t type,
                                    int32_t parameter);
KV_API KVHGLOBAL KV_CALL IMG_hDecrease(KVHGLOBAL image, int32_t colours, int32_t exact);

#ifdef __cplusplus
}
#endif

#endif
