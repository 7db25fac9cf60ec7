/* kvxbase: the xBase engine's exported interface.
 *
 * Every function returns the engine's signed 16-bit status code: 0 success,
 * positive a warning or state, negative an error. A negative code is sticky:
 * every later call returns it unchanged until XBESCODE(0). Handles are 16-bit
 * indexes into the engine's handle table; a failed open stores 65535.
 *
 * Records shared with the host are packed with the field order and widths of
 * their definitions. Address fields are pointer-sized.
 */
#ifndef KV_XBASE_H
#define KV_XBASE_H

#include <stdint.h>

#include "kv/export.h"
#include "kv/platform_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef int16_t XBSTATUS;
typedef uint16_t XBHANDLE;

#define XB_NO_HANDLE ((XBHANDLE)65535)

/* Open mode word: low byte the format variant (1..9, 0 means 1). */
#define XB_OPEN_READONLY 0x0100
#define XB_OPEN_PRODUCTION 0x0200
#define XB_OPEN_SHARED 0x0400
#define XB_OPEN_SHARED_PROD 0x0800

/* Status codes. */
#define XB_OK 0
#define XB_DELETED 1
#define XB_EMPTY_DATE 2
#define XB_NOT_FOUND_ERASE 4
#define XB_CUT 5
#define XB_ROUNDED 6
#define XB_BAD_LENGTH 7
#define XB_FLUSH_NOOP 8
#define XB_E_WRITE (-1)
#define XB_E_READ (-2)
#define XB_E_MEMORY (-3)
#define XB_E_SEEK (-4)
#define XB_E_RENAME_NOT_FOUND (-5)
#define XB_E_NO_HANDLE (-8)
#define XB_E_ARGUMENT (-12)
#define XB_E_HANDLE (-13)
#define XB_E_EMPTY_NAME (-14)
#define XB_E_DATE (-15)
#define XB_E_TIME (-16)
#define XB_E_FORMAT (-18)
#define XB_E_HEADER_LENGTH (-19)
#define XB_E_NULL (-21)
#define XB_E_FIELD_NUMBER (-27)
#define XB_E_FIELD_NAME (-28)
#define XB_E_FIELD_LENGTH (-29)
#define XB_E_DECIMALS (-30)
#define XB_E_FIELD_TYPE (-31)
#define XB_E_RECORD_LENGTH (-32)
#define XB_E_VALUE (-33)
#define XB_E_PRODUCTION_FLAG (-35)
#define XB_E_READONLY (-36)
#define XB_E_LOCKED (-37)
#define XB_E_LOCK_TABLE (-38)
#define XB_E_ACCESS (-40)
#define XB_E_OPEN (-46)
#define XB_E_HANDLE_TYPE (-56)
#define XB_E_LOCK_MEMORY (-58)
#define XB_E_NOT_STARTED (-59)

#pragma pack(push, 1)

/* A field definition as XBDDFINFO returns it (18 bytes). */
typedef struct XBFIELDDEF {
  char name[12];     /* NUL-terminated */
  uint16_t type;     /* the type character */
  uint16_t length;   /* for 'C' the whole length */
  uint16_t decimals; /* 0 for 'C' */
} XBFIELDDEF;

/* File information as XBDDINFO returns it (283 bytes). */
typedef struct XBFILEINFO {
  uint32_t lockOffset;  /* last lock or unlock region */
  uint32_t lockLength;
  uint16_t openFlags;   /* bit 0 read-only, bit 1 shared, bit 2 state-word bit 1 */
  char path[261];
  uint16_t variant;     /* 1..9 */
  uint16_t hasMemo;     /* 1 when the file has memo fields */
  uint16_t production;  /* header byte 28 */
  uint16_t flag14;      /* header byte 14 */
  uint16_t flag15;      /* header byte 15 */
  uint16_t reserved;    /* 0 after open */
} XBFILEINFO;

/* Record information (XBDDRINFO): the record buffer by address. */
typedef struct XBRECINFO {
  uint16_t recordLength;
  uint16_t fieldCount;
  void* buffer;
} XBRECINFO;

/* Record information (XBDDRINFOH): the record buffer by memory handle. */
typedef struct XBRECINFOH {
  uint16_t recordLength;
  uint16_t fieldCount;
  KVHGLOBAL buffer;
} XBRECINFOH;

#pragma pack(pop)

/* ---- Engine frame ---------------------------------------------------- */

/* Host entry: starts the engine with 100 files; 1 on success, else 0. */
KV_API int32_t KV_CALL KV5InitInstance(uint32_t instance, uint32_t unused);

KV_API XBSTATUS KV_CALL XBDINIT(int16_t files, int16_t dateStyle);
KV_API XBSTATUS KV_CALL XBDTERM(void);
KV_API XBSTATUS KV_CALL XBDQCLOSE(void);
KV_API XBSTATUS KV_CALL XBDVERSION(int16_t version);
KV_API XBSTATUS KV_CALL XBECODE(void);
KV_API XBSTATUS KV_CALL XBESCODE(int16_t code);
KV_API XBSTATUS KV_CALL XBESLOG(int16_t mode, const char* logFile);

