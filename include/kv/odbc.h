/* kvodbc: the ODBC access library's exported interface.
 *
 * OD_bChargeODBC loads the platform's ODBC driver manager at run time and
 * hands out an OdbcBinding; every other OD_ function takes that binding
 * first. Connection and statement handles are the driver manager's own
 * handles; they belong to the host, which passes them back. Functions that
 * return a code return the 16-bit ODBC return code of their last call
 * (0 success, 1 success with information, 99 need data, 100 no more data,
 * -1 error, -2 invalid handle), also kept in the binding; with a missing or
 * unloaded binding they return -1 and call nothing.
 *
 * Texts handed out (lists) are locked moveable global blocks of the
 * platform; the host frees them through GlobalHandle, GlobalUnlock and
 * GlobalFree.
 */
#ifndef KV_ODBC_H
#define KV_ODBC_H

#include <stddef.h>
#include <stdint.h>

#include "kv/export.h"

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 1)

/* One entry of the table used while loading: the entry point's name and the
 * slot of the binding that receives its address. */
typedef struct OdbcNameSlot {
  const char* name;
  void** slot;
} OdbcNameSlot;

enum { kOdbcRequiredFunctions = 31, kOdbcDriverNameSize = 201 };

/* The record of a loaded driver manager (593 bytes on 32-bit). */
typedef struct OdbcBinding {
  void* module; /* 0 = not loaded */
  OdbcNameSlot names[kOdbcRequiredFunctions];
  void* pSQLDisconnect;
  void* pSQLFreeConnect;
  void* pSQLFreeEnv;
  void* pSQLFreeStmt;
  void* pSQLNumResultCols;
  void* pSQLConnect;
  void* pSQLAllocConnect;
  void* pSQLAllocEnv;
  void* pSQLAllocStmt;
  void* pSQLExecDirect;
  void* pSQLExecute;
  void* pSQLPrepare;
  void* pSQLFetch;
  void* pSQLGetData;
  void* pSQLError;
  void* pSQLDataSources;
  void* pSQLTables;
  void* pSQLBindCol;
  void* pSQLColumns;
  void* pSQLDescribeCol;
  void* pSQLColAttributes;
  void* pSQLDriverConnect;
  void* pSQLProcedures;
  void* pSQLTransact;
  void* pSQLSetConnectOption;
  void* pSQLGetTypeInfo;
  void* pSQLSetParam;
  void* pSQLParamData;
  void* pSQLPutData;
  void* pSQLGetInfo;
  void* pSQLSetStmtOption;
  void* pSQLBindParameter; /* optional: 0 when the driver manager lacks it */
  void* pSQLSetPos;        /* optional */
  int16_t lastCode;
  void* environment; /* 0 until the first connection or data-source list */
  char driverName[kOdbcDriverNameSize];
  int16_t databaseKind; /* OdbcDatabaseKind */
} OdbcBinding;

enum OdbcDatabaseKind {
  kOdbcKindOther = 0,
  kOdbcKindAccess = 1,
  kOdbcKindOracle = 2,
  kOdbcKindSqlServer = 3
};

enum { kOdbcConnectionField = 101, kOdbcConnectStringMode = 4 };

/* What the host fills in to connect (408 bytes). */
typedef struct ConnectionInfo {
  char dataSource[kOdbcConnectionField];
  char user[kOdbcConnectionField];
  char password[kOdbcConnectionField];
  char database[kOdbcConnectionField]; /* empty: none */
  int16_t plainConnect;                /* nonzero: SQLConnect only */
  int16_t mode;                        /* the connect string is used only with 4 */
} ConnectionInfo;

/* A memo block handed to OD_ExecDirect: a 32-bit length (little-endian on
 * every target here) followed by that many bytes. */
typedef struct OdbcMemoBlock {
  int32_t length;
  unsigned char data[1];
} OdbcMemoBlock;

/* The memo parameter table of OD_ExecDirect: a count followed without
 * padding by the addresses of the memo blocks, parameter 1 first (a null
 * address stands for a null value). */
typedef struct OdbcMemoTable {
  int16_t count;
  const OdbcMemoBlock* memos[1];
} OdbcMemoTable;

#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(ConnectionInfo) == 408, "ConnectionInfo");
static_assert(offsetof(ConnectionInfo, plainConnect) == 404, "ConnectionInfo");
static_assert(offsetof(ConnectionInfo, mode) == 406, "ConnectionInfo");
#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(OdbcBinding) == 593, "OdbcBinding");
static_assert(offsetof(OdbcBinding, names) == 4, "OdbcBinding");
static_assert(offsetof(OdbcBinding, pSQLDisconnect) == 252, "OdbcBinding");
static_assert(offsetof(OdbcBinding, pSQLBindParameter) == 376, "OdbcBinding");
static_assert(offsetof(OdbcBinding, lastCode) == 384, "OdbcBinding");
static_assert(offsetof(OdbcBinding, environment) == 386, "OdbcBinding");
static_assert(offsetof(OdbcBinding, driverName) == 390, "OdbcBinding");
static_assert(offsetof(OdbcBinding, databaseKind) == 591, "OdbcBinding");
static_assert(offsetof(OdbcMemoTable, memos) == 2 && sizeof(OdbcMemoTable) == 6, "OdbcMemoTable");
#endif
#endif

