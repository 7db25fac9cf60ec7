// Connecting, disconnecting and the error texts of the last call.
#include <cstdio>
#include <cstring>
#include <string>

#include "kv/odbc.h"
#include "odbc/calls.h"
#include "odbc/environment.h"

namespace {

// The connect string is built in its own buffer, and the driver manager
// writes the completed one into another: each of the four fields may hold
// 100 characters, so no fixed buffer shared by both could be right.
constexpr SQLSMALLINT kCompletedSize = 1024;

std::string ConnectString(const ConnectionInfo& info) {
  auto field = [](const char* text) {
    return std::string(text, strnlen(text, kOdbcConnectionField));
  };
  std::string text =
      "DSN=" + field(info.dataSource) + ";UID=" + field(info.user) + ";PWD=" + field(info.password);
  const std::string database = field(info.database);
  if (!database.empty()) text += ";DATABASE=" + database;
  return text;
}

std::string FieldText(const char* text) {
  return std::string(text, strnlen(text, kOdbcConnectionField));
}

// The error that SQLDriverConnect left, read to see whether it was IM001.
// Reading it takes it from the driver manager, so it is kept here for the
// host's next OD_bInfoGene on that connection.
struct KeptError {
  void* connection = nullptr;
  bool held = false;
  char state[kOdbcStateSize] = {};
  char message[kOdbcMessageSize] = {};
};
KeptError keptError;

std::string ReadConnectError(OdbcBinding* binding, SQLHDBC connection) {
  keptError = KeptError();
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  const SQLRETURN code = ODBC_CALL(
      binding, SQLError, static_cast<SQLHENV>(binding->environment), connection,
      static_cast<SQLHSTMT>(nullptr), reinterpret_cast<SQLCHAR*>(keptError.state), &native,
      reinterpret_cast<SQLCHAR*>(keptError.message), SQLSMALLINT{kOdbcMessageSize}, &length);
  if (!kvodbc::Succeeded(code)) return {};
  keptError.state[kOdbcStateSize - 1] = '\0';
  keptError.message[kOdbcMessageSize - 1] = '\0';
  keptError.connection = connection;
  keptError.held = true;
  return keptError.state;
}

// The database kind from the DBMS name; a later match wins.
int16_t KindFromDbmsName(std::string name) {
  for (char& c : name)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  int16_t kind = kOdbcKindOther;
  if (name.find("ORACLE") != std::string::npos) kind = kOdbcKindOracle;
  if (name.find("ACCESS") != std::string::npos) kind = kOdbcKindAccess;
  if (name.find("SQL SERVER") != std::string::npos) kind = kOdbcKindSqlServer;
  return kind;
}

void ReadDriverFacts(OdbcBinding* binding, SQLHDBC connection) {
  const SQLRETURN kept = binding->lastCode;
  char driver[kOdbcDriverNameSize] = {};
  SQLSMALLINT length = 0;
  if (kvodbc::Succeeded(ODBC_CALL(binding, SQLGetInfo, connection, SQLUSMALLINT{SQL_DRIVER_NAME},
                                  driver, SQLSMALLINT{sizeof driver}, &length))) {
    driver[sizeof driver - 1] = '\0';
    std::memcpy(binding->driverName, driver, sizeof driver);
  }
  char dbms[256] = {};
  if (kvodbc::Succeeded(ODBC_CALL(binding, SQLGetInfo, connection, SQLUSMALLINT{SQL_DBMS_NAME},
                                  dbms, SQLSMALLINT{sizeof dbms}, &length))) {
    dbms[sizeof dbms - 1] = '\0';
    binding->databaseKind = KindFromDbmsName(dbms);
  } else {
    binding->databaseKind = kOdbcKindOther;
  }
  binding->lastCode = kept;
}

}  // namespace