/* Memory blocks handed to the host: size + 128 zero bytes. */
KV_API XBSTATUS KV_CALL _XBMALLOC(KVHGLOBAL* block, uint32_t size);
KV_API XBSTATUS KV_CALL _XBMRALLOC(KVHGLOBAL* block, uint32_t size);
KV_API XBSTATUS KV_CALL _XBMFREE(KVHGLOBAL block);
KV_API XBSTATUS KV_CALL XBMFREE(void* address);
KV_API XBSTATUS KV_CALL _XBMLOCK(void** address, KVHGLOBAL block);
KV_API XBSTATUS KV_CALL _XBMUNLOCK(KVHGLOBAL block);

/* ---- Data files: opening and reading ---------------------------------- */

KV_API XBSTATUS KV_CALL XBDDOPENX(XBHANDLE* handle, const char* path, uint16_t mode);
KV_API XBSTATUS KV_CALL XBDDCLOSE(XBHANDLE handle);
KV_API XBSTATUS KV_CALL XBDDINFO(XBHANDLE handle, XBFILEINFO* info);
KV_API XBSTATUS KV_CALL XBDDFINFO(XBHANDLE handle, uint16_t* longest, XBFIELDDEF* fields);
KV_API XBSTATUS KV_CALL XBDDFNAM2NO(XBHANDLE handle, uint16_t* fieldNo, const char* name);
KV_API XBSTATUS KV_CALL XBDDFNO2NAM(XBHANDLE handle, char* name, uint16_t fieldNo);
KV_API XBSTATUS KV_CALL XBDDRGETX(XBHANDLE handle, void* record, uint32_t recordNo);
KV_API XBSTATUS KV_CALL XBDDRGET(XBHANDLE handle, uint32_t recordNo);
KV_API XBSTATUS KV_CALL XBDDFGET(XBHANDLE handle, uint16_t fieldNo, void* value);
KV_API XBSTATUS KV_CALL XBDDFGETS(XBHANDLE handle, uint16_t fieldNo, char* text);
KV_API XBSTATUS KV_CALL XBDDFNGET(XBHANDLE handle, const char* name, void* value);
KV_API XBSTATUS KV_CALL XBDDFNGETS(XBHANDLE handle, const char* name, char* text);
KV_API XBSTATUS KV_CALL XBDDRSTAT(XBHANDLE handle);
KV_API XBSTATUS KV_CALL XBDDRNUM(XBHANDLE handle, uint32_t* recordNo);
KV_API XBSTATUS KV_CALL XBDDSIZE(XBHANDLE handle, uint32_t* count);
KV_API XBSTATUS KV_CALL XBDDHGET(XBHANDLE handle);
KV_API XBSTATUS KV_CALL XBDDLUD(XBHANDLE handle, char* date, uint16_t style);
KV_API XBSTATUS KV_CALL XBDDRINFO(XBHANDLE handle, XBRECINFO* info);
KV_API XBSTATUS KV_CALL XBDDRINFOH(XBHANDLE handle, XBRECINFOH* info);

/* ---- Dates and times --------------------------------------------------- */

KV_API XBSTATUS KV_CALL XBCDSTYLE(int16_t style);
KV_API XBSTATUS KV_CALL XBCDGSTYLE(int16_t* style, char* description);
KV_API XBSTATUS KV_CALL XBCDS2I(int16_t* year, int16_t* month, int16_t* day, const char* text,
                                int16_t style);
KV_API XBSTATUS KV_CALL XBCDI2S(char* text, int16_t style, int16_t year, int16_t month,
                                int16_t day);
KV_API XBSTATUS KV_CALL XBCDS2S(char* out, int16_t styleOut, const char* in, int16_t styleIn);
KV_API XBSTATUS KV_CALL XBCDI2L(int32_t* dayNumber, int16_t year, int16_t month, int16_t day);
KV_API XBSTATUS KV_CALL XBCDL2I(int16_t* year, int16_t* month, int16_t* day, int32_t dayNumber);
KV_API XBSTATUS KV_CALL XBCDS2LX(int32_t* dayNumber, const char* text, int16_t style);
KV_API XBSTATUS KV_CALL XBCDL2SX(char* text, int16_t style, int32_t dayNumber);
KV_API XBSTATUS KV_CALL XBCDSDIFF(int32_t* days, const char* text1, int16_t style1,
                                  const char* text2, int16_t style2);
KV_API XBSTATUS KV_CALL XBCDL2DOW(int16_t* dayOfWeek, int32_t dayNumber);
KV_API XBSTATUS KV_CALL XBCDS2DOW(int16_t* dayOfWeek, const char* text, int16_t style);
KV_API XBSTATUS KV_CALL XBCDSDAY(char* name, int16_t dayOfWeek);
KV_API XBSTATUS KV_CALL XBCDS2DAY(char* name, const char* text, int16_t style);
KV_API XBSTATUS KV_CALL XBCDSMONTH(char* name, int16_t month);
KV_API XBSTATUS KV_CALL XBCDS2MON(char* name, const char* text, int16_t style);
KV_API XBSTATUS KV_CALL XBCDILEAP(int16_t year);
KV_API XBSTATUS KV_CALL XBCDSLEAP(const char* text, int16_t style);
KV_API XBSTATUS KV_CALL XBCDIPERM(int16_t* days, int16_t year, int16_t month);
KV_API XBSTATUS KV_CALL XBCDSPERM(int16_t* days, const char* text, int16_t style);
KV_API XBSTATUS KV_CALL XBCDSVALID(const char* text, int16_t style);
KV_API XBSTATUS KV_CALL XBCDIGET(int16_t* year, int16_t* month, int16_t* day, int16_t* dayOfWeek);
KV_API XBSTATUS KV_CALL XBCDSGET(char* text, int16_t style);
KV_API XBSTATUS KV_CALL XBCTS2I(int16_t* hour, int16_t* minute, int16_t* second, const char* text,
                                int16_t style);
