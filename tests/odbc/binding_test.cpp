// Loading the driver manager: unixODBC itself, a missing one, one without a
// required entry point, one without the optional ones; every operation on a
// missing binding.
#include <cstddef>
#include <cstdlib>

#include "odbc_support.h"

namespace {

// Points the module map's override for "odbc32.dll" elsewhere for one test.
class ManagerOverride {
 public:
  explicit ManagerOverride(const std::string& path) { ::setenv(kVariable, path.c_str(), 1); }
  ~ManagerOverride() { ::unsetenv(kVariable); }

 private:
  static constexpr const char* kVariable = "KV_MODULE_ODBC32_DLL";
};

TEST(OdbcBinding, LoadsUnixOdbcWithEverySlotFilled) {
  OdbcBinding* odbc = nullptr;
  int32_t error = 77;
  ASSERT_EQ(OD_bChargeODBC(&odbc, &error), 1);
  ASSERT_NE(odbc, nullptr);
  EXPECT_EQ(error, 0);
  EXPECT_NE(odbc->module, nullptr);
  void* const* slots = &odbc->pSQLDisconnect;
  for (int i = 0; i < 33; ++i) EXPECT_NE(slots[i], nullptr) << "slot " << i;
  // The name table names each slot.
  EXPECT_STREQ(odbc->names[0].name, "SQLDisconnect");
  EXPECT_EQ(odbc->names[0].slot, &odbc->pSQLDisconnect);
  EXPECT_STREQ(odbc->names[30].name, "SQLSetStmtOption");
  EXPECT_EQ(odbc->names[30].slot, &odbc->pSQLSetStmtOption);
  EXPECT_EQ(static_cast<void*>(odbc->environment), nullptr);
  EXPECT_EQ(OD_GetEnv(odbc), nullptr);
  EXPECT_EQ(OD_bDechargeODBC(&odbc), 1);
  EXPECT_EQ(odbc, nullptr);
  EXPECT_EQ(OD_bDechargeODBC(&odbc), 0);
}

TEST(OdbcBinding, RecordLayoutOn64Bit) {
  // The 32-bit offsets are checked by the header under -m32; here the
  // record keeps its order with pointer-sized slots.
  EXPECT_EQ(offsetof(OdbcBinding, names), sizeof(void*));
  EXPECT_EQ(offsetof(OdbcBinding, pSQLDisconnect), sizeof(void*) * 63);
  EXPECT_EQ(offsetof(OdbcBinding, lastCode), sizeof(void*) * 96);
  EXPECT_EQ(offsetof(OdbcBinding, environment), sizeof(void*) * 96 + 2);
  EXPECT_EQ(sizeof(OdbcBinding), sizeof(void*) * 97 + 2 + 201 + 2);
  EXPECT_EQ(sizeof(ConnectionInfo), 408u);
}

TEST(OdbcBinding, MissingDriverManagerGivesThePlatformError) {
  ManagerOverride missing("/nonexistent/libodbc-none.so");
  const size_t blocks = kvp::GlobalLiveBlocks();
  OdbcBinding* odbc = reinterpret_cast<OdbcBinding*>(0x1);
  int32_t error = 0;
  EXPECT_EQ(OD_bChargeODBC(&odbc, &error), 0);
  EXPECT_EQ(odbc, nullptr);
  EXPECT_EQ(error, 126);  // ERROR_MOD_NOT_FOUND
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks);
}

TEST(OdbcBinding, ManagerWithoutARequiredEntryPointIsRefused) {
  ManagerOverride partial(KV_FAKE_DM_NOTRANSACT);
  OdbcBinding* odbc = nullptr;
  int32_t error = 0;
  EXPECT_EQ(OD_bChargeODBC(&odbc, &error), 0);
  EXPECT_EQ(odbc, nullptr);
  EXPECT_EQ(error, -1);
}

TEST(OdbcBinding, ManagerWithoutTheOptionalEntryPointsLoads) {
  ManagerOverride partial(KV_FAKE_DM_NOOPTIONAL);
  OdbcBinding* odbc = nullptr;
  int32_t error = 5;
  ASSERT_EQ(OD_bChargeODBC(&odbc, &error), 1);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(odbc->pSQLBindParameter, nullptr);
  EXPECT_EQ(odbc->pSQLSetPos, nullptr);
  EXPECT_NE(odbc->pSQLSetParam, nullptr);
  EXPECT_EQ(OD_bDechargeODBC(&odbc), 1);
}

TEST(OdbcBinding, EveryOperationOnAMissingBinding) {
  OdbcBinding unloaded{};  // module handle 0
  for (OdbcBinding* odbc : {static_cast<OdbcBinding*>(nullptr), &unloaded}) {
    ConnectionInfo info = odbctest::Info("KvSQLite");
    void* handle = reinterpret_cast<void*>(0x1234);
    char sql[] = "select 1";
    char line[kOdbcLineSize] = "untouched";
    char buffer[16] = {};
    int16_t count = 0;
    int16_t error = 0;
    int32_t value = 0;
    unsigned char* memo = nullptr;
    char* text = nullptr;
    EXPECT_EQ(OD_ConnecteODBC(odbc, &info, &handle), -1);
    EXPECT_EQ(handle, reinterpret_cast<void*>(0x1234));
    EXPECT_EQ(OD_Disconnect(odbc, handle), -1);
    EXPECT_EQ(OD_GetEnv(odbc), nullptr);
    EXPECT_EQ(OD_bInfoGene(odbc, nullptr, nullptr, buffer, line), 0);
    EXPECT_EQ(OD_pszListeBase(odbc, ","), nullptr);
    EXPECT_EQ(OD_pszListeTable(odbc, nullptr, 1, 1), nullptr);
    EXPECT_EQ(odbctest::TakeText(OD_pszTypeBase(odbc, nullptr)), "");
    EXPECT_EQ(OD_ExecDirect(odbc, nullptr, &handle, sql, nullptr), -1);
    EXPECT_EQ(OD_ExecDirectLock(odbc, nullptr, &handle, "T", 1), -1);
    EXPECT_EQ(OD_NumResultCols(odbc, nullptr, &count), -1);
    EXPECT_EQ(OD_Fetch(odbc, nullptr, &error), -1);
    EXPECT_EQ(OD_ValLineComplete(odbc, nullptr, ",", line, &error, &count), -1);
    EXPECT_EQ(OD_GetData(odbc, nullptr, 1, buffer, sizeof buffer), -1);
    EXPECT_EQ(OD_GetLongData(odbc, nullptr, 1, &memo), -1);
    EXPECT_EQ(OD_DescribeCol(odbc, nullptr, 1, buffer, sizeof buffer, &count), -1);
    EXPECT_EQ(OD_ColAttributes(odbc, nullptr, 1, &value), -1);
    EXPECT_EQ(OD_GetColonnes(odbc, nullptr, "T", 1, &text, 1), -1);
    EXPECT_EQ(OD_LibRequete(odbc, nullptr), -1);
    EXPECT_EQ(OD_Transaction(odbc, nullptr, 2), -1);
    EXPECT_EQ(handle, reinterpret_cast<void*>(0x1234));
    EXPECT_EQ(OD_bDechargeODBC(&odbc), 0);
  }
}

TEST(OdbcBinding, HostEntries) {
  int record = 0;
  EXPECT_EQ(KV4InitInstance(0, nullptr), 0);
  EXPECT_EQ(KV4InitInstance(7, &record), 1);
  EXPECT_EQ(KV4ExitInstance(), 1);
}

}  // namespace