KV_API int16_t KV_CALL OD_ConnecteODBC(OdbcBinding* binding, const ConnectionInfo* info,
                                       void** connectionOut) {
  if (!kvodbc::Usable(binding) || info == nullptr) return SQL_ERROR;
  if (!kvodbc::EnsureEnvironment(binding)) return binding->lastCode;
  SQLHDBC connection = SQL_NULL_HDBC;
  SQLRETURN code =
      ODBC_CALL(binding, SQLAllocConnect, static_cast<SQLHENV>(binding->environment), &connection);
  if (!kvodbc::Succeeded(code)) return code;

  keptError = KeptError();
  bool plain = info->plainConnect != 0 || info->mode != kOdbcConnectStringMode;
  if (!plain) {
    std::string in = ConnectString(*info);
    SQLCHAR completed[kCompletedSize] = {};
    SQLSMALLINT completedLength = 0;
    // No parent window: unixODBC takes a non-null window handle for a
    // structure of its own, and no dialog is wanted here anyway.
    code = ODBC_CALL(binding, SQLDriverConnect, connection, static_cast<SQLHWND>(nullptr),
                     reinterpret_cast<SQLCHAR*>(in.data()), SQLSMALLINT{SQL_NTS}, completed,
                     kCompletedSize, &completedLength, SQLUSMALLINT{SQL_DRIVER_COMPLETE});
    if (code == SQL_ERROR && ReadConnectError(binding, connection) == "IM001") {
      keptError = KeptError();
      plain = true;
    }
  }
  if (plain) {
    std::string dsn = FieldText(info->dataSource);
    std::string user = FieldText(info->user);
    std::string password = FieldText(info->password);
    code = ODBC_CALL(binding, SQLConnect, connection, reinterpret_cast<SQLCHAR*>(dsn.data()),
                     SQLSMALLINT{SQL_NTS}, reinterpret_cast<SQLCHAR*>(user.data()),
                     SQLSMALLINT{SQL_NTS}, reinterpret_cast<SQLCHAR*>(password.data()),
                     SQLSMALLINT{SQL_NTS});
  }
  binding->lastCode = code;
  if (connectionOut != nullptr) *connectionOut = connection;
  if (kvodbc::Succeeded(code)) ReadDriverFacts(binding, connection);
  return code;
}

KV_API int16_t KV_CALL OD_Disconnect(OdbcBinding* binding, void* connection) {
  if (!kvodbc::Usable(binding)) return SQL_ERROR;
  ODBC_CALL(binding, SQLDisconnect, static_cast<SQLHDBC>(connection));
  return ODBC_CALL(binding, SQLFreeConnect, static_cast<SQLHDBC>(connection));
}

KV_API void* KV_CALL OD_GetEnv(OdbcBinding* binding) {
  return kvodbc::Usable(binding) ? binding->environment : nullptr;
}

KV_API int32_t KV_CALL OD_bInfoGene(OdbcBinding* binding, void* connection, void* statement,
                                    char* state, char* message) {
  if (!kvodbc::Usable(binding)) return 0;
  char stateText[kOdbcStateSize] = {};
  char messageText[kOdbcMessageSize] = {};
  bool read = false;
  if (!kvodbc::Succeeded(binding->lastCode) && keptError.held && statement == nullptr &&
      keptError.connection == connection) {
    std::memcpy(stateText, keptError.state, kOdbcStateSize);
    std::memcpy(messageText, keptError.message, kOdbcMessageSize);
    keptError = KeptError();
    read = true;
  } else if (!kvodbc::Succeeded(binding->lastCode)) {
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    const SQLRETURN kept = binding->lastCode;
    const SQLRETURN code =
        ODBC_CALL(binding, SQLError, static_cast<SQLHENV>(binding->environment),
                  static_cast<SQLHDBC>(connection), static_cast<SQLHSTMT>(statement),
                  reinterpret_cast<SQLCHAR*>(stateText), &native,
                  reinterpret_cast<SQLCHAR*>(messageText), SQLSMALLINT{kOdbcMessageSize}, &length);
    binding->lastCode = kept;
    read = code != SQL_INVALID_HANDLE && code != SQL_ERROR && code != SQL_NO_DATA;
  }
  if (!read) {
    std::memcpy(stateText, "00000", kOdbcStateSize);
    messageText[0] = '\0';
  }
  stateText[kOdbcStateSize - 1] = '\0';
  messageText[kOdbcMessageSize - 1] = '\0';
  if (state != nullptr) std::memcpy(state, stateText, kOdbcStateSize);
  if (message != nullptr) std::memcpy(message, messageText, kOdbcMessageSize);
  return 1;
}