/* The block OD_GetLongData hands out: the marker "BI5" and a zero byte, the
 * data length as a 32-bit little-endian number, then the data. */
enum { kOdbcLongDataHeader = 8 };

/* Sizes the host's buffers must have. */
enum {
  kOdbcStateSize = 6,
  kOdbcMessageSize = 512,
  kOdbcLineSize = 32768,
  kOdbcMaxMemoReferences = 256
};

/* Loading and the host's entries. */
KV_API int32_t KV_CALL OD_bChargeODBC(OdbcBinding** binding, int32_t* error);
KV_API int32_t KV_CALL OD_bDechargeODBC(OdbcBinding** binding);
KV_API int32_t KV_CALL KV4InitInstance(uint32_t unused, void* hostRecord);
KV_API int32_t KV_CALL KV4ExitInstance(void);

/* Connections, errors and lists. */
KV_API int16_t KV_CALL OD_ConnecteODBC(OdbcBinding* binding, const ConnectionInfo* info,
                                       void** connection);
KV_API int16_t KV_CALL OD_Disconnect(OdbcBinding* binding, void* connection);
KV_API void* KV_CALL OD_GetEnv(OdbcBinding* binding);
KV_API int32_t KV_CALL OD_bInfoGene(OdbcBinding* binding, void* connection, void* statement,
                                    char* state, char* message);
KV_API char* KV_CALL OD_pszListeBase(OdbcBinding* binding, const char* separator);
KV_API char* KV_CALL OD_pszListeTable(OdbcBinding* binding, void* connection, int16_t fullListing,
                                      int16_t tablesAndViews);
KV_API char* KV_CALL OD_pszTypeBase(OdbcBinding* binding, void* connection);

/* Statements and rows. */
KV_API int16_t KV_CALL OD_ExecDirect(OdbcBinding* binding, void* connection, void** statement,
                                     char* sql, const OdbcMemoTable* memos);
KV_API int16_t KV_CALL OD_ExecDirectLock(OdbcBinding* binding, void* connection, void** statement,
                                         const char* sqlOrTable, int16_t tableLock);
KV_API int16_t KV_CALL OD_NumResultCols(OdbcBinding* binding, void* statement, int16_t* count);
KV_API int16_t KV_CALL OD_Fetch(OdbcBinding* binding, void* statement, int16_t* error);
KV_API int16_t KV_CALL OD_ValLineComplete(OdbcBinding* binding, void* statement,
                                          const char* separator, char* line, int16_t* error,
                                          int16_t* columnCount);
KV_API int16_t KV_CALL OD_GetData(OdbcBinding* binding, void* statement, int16_t column,
                                  char* buffer, int32_t size);
KV_API int16_t KV_CALL OD_GetLongData(OdbcBinding* binding, void* statement, int16_t column,
                                      unsigned char** memo);
KV_API int16_t KV_CALL OD_DescribeCol(OdbcBinding* binding, void* statement, int16_t column,
                                      char* name, int16_t nameSize, int16_t* type);
KV_API int16_t KV_CALL OD_ColAttributes(OdbcBinding* binding, void* statement, int16_t column,
                                        int32_t* value);
KV_API int16_t KV_CALL OD_GetColonnes(OdbcBinding* binding, void* connection, const char* table,
                                      int16_t formatted, char** text, int16_t extended);
KV_API int16_t KV_CALL OD_LibRequete(OdbcBinding* binding, void* statement);
KV_API int16_t KV_CALL OD_Transaction(OdbcBinding* binding, void* connection, int16_t operation);

/* The memo reference scanner (see docs/formats.md for the syntax). */
KV_API void* KV_CALL OD_KVMS_Alloc(void);
KV_API void KV_CALL OD_KVMS_Free(void* scanner);
KV_API int16_t KV_CALL OD_KVMS_Scan(void* scanner, const char* sql);
KV_API int32_t KV_CALL OD_KVMS_GetMemoInfo(void* scanner, int16_t reference, int16_t* kind,
                                           char* name, int16_t nameSize);
KV_API int32_t KV_CALL OD_KVMS_ReplaceMemo(void* scanner, int16_t reference, char* sql,
                                           const char* text, int32_t bufferSize);

#ifdef __cplusplus
}
#endif

#endif