KV_API XBSTATUS KV_CALL XBCTI2S(char* text, int16_t style, int16_t hour, int16_t minute,
                                int16_t second);
KV_API XBSTATUS KV_CALL XBCTSDIFF(int32_t* seconds, const char* text1, int16_t style1,
                                  const char* text2, int16_t style2);
KV_API XBSTATUS KV_CALL XBCTSVALID(const char* text, int16_t style);
KV_API XBSTATUS KV_CALL XBCTIGET(int16_t* hour, int16_t* minute, int16_t* second,
                                 int16_t* hundredths);
KV_API XBSTATUS KV_CALL XBCTSGET(char* text, int16_t style);

/* ---- Key expressions --------------------------------------------------- */

#define XB_E_EXPRESSION (-7)
#define XB_TABLE_EMPTY 2
#define XB_LIST_END 3
#define XB_NAME_NOT_FOUND 4
#define XB_NAME_EXISTS 11

#pragma pack(push, 1)

/* The evaluator's state, handed to a named host function. The function finds
 * the cursor just after its name; it must leave the value of its term in
 * valueBlock/value/type/length and the cursor after the term (its closing
 * parenthesis included). XBDXPROC evaluates the term at the cursor into this
 * state and replaces the value block, freeing the one it held: copy what is
 * needed first. A block a function puts here belongs to the engine.
 * Lengths: 'C' characters + 1, 'D' 11, 'F' and 'N' 8 (a double), 'M' 4,
 * 'L' 1. */
typedef struct XBEVALSTATE {
  KVHGLOBAL valueBlock;
  void* value;     /* locked address of valueBlock */
  uint16_t type;   /* 'C', 'D', 'F', 'L', 'M' or 'N' */
  uint16_t length;
  char* cursor;    /* position in the expression text */
} XBEVALSTATE;

/* The result of XBDXEVAL. The value is an engine block the caller frees with
 * XBMFREE. 'C': the characters and a NUL, length without the NUL; 'D': the
 * date text in the current style; 'F', 'N': a double; type ' ' and length 0
 * for an empty expression. */
typedef struct XBEVALRESULT {
  void* value;
  uint16_t type;
  uint16_t length;
} XBEVALRESULT;

#pragma pack(pop)

#if defined(__cplusplus) && (defined(__i386__) || defined(_M_IX86))
/* The layouts the host relies on, checked where pointers are 32 bits wide. */
static_assert(sizeof(XBEVALSTATE) == 16, "XBEVALSTATE");
static_assert(sizeof(XBEVALRESULT) == 8, "XBEVALRESULT");
#endif

/* A named host function: its result becomes the status of its term. */
typedef XBSTATUS(KV_CALL* XBEXPRFUNC)(XBEVALSTATE* state);

KV_API XBSTATUS KV_CALL XBDXEVAL(XBHANDLE handle, char* expression, XBEVALRESULT* result);
KV_API XBSTATUS KV_CALL XBDXPROC(void);
KV_API XBSTATUS KV_CALL XBDXVGET(int16_t* value);
KV_API XBSTATUS KV_CALL XBDXADD(char* name, XBEXPRFUNC function);
KV_API XBSTATUS KV_CALL XBDXDEL(const char* name);
KV_API XBSTATUS KV_CALL XBDXLIST(char* name, uint16_t index);
KV_API XBSTATUS KV_CALL XBDXINFO(uint16_t* count, uint16_t* longest);

/* ---- NDX index ---------------------------------------------------------- */

/* States of key operations. */
#define XB_INDEX_EMPTY 2
#define XB_KEY_EDGE 3
#define XB_KEY_NOT_FOUND 4
#define XB_E_COMPACT (-6)
#define XB_E_NO_PAGE_SLOT (-9)
#define XB_E_PAGE_NOT_CACHED (-10)
#define XB_E_KEY_TYPE (-22)
#define XB_E_KEY_LENGTH (-23)
#define XB_E_ENTRY_SIZE (-24)
#define XB_E_ROOT (-25)
#define XB_E_KEYS_PER_PAGE (-26)

/* Search flags of XBDNKFIND: exact on key and record number; '?' in a
 * character key matches any byte. Other values search by key prefix. */
#define XB_FIND_EXACT 2
#define XB_FIND_WILDCARD 4

/* Type letter of XBDNCREATE: 'C', 'N' or 'D', with this bit for a unique
 * index. */
#define XB_NDX_UNIQUE 0x80

#pragma pack(push, 1)

/* Index information as XBDNINFO returns it (373 bytes). */
typedef struct XBNDXINFO {
  char fileName[261];
  uint16_t openFlags;        /* bit 0 read-only, bits 1 and 2 from the open */
  uint16_t keyLength;
  uint16_t keyType;          /* 'C' or 'N' */
  uint16_t unique;           /* 128 for a unique index */
  uint16_t lockState;        /* 0 after open */
  uint16_t expressionLength;
  char expression[100];      /* NUL-terminated, cut to 99 characters */
} XBNDXINFO;

