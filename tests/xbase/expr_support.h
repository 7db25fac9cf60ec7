// A data file with one field of each type for the expression tests, and a
// helper that evaluates an expression through XBDXEVAL and frees the result.
#pragma once
#include <cstring>
#include <string>

#include "platform/kernel/memory.h"
#include "tests/support/dbf_builder.h"
#include "tests/support/engine_fixture.h"

namespace kvtest {

struct Evaluated {
  XBSTATUS status = 0;
  char type = '?';
  uint16_t length = 0;
  std::string text;   // 'C', 'D' (and ' ')
  double number = 0;  // 'F', 'N'
  int32_t memo = 0;   // 'M'
  uint8_t flag = 0;   // 'L'
};

class ExprTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    DbfBuilder b;
    b.Version(0x83)  // a memo field needs the memo version byte
        .Field("NAME", 'C', 10)
        .Field("CITY", 'C', 8)
        .Field("BIRTH", 'D', 8)
        .Field("AMOUNT", 'N', 8, 2)
        .Field("TAX", 'N', 6, 2)
        .Field("OK", 'L', 1)
        .Field("RATE", 'F', 10, 4)
        .Field("NOTES", 'M', 10)
        .Row({"Smith", "Paris", "19960229", "   12.50", "  1.25", "T", "    0.1250", "        12"})
        .Row({})  // every field blank
        .Row({"Jones", "Oslo", "20011231", "   -3.50", "  0.00", "F", "   -2.5000", "         0"});
    const std::string path = File("people.dbf");
    DbfBuilder::WriteFile(path, b.Bytes());
    ASSERT_EQ(XBDDOPENX(&h_, path.c_str(), 0), 0);
    ASSERT_EQ(XBDDRGET(h_, 1), 0);
  }
  void TearDown() override {
    XBESCODE(0);
    XBDDCLOSE(h_);
    EngineTest::TearDown();
  }

  // Evaluates `expression` (a copy, which the engine may change) and frees
  // the result block. A failed evaluation must leave no block behind.
  Evaluated Eval(const std::string& expression, XBHANDLE handle) {
    std::string text = expression;
    return EvalInPlace(text, handle);
  }
  Evaluated Eval(const std::string& expression) { return Eval(expression, h_); }

  Evaluated EvalInPlace(std::string& text, XBHANDLE handle) {
    Evaluated e;
    const size_t blocks = kvp::GlobalLiveBlocks();
    XBEVALRESULT r{};
    e.status = XBDXEVAL(handle, text.data(), &r);
    text.resize(std::strlen(text.c_str()));
    if (e.status < 0) {
      EXPECT_EQ(r.value, nullptr);
      EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks) << "a failed evaluation left a block";
      return e;
    }
    e.type = static_cast<char>(r.type);
    e.length = r.length;
    const auto* bytes = static_cast<const char*>(r.value);
    switch (e.type) {
      case 'F':
      case 'N':
        std::memcpy(&e.number, bytes, sizeof e.number);
        break;
      case 'M':
        std::memcpy(&e.memo, bytes, sizeof e.memo);
        break;
      case 'L':
        e.flag = static_cast<uint8_t>(bytes[0]);
        break;
      default:
        e.text.assign(bytes, r.length);
        EXPECT_EQ(bytes[r.length], '\0') << "text result without its NUL";
        break;
    }
    EXPECT_EQ(XBMFREE(r.value), 0);
    EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks) << "the result block was not freed";
    return e;
  }

  // Expects -7 and clears the sticky status.
  void ExpectSyntaxError(const std::string& expression) {
    EXPECT_EQ(Eval(expression).status, XB_E_EXPRESSION) << expression;
    XBESCODE(0);
  }

  XBHANDLE h_ = XB_NO_HANDLE;
};

}  // namespace kvtest