#pragma pack(pop)

KV_API XBSTATUS KV_CALL XBDNCREATE(const char* name, uint16_t typeLetter, const char* expression,
                                   uint16_t keyLength);
KV_API XBSTATUS KV_CALL XBDNOPENX(XBHANDLE* handle, const char* name, uint16_t mode);
KV_API XBSTATUS KV_CALL XBDNCLOSE(XBHANDLE handle);
KV_API XBSTATUS KV_CALL XBDNEXPR(XBHANDLE handle, char* text);
KV_API XBSTATUS KV_CALL XBDNINFO(XBHANDLE handle, XBNDXINFO* info);
KV_API XBSTATUS KV_CALL XBDNHGET(XBHANDLE handle);
/* Character keys are texts of up to the key length (padded with blanks);
 * numeric and date keys are 8 bytes. Keys returned are the key length and a
 * NUL (character) or 8 bytes (numeric). */
KV_API XBSTATUS KV_CALL XBDNKADD(XBHANDLE handle, const void* key, uint32_t record);
KV_API XBSTATUS KV_CALL XBDNKDEL(XBHANDLE handle, const void* key, uint32_t record);
KV_API XBSTATUS KV_CALL XBDNKFIND(XBHANDLE handle, void* key, uint32_t* record, uint16_t flags);
KV_API XBSTATUS KV_CALL XBDNKTOP(XBHANDLE handle, void* key, uint32_t* record);
KV_API XBSTATUS KV_CALL XBDNKBOT(XBHANDLE handle, void* key, uint32_t* record);
KV_API XBSTATUS KV_CALL XBDNKNEXT(XBHANDLE handle, void* key, uint32_t* record);
KV_API XBSTATUS KV_CALL XBDNKPREV(XBHANDLE handle, void* key, uint32_t* record);
KV_API XBSTATUS KV_CALL XBDNKCUR(XBHANDLE handle, void* key, uint32_t* record);
/* The key of the data file's current record: an engine block the caller
 * frees (XBMFREE for the address, _XBMFREE for the handle). */
KV_API XBSTATUS KV_CALL XBDNKMAKE(XBHANDLE dataHandle, XBHANDLE indexHandle, void** key);
KV_API XBSTATUS KV_CALL XBDNKMAKEH(XBHANDLE dataHandle, XBHANDLE indexHandle, KVHGLOBAL* key);
KV_API XBSTATUS KV_CALL XBDNKNUM(void* key, double value);
KV_API XBSTATUS KV_CALL XBDNKDATE(void* key, const char* text, int16_t style);
/* Compares two keys of the given comparison type over `length` bytes. */
KV_API int16_t KV_CALL _XBDNKCMP(const void* a, const void* b, int16_t type, int16_t length);

/* ---- Data files: writing ----------------------------------------------- */

/* Variant bit of XBDDCREATE: the header's production-index flag. */
#define XB_CREATE_PRODUCTION 0x0200

/* Modes of XBDDRPUTX and XBDDRPUT. */
#define XB_PUT_APPEND 0x0000
#define XB_PUT_UPDATE 0x0100

/* Creates the file and closes it. Names and types of `fields` are put in
 * upper case and fixed lengths and decimals are filled in. */
KV_API XBSTATUS KV_CALL XBDDCREATE(const char* path, int16_t fieldCount, XBFIELDDEF* fields,
                                   uint16_t variant);
/* Values as in the unpacked record: a NUL-terminated string for 'C' and 'D',
 * a double for 'F' and 'N', one byte for 'L', a 32-bit block number for 'M'. */
KV_API XBSTATUS KV_CALL XBDDFPUT(XBHANDLE handle, uint16_t fieldNo, const void* value);
KV_API XBSTATUS KV_CALL XBDDFPUTS(XBHANDLE handle, uint16_t fieldNo, const char* text);
KV_API XBSTATUS KV_CALL XBDDFNPUT(XBHANDLE handle, const char* name, const void* value);
KV_API XBSTATUS KV_CALL XBDDFNPUTS(XBHANDLE handle, const char* name, const char* text);
KV_API XBSTATUS KV_CALL XBDDRPUTX(XBHANDLE handle, const void* record, uint32_t* recordNo,
                                  uint16_t mode);
KV_API XBSTATUS KV_CALL XBDDRPUT(XBHANDLE handle, uint32_t* recordNo, uint16_t mode);
KV_API XBSTATUS KV_CALL XBDDRDEL(XBHANDLE handle, uint32_t recordNo);
KV_API XBSTATUS KV_CALL XBDDRUNDEL(XBHANDLE handle, uint32_t recordNo);
KV_API XBSTATUS KV_CALL XBDDRCLEAR(XBHANDLE handle);
/* The handle may change: the packed file is reopened. */
KV_API XBSTATUS KV_CALL XBDDPACK(XBHANDLE* handle);
KV_API XBSTATUS KV_CALL XBDDFLUSH(XBHANDLE handle);

/* ---- Data files: locking ----------------------------------------------- */

/* Lock status of the lock calls: 0 obtained, 100 refused. A refusal is a
 * state, not an error: the status code is 0, so test the lock status. */
#define XB_LOCK_REFUSED 100

/* File lock modes of XBDDLOCK and XBDDUNLOCK. */
#define XB_LOCK_BYTE 1        /* one byte: a lock that excludes only itself */
#define XB_LOCK_FILE 2        /* the whole file: records, shared slots, mode 1 */
#define XB_LOCK_RECORDS 3     /* as 2 without the mode-1 byte */
#define XB_LOCK_SHARED 4      /* one of 62 shared slots, once no record is locked */
#define XB_LOCK_TEST_SHARED 5 /* obtained when nobody holds a shared slot */

/* Record lock modes of XBDDRLOCK. */
#define XB_RLOCK_TEST 5   /* obtained when the record is free or ours */
#define XB_RLOCK_UNLOCK 6 /* record 0: every record this handle holds */
#define XB_RLOCK_LOCK 7

/* lockStatus may be null. Modes 1..3 and 4 reread the record count once the
 * lock is obtained. */
KV_API XBSTATUS KV_CALL XBDDLOCK(XBHANDLE handle, uint16_t mode, int16_t* lockStatus);
KV_API XBSTATUS KV_CALL XBDDUNLOCK(XBHANDLE handle, uint16_t mode, int16_t* lockStatus);
KV_API XBSTATUS KV_CALL XBDDRLOCK(XBHANDLE handle, uint32_t record, uint16_t mode,
                                 int16_t* lockStatus);
/* Does nothing; returns 0. */
KV_API XBSTATUS KV_CALL XBDDHLOCK(XBHANDLE handle);

/* ---- Memo files ---------------------------------------------------------- */

/* Status codes of the memo families. */
#define XB_E_MEMO_END (-6)         /* plain text without its end marker */
#define XB_E_MEMO_SHORT (-17)      /* file shorter than its header */
#define XB_E_MEMO_TOO_LONG (-29)   /* plain text of more than 128 blocks */
#define XB_E_LINE_WIDTH (-34)      /* line width outside 10..132 */
#define XB_E_MEMO_BLOCK_SIZE (-49) /* block size or block count outside its range */
#define XB_E_MEMO_HEADER (-56)     /* block-size layout header not valid */

/* Read modes of XBDTRGET and XBDTRGETH: 256 removes the soft line breaks
 * (0x8D 0x0A) that wrapping inserted. */
#define XB_MEMO_KEEP_BREAKS 0x0000
#define XB_MEMO_REMOVE_BREAKS 0x0100

/* Write modes of XBDTRPUT (with a line width 10..132 or 0 in the low byte)
 * and XBDWRPUT: a new memo, or a rewrite of the memo at the given block. */
#define XB_MEMO_NEW 0x0000
#define XB_MEMO_REWRITE 0x0100

#pragma pack(push, 1)

/* dBASE memo information as XBDTINFO returns it (267 bytes). */
typedef struct XBDBTINFO {
  uint16_t openFlags; /* bit 0 read-only, bit 1 shared, bit 2 state-word bit 1 */
  char path[261];
  uint16_t variant;   /* 1, 2, 3, 5, 6, 7 or 66 */
  uint16_t reserved;  /* 0 */
} XBDBTINFO;

/* FoxPro memo information as XBDWINFO returns it (265 bytes). */
typedef struct XBFPTINFO {
  uint16_t openFlags; /* bit 0 read-only, bit 1 shared, bit 2 state-word bit 1 */
  char path[261];
  uint16_t reserved;  /* 0 */
} XBFPTINFO;

#pragma pack(pop)

/* .DBT files. The variant (low byte of the mode) chooses the layout: 1, 3,
 * 5, 6, 7 and 66 the plain layout of 512-byte blocks, 2 the block-size
 * layout; 0 on open means 1. */
KV_API XBSTATUS KV_CALL XBDTOPENX(XBHANDLE* handle, const char* path, uint16_t mode);
KV_API XBSTATUS KV_CALL XBDTCLOSE(XBHANDLE handle);
/* Blocks of `blocks` x 512 bytes (1..32; the plain layout always uses 512). */
KV_API XBSTATUS KV_CALL XBDTCREATEX(const char* path, uint16_t blocks, uint16_t variant);
KV_API XBSTATUS KV_CALL XBDTCREATE(const char* path);
KV_API XBSTATUS KV_CALL XBDTINFO(XBHANDLE handle, XBDBTINFO* info);
KV_API XBSTATUS KV_CALL XBDTHGET(XBHANDLE handle);
/* The text is an engine block closed with a NUL, which the caller frees
 * (XBMFREE for the address, _XBMFREE for the handle). */
KV_API XBSTATUS KV_CALL XBDTRGET(XBHANDLE handle, uint32_t block, char** text, uint16_t mode);
KV_API XBSTATUS KV_CALL XBDTRGETH(XBHANDLE handle, uint32_t block, KVHGLOBAL* text,
                                  uint16_t mode);
/* Writes the NUL-terminated text; a new memo's block (or a rewritten memo's
 * new block) is stored in *block. */
KV_API XBSTATUS KV_CALL XBDTRPUT(XBHANDLE handle, uint32_t* block, const char* text,
                                 uint16_t mode);

/* .FPT files. The low byte of the open mode must be 0 or 4. */
KV_API XBSTATUS KV_CALL XBDWOPENX(XBHANDLE* handle, const char* path, uint16_t mode);
KV_API XBSTATUS KV_CALL XBDWCLOSE(XBHANDLE handle);
/* size 1..32: blocks of size x 512 bytes; 33..511: the block size in bytes. */
KV_API XBSTATUS KV_CALL XBDWCREATE(const char* path, uint16_t size);
KV_API XBSTATUS KV_CALL XBDWINFO(XBHANDLE handle, XBFPTINFO* info);
KV_API XBSTATUS KV_CALL XBDWHGET(XBHANDLE handle);
KV_API XBSTATUS KV_CALL XBDWRGET(XBHANDLE handle, uint32_t block, char** text);
KV_API XBSTATUS KV_CALL XBDWRPUT(XBHANDLE handle, uint32_t* block, const char* text,
                                 uint16_t mode);

/* Packing: the memos the data file's records name (deleted records
 * included) are copied into a new memo file, which takes the memo file's
 * name; the old one stays with the extension ".BKT". The memo handle is
 * reopened shared and may change (65535 when the reopen fails). A failed
 * pack leaves the data file's numbers and the memo file in place belonging
 * together: the old pair, or the new one when only the final reopen failed. */
KV_API XBSTATUS KV_CALL XBDTPACK(XBHANDLE dataHandle, XBHANDLE* memoHandle);
KV_API XBSTATUS KV_CALL XBDWPACK(XBHANDLE dataHandle, XBHANDLE* memoHandle);

/* ---- IDX index ---------------------------------------------------------- */

/* Type word of XBDICREATE: the type letter ('C', 'D', 'L' or 'N') in the low
 * byte, with XB_NDX_UNIQUE for a unique index; this bit for the compact form,
 * and with it XB_IDX_DESCENDING for descending order. */
#define XB_IDX_COMPACT 0x0400
#define XB_IDX_DESCENDING 0x0100

#pragma pack(push, 1)

/* Index information as XBDIINFO returns it (375 bytes). */
typedef struct XBIDXINFO {
  char fileName[261];
  uint16_t openFlags;        /* bit 0 read-only, bits 1 and 2 from the open */
  uint16_t keyLength;
  uint16_t keyType;          /* the letter given to XBDIKTYPE, '?' before */
  uint8_t unique;            /* 128 for a unique index */
  uint8_t form;              /* 4 compact form; 1 descending (compact only) */
  uint16_t formCode;         /* 8 compact form, 3 standard form */
  uint16_t lockState;        /* 0 after open */
  uint16_t expressionLength;
  char expression[100];      /* NUL-terminated, cut to 99 characters */
} XBIDXINFO;

#pragma pack(pop)

KV_API XBSTATUS KV_CALL XBDICREATE(const char* name, uint16_t typeWord, const char* expression,
                                   uint16_t keyLength);
KV_API XBSTATUS KV_CALL XBDIOPENX(XBHANDLE* handle, const char* name, uint16_t mode);
KV_API XBSTATUS KV_CALL XBDICLOSE(XBHANDLE handle);
KV_API XBSTATUS KV_CALL XBDIEXPR(XBHANDLE handle, char* text);
KV_API XBSTATUS KV_CALL XBDIINFO(XBHANDLE handle, XBIDXINFO* info);
KV_API XBSTATUS KV_CALL XBDIHGET(XBHANDLE handle);
/* Declares the key type ('C', 'D', 'L' or 'N'), which the file does not
 * record: it decides the pad byte (blank for 'C', NUL otherwise) and whether
 * keys are texts (character, or undeclared) or key-length bytes. */
KV_API XBSTATUS KV_CALL XBDIKTYPE(XBHANDLE handle, uint16_t typeLetter);
KV_API XBSTATUS KV_CALL XBDIKADD(XBHANDLE handle, const void* key, uint32_t record);
KV_API XBSTATUS KV_CALL XBDIKDEL(XBHANDLE handle, const void* key, uint32_t record);
KV_API XBSTATUS KV_CALL XBDIKFIND(XBHANDLE handle, void* key, uint32_t* record, uint16_t flags);
KV_API XBSTATUS KV_CALL XBDIKTOP(XBHANDLE handle, void* key, uint32_t* record);
KV_API XBSTATUS KV_CALL XBDIKBOT(XBHANDLE handle, void* key, uint32_t* record);
KV_API XBSTATUS KV_CALL XBDIKNEXT(XBHANDLE handle, void* key, uint32_t* record);
KV_API XBSTATUS KV_CALL XBDIKPREV(XBHANDLE handle, void* key, uint32_t* record);
KV_API XBSTATUS KV_CALL XBDIKCUR(XBHANDLE handle, void* key, uint32_t* record);
KV_API XBSTATUS KV_CALL XBDIKMAKE(XBHANDLE dataHandle, XBHANDLE indexHandle, void** key);
KV_API XBSTATUS KV_CALL XBDIKMAKEH(XBHANDLE dataHandle, XBHANDLE indexHandle, KVHGLOBAL* key);
/* Numeric and date keys in the IDX form: 8 bytes, big-endian, ordered by an
 * unsigned byte comparison. */
KV_API XBSTATUS KV_CALL XBDIKNUM(void* key, double value);
KV_API XBSTATUS KV_CALL XBDIKDATE(void* key, const char* text, int16_t style);

/* ---- MDX multiple index ------------------------------------------------- */

/* A tag handle: the MDX file handle in the low 16 bits, the tag's slot (1 to
 * 47) in the high 16 bits. */
typedef uint32_t XBTAGHANDLE;
#define XB_TAG_HANDLE(file, slot) ((XBTAGHANDLE)(((uint32_t)(slot) << 16) | (uint16_t)(file)))

#define XB_E_TAG_SLOT (-48)
#define XB_E_BLOCK_UNITS (-49)
#define XB_E_TAG_NAME (-50)
#define XB_E_BLOCK_BYTES (-51)
#define XB_E_MAX_TAGS (-52)
#define XB_E_SLOT_LENGTH (-53)
#define XB_E_TAG_COUNT (-54)
#define XB_E_KEY_FLAGS (-55)
#define XB_E_TAG_IN_USE (-57)

/* Type letter bits of XBDMTNEW: 'C', 'N' or 'D' with these. */
#define XB_MDX_UNIQUE 0x80
#define XB_MDX_DESCENDING 0x100

#pragma pack(push, 1)

/* File information as XBDMINFO returns it (267 bytes). */
typedef struct XBMDXINFO {
  uint16_t tagCount;
  uint16_t openFlags; /* bit 0 read-only */
  char fileName[261];
  uint16_t lockState;
} XBMDXINFO;

/* Tag information as XBDMTINFO returns it (120 bytes). */
typedef struct XBMDXTAGINFO {
  char name[10];
  uint16_t reserved; /* 0 */
  uint16_t keyLength;
  uint16_t keyType;  /* 'C', 'N' or 'D' */
  uint8_t unique;    /* 128 for a unique tag */
  uint8_t order;     /* bit 0: descending */
  uint16_t expressionLength;
  char expression[100]; /* NUL-terminated, cut to 99 characters */
} XBMDXTAGINFO;

#pragma pack(pop)

/* Blocks are `units` x 512 bytes, 1 to 32 units. */
KV_API XBSTATUS KV_CALL XBDMCREATEX(const char* name, uint16_t units, uint16_t mode);
KV_API XBSTATUS KV_CALL XBDMCREATE(const char* name, uint16_t units);
KV_API XBSTATUS KV_CALL XBDMOPENX(XBHANDLE* handle, const char* name, uint16_t mode);
KV_API XBSTATUS KV_CALL XBDMCLOSE(XBHANDLE handle);
KV_API XBSTATUS KV_CALL XBDMINFO(XBHANDLE handle, XBMDXINFO* info);
KV_API XBSTATUS KV_CALL XBDMTNEW(XBHANDLE handle, const char* tag, uint16_t typeLetter,
                                 const char* expression, uint16_t keyLength);
KV_API XBSTATUS KV_CALL XBDMTUSE(XBTAGHANDLE* tagHandle, XBHANDLE handle, const char* tag);
KV_API XBSTATUS KV_CALL XBDMTUSEX(XBTAGHANDLE* tagHandle, XBHANDLE handle, uint16_t slot);
KV_API XBSTATUS KV_CALL XBDMTCLOSE(XBTAGHANDLE tag);
KV_API XBSTATUS KV_CALL XBDMTERASE(XBHANDLE handle, const char* tag);
KV_API XBSTATUS KV_CALL XBDMTHGET(XBTAGHANDLE tag);
KV_API XBSTATUS KV_CALL XBDMTINFO(XBTAGHANDLE tag, XBMDXTAGINFO* info);
KV_API XBSTATUS KV_CALL XBDMTEXPR(XBTAGHANDLE tag, char* text);
/* Keys: character tags take texts of up to the key length; numeric tags
 * the 12 bytes of XBDMKNUM; date tags the 8 bytes of XBDMKDATE. */
KV_API XBSTATUS KV_CALL XBDMKADD(XBTAGHANDLE tag, const void* key, uint32_t record);
KV_API XBSTATUS KV_CALL XBDMKDEL(XBTAGHANDLE tag, const void* key, uint32_t record);
KV_API XBSTATUS KV_CALL XBDMKFIND(XBTAGHANDLE tag, void* key, uint32_t* record, uint16_t flags);
KV_API XBSTATUS KV_CALL XBDMKTOP(XBTAGHANDLE tag, void* key, uint32_t* record);
KV_API XBSTATUS KV_CALL XBDMKBOT(XBTAGHANDLE tag, void* key, uint32_t* record);
KV_API XBSTATUS KV_CALL XBDMKNEXT(XBTAGHANDLE tag, void* key, uint32_t* record);
KV_API XBSTATUS KV_CALL XBDMKPREV(XBTAGHANDLE tag, void* key, uint32_t* record);
KV_API XBSTATUS KV_CALL XBDMKCUR(XBTAGHANDLE tag, void* key, uint32_t* record);
KV_API XBSTATUS KV_CALL XBDMKMAKE(XBHANDLE dataHandle, XBTAGHANDLE tag, void** key);
KV_API XBSTATUS KV_CALL XBDMKMAKEH(XBHANDLE dataHandle, XBTAGHANDLE tag, KVHGLOBAL* key);
KV_API XBSTATUS KV_CALL XBDMKNUM(void* key, double value);
KV_API XBSTATUS KV_CALL XBDMKDATE(void* key, const char* text, int16_t style);

/* ---- NTX index ---------------------------------------------------------- */

/* Header check code of XBDCOPENX: the half page is not M / 2. */
#define XB_E_HALF_PAGE (-44)

/* Type letter of XBDCCREATE: 'C', 'N' or 'D', with this bit for a unique
 * index. */
#define XB_NTX_UNIQUE 0x80

#pragma pack(push, 1)

/* Index information as XBDCINFO returns it (375 bytes). */
typedef struct XBNTXINFO {
  char fileName[261];
  uint16_t openFlags;        /* bit 0 read-only, bits 1 and 2 from the open */
  uint16_t keyLength;
  uint16_t keyType;          /* always '?': the header does not tell */
  uint8_t unique;            /* 128 for a unique index */
  uint8_t descending;        /* bit 0: the expression begins with DESCEND */
  uint16_t decimals;
  uint16_t lockState;        /* 0 after open */
  uint16_t expressionLength;
  char expression[100];      /* NUL-terminated, cut to 99 characters */
} XBNTXINFO;

#pragma pack(pop)

KV_API XBSTATUS KV_CALL XBDCCREATE(const char* name, uint16_t typeLetter, const char* expression,
                                   uint16_t keyLength, uint16_t decimals);
KV_API XBSTATUS KV_CALL XBDCOPENX(XBHANDLE* handle, const char* name, uint16_t mode);
KV_API XBSTATUS KV_CALL XBDCCLOSE(XBHANDLE handle);
/* The expression text: up to 256 characters and a NUL. */
KV_API XBSTATUS KV_CALL XBDCEXPR(XBHANDLE handle, char* text);
KV_API XBSTATUS KV_CALL XBDCINFO(XBHANDLE handle, XBNTXINFO* info);
KV_API XBSTATUS KV_CALL XBDCHGET(XBHANDLE handle);
/* Every key is text: up to the key length (padded with blanks on add and
 * delete; a shorter one is a prefix on find). Keys returned are the key
 * length and a NUL. Numeric and date keys come from XBDCKNUM and XBDCKDATE. */
KV_API XBSTATUS KV_CALL XBDCKADD(XBHANDLE handle, const void* key, uint32_t record);
KV_API XBSTATUS KV_CALL XBDCKDEL(XBHANDLE handle, const void* key, uint32_t record);
KV_API XBSTATUS KV_CALL XBDCKFIND(XBHANDLE handle, void* key, uint32_t* record, uint16_t flags);
KV_API XBSTATUS KV_CALL XBDCKTOP(XBHANDLE handle, void* key, uint32_t* record);
KV_API XBSTATUS KV_CALL XBDCKBOT(XBHANDLE handle, void* key, uint32_t* record);
KV_API XBSTATUS KV_CALL XBDCKNEXT(XBHANDLE handle, void* key, uint32_t* record);
KV_API XBSTATUS KV_CALL XBDCKPREV(XBHANDLE handle, void* key, uint32_t* record);
KV_API XBSTATUS KV_CALL XBDCKCUR(XBHANDLE handle, void* key, uint32_t* record);
/* The key of the data file's current record: an engine block the caller
 * frees (XBMFREE for the address, _XBMFREE for the handle). */
KV_API XBSTATUS KV_CALL XBDCKMAKE(XBHANDLE dataHandle, XBHANDLE indexHandle, void** key);
KV_API XBSTATUS KV_CALL XBDCKMAKEH(XBHANDLE dataHandle, XBHANDLE indexHandle, KVHGLOBAL* key);
/* Numeric key of the index's key length and decimals (key length + 1 bytes
 * out). */
KV_API XBSTATUS KV_CALL XBDCKNUM(XBHANDLE handle, void* key, double value);
/* Date key yyyymmdd from a date text in a date style (9 bytes out). */
KV_API XBSTATUS KV_CALL XBDCKDATE(void* key, const char* text, int16_t style);

/* ---- Index build -------------------------------------------------------- */

/* Builds a whole index over every record of the data file: the single-file
 * builds create the file (as XBDNCREATE / XBDICREATE / XBDCCREATE do) and
 * fill it bottom-up from sorted keys; a failed build leaves no index file.
 * XBDMTINDEX creates a new tag in an open MDX file and adds the keys one by
 * one; a failed build leaves no tag. */
KV_API XBSTATUS KV_CALL XBDNINDEX(XBHANDLE dataHandle, const char* name, uint16_t typeLetter,
                                  const char* expression, uint16_t keyLength);
/* XBDIINDEX: the type word as XBDICREATE takes it (letter, 0x80 unique,
 * XB_IDX_COMPACT, XB_IDX_DESCENDING). XBDCINDEX: the type letter (0x80
 * unique) and the decimals as XBDCCREATE takes them. */
KV_API XBSTATUS KV_CALL XBDIINDEX(XBHANDLE dataHandle, const char* name, uint16_t typeWord,
                                  const char* expression, uint16_t keyLength);
KV_API XBSTATUS KV_CALL XBDCINDEX(XBHANDLE dataHandle, const char* name, uint16_t typeLetter,
                                  const char* expression, uint16_t keyLength, uint16_t decimals);
KV_API XBSTATUS KV_CALL XBDMTINDEX(XBHANDLE dataHandle, XBHANDLE mdxHandle, const char* tag,
                                   uint16_t typeLetter, const char* expression,
                                   uint16_t keyLength);

#ifdef __cplusplus
}
#endif

#endif /* KV_XBASE_H */
