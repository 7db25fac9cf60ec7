// Named host functions: the sorted table (XBDXADD, XBDXDEL, XBDXLIST,
// XBDXINFO) and the contract a host function relies on: it is called with
// the evaluator state, evaluates inner terms with XBDXPROC, reads integer
// arguments with XBDXVGET and leaves its value and cursor in the state.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "tests/xbase/expr_support.h"
#include "xbase/dbf/data_file.h"
#include "xbase/expr/evaluator.h"
#include "xbase/frame/engine.h"

namespace {

using kvtest::Evaluated;

// Steps over the closing parenthesis of the call, as every function must.
XBSTATUS CloseCall(XBEVALSTATE* state) {
  if (*state->cursor != ')') return XB_E_EXPRESSION;
  ++state->cursor;
  return 0;
}

// UPPER(text): upper-cases the inner term in its own block.
XBSTATUS KV_CALL Upper(XBEVALSTATE* state) {
  const XBSTATUS s = XBDXPROC();
  if (s < 0) return s;
  if (state->type != 'C') return XB_E_EXPRESSION;
  char* text = static_cast<char*>(state->value);
  for (uint16_t i = 0; i + 1 < state->length; ++i) {
    text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
  }
  return CloseCall(state);
}

// REPEAT(text,n): a block of the function's own holding the text n times.
XBSTATUS KV_CALL Repeat(XBEVALSTATE* state) {
  XBSTATUS s = XBDXPROC();
  if (s < 0) return s;
  if (state->type != 'C') return XB_E_EXPRESSION;
  const std::string text(static_cast<const char*>(state->value), state->length - 1u);
  int16_t times = 0;
  if ((s = XBDXVGET(&times)) < 0) return s;
  std::string repeated;
  for (int i = 0; i < times; ++i) repeated += text;
  KVHGLOBAL block = 0;
  if ((s = _XBMALLOC(&block, static_cast<uint32_t>(repeated.size() + 1))) < 0) return s;
  void* address = nullptr;
  if ((s = _XBMLOCK(&address, block)) < 0) return s;
  std::memcpy(address, repeated.c_str(), repeated.size() + 1);
  state->valueBlock = block;
  state->value = address;
  state->type = 'C';
  state->length = static_cast<uint16_t>(repeated.size() + 1);
  return CloseCall(state);
}

// NUM(n): the integer argument as a number; the name has no parenthesis, so
// XBDXVGET steps over the '('.
XBSTATUS KV_CALL Num(XBEVALSTATE* state) {
  int16_t n = 0;
  XBSTATUS s = XBDXVGET(&n);
  if (s < 0) return s;
  KVHGLOBAL block = 0;
  void* address = nullptr;
  if ((s = _XBMALLOC(&block, sizeof(double))) < 0 || (s = _XBMLOCK(&address, block)) < 0) {
    return s;
  }
  const double value = n;
  std::memcpy(address, &value, sizeof value);
  state->valueBlock = block;
  state->value = address;
  state->type = 'N';
  state->length = sizeof(double);
  return CloseCall(state);
}

XBSTATUS KV_CALL Failing(XBEVALSTATE*) {
  return XB_E_VALUE;
}
XBSTATUS KV_CALL NoValue(XBEVALSTATE* state) {
  return CloseCall(state);
}
XBSTATUS KV_CALL Runaway(XBEVALSTATE* state) {
  // Evaluates its argument, then moves the cursor far beyond the text.
  const XBSTATUS s = XBDXPROC();
  state->cursor += 100000;
  return s;
}
XBSTATUS KV_CALL Marker(XBEVALSTATE* state) {
  // A fixed text "first"; tells the two registrations of one name apart.
  const XBSTATUS s = XBDXPROC();
  if (s < 0) return s;
  std::memcpy(state->value, "1", 2);
  state->length = 2;
  return CloseCall(state);
}
XBSTATUS KV_CALL OtherMarker(XBEVALSTATE* state) {
  const XBSTATUS s = XBDXPROC();
  if (s < 0) return s;
  std::memcpy(state->value, "2", 2);
  state->length = 2;
  return CloseCall(state);
}

// PROBE(term): records what XBDXPROC left in the state, and its value.
struct Probe {
  uint16_t type = 0;
  uint16_t length = 0;
  std::string text;
  double number = 0;
  KVHGLOBAL block = 0;
};
Probe probe;

XBSTATUS KV_CALL Probing(XBEVALSTATE* state) {
  const XBSTATUS s = XBDXPROC();
  if (s < 0) return s;
  probe.type = state->type;
  probe.length = state->length;
  probe.block = state->valueBlock;
  if (state->type == 'F' || state->type == 'N') {
    std::memcpy(&probe.number, state->value, sizeof probe.number);
  } else if (state->type == 'C' || state->type == 'D') {
    probe.text = static_cast<const char*>(state->value);
  }
  return CloseCall(state);
}

// NESTED(term): runs a whole evaluation of its own from inside a term.
XBHANDLE nestedHandle = XB_NO_HANDLE;
XBSTATUS KV_CALL Nested(XBEVALSTATE* state) {
  char inner[] = "left(city,2)";
  XBEVALRESULT r{};
  XBSTATUS s = XBDXEVAL(nestedHandle, inner, &r);
  if (s < 0) return s;
  const std::string innerText(static_cast<const char*>(r.value), r.length);
  XBMFREE(r.value);
  if ((s = XBDXPROC()) < 0) return s;
  if (state->type != 'C' || innerText != "Pa") return XB_E_VALUE;
  return CloseCall(state);
}

class ExprFunctions : public kvtest::ExprTest {
 protected:
  XBSTATUS Add(const std::string& name, XBEXPRFUNC f) {
    std::string copy = name;
    return XBDXADD(copy.data(), f);
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    uint16_t count = 0;
    uint16_t longest = 0;
    XBDXINFO(&count, &longest);
    std::vector<char> buffer(longest + 1u);
    for (uint16_t i = 0; i < count; ++i) {
      EXPECT_EQ(XBDXLIST(buffer.data(), i), 0);
      names.emplace_back(buffer.data());
    }
    return names;
  }
};

TEST_F(ExprFunctions, EmptyTable) {
  uint16_t count = 9;
  uint16_t longest = 9;
  EXPECT_EQ(XBDXINFO(&count, &longest), XB_TABLE_EMPTY);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(longest, 0);
  char name[8];
  EXPECT_EQ(XBDXLIST(name, 0), XB_LIST_END);
  EXPECT_EQ(XBDXDEL("NONE("), XB_NAME_NOT_FOUND);
}

TEST_F(ExprFunctions, NamesAreUpperCasedAndKeptSorted) {
  char name[] = "zeta(";
  EXPECT_EQ(XBDXADD(name, Upper), 0);
  EXPECT_STREQ(name, "ZETA(");
  EXPECT_EQ(Add("alpha(", Upper), 0);
  EXPECT_EQ(Add("Mid(", Upper), 0);
  EXPECT_EQ(Add("A", Upper), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"A", "ALPHA(", "MID(", "ZETA("}));
  uint16_t count = 0;
  uint16_t longest = 0;
  EXPECT_EQ(XBDXINFO(&count, &longest), 0);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(longest, 6);
  char out[16];
  EXPECT_EQ(XBDXLIST(out, 4), XB_LIST_END);  // index equal to the count
  EXPECT_EQ(XBDXLIST(out, 65535), XB_LIST_END);
  EXPECT_EQ(XBDXLIST(nullptr, 0), XB_E_NULL);
  XBESCODE(0);
}

TEST_F(ExprFunctions, TheTableGrowsPastItsFirstCapacity) {
  std::vector<std::string> names;
  for (int i = 0; i < 45; ++i) {
    if (i == 20) {
      EXPECT_EQ(kv::xb::Current().expressions.capacity, 20);
    }
    if (i == 21) {
      EXPECT_EQ(kv::xb::Current().expressions.capacity, 30);
    }
    // Added in an order unrelated to the sorted one.
    const int k = (i * 17) % 45;
    names.push_back("F" + std::to_string(k * 7919 % 1000) + "_" + std::to_string(k) + "(");
    ASSERT_EQ(Add(names.back(), Upper), 0) << names.back();
  }
  // Room for 20 entries at first, then 10 more at a time: 45 names need 50.
  EXPECT_EQ(kv::xb::Current().expressions.capacity, 50);
  EXPECT_EQ(kv::xb::Current().expressions.count, 45);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(Names(), names);
  // Every one of them is found by the evaluator's binary search.
  for (const std::string& n : names) EXPECT_EQ(Eval(n + "CITY)").text, "PARIS   ") << n;
}

TEST_F(ExprFunctions, AddingAnExistingNameKeepsTheFirstFunction) {
  EXPECT_EQ(Add("PICK(", Marker), 0);
  EXPECT_EQ(Add("pick(", OtherMarker), XB_NAME_EXISTS);
  EXPECT_EQ(Names().size(), 1u);
  EXPECT_EQ(Eval("PICK(NAME)").text, "1");
}

TEST_F(ExprFunctions, DeletingEntries) {
  ASSERT_EQ(Add("ONE(", Upper), 0);
  ASSERT_EQ(Add("TWO(", Upper), 0);
  ASSERT_EQ(Add("THREE(", Upper), 0);
  EXPECT_EQ(XBDXDEL("two("), 0);  // found without regard to case
  EXPECT_EQ(Names(), (std::vector<std::string>{"ONE(", "THREE("}));
  EXPECT_EQ(XBDXDEL("TWO("), XB_NAME_NOT_FOUND);
  EXPECT_EQ(XBDXDEL("TWO"), XB_NAME_NOT_FOUND);  // a prefix is not the name
  // A deleted name is a plain term again: "TWO(NAME" is a 9-character text.
  ExpectSyntaxError("TWO(NAME)");
  const size_t before = kvp::GlobalLiveBlocks();
  EXPECT_EQ(XBDXDEL("ONE("), 0);
  EXPECT_EQ(XBDXDEL("THREE("), 0);
  // The emptied table is freed with every name block.
  EXPECT_LT(kvp::GlobalLiveBlocks(), before);
  uint16_t count = 1;
  uint16_t longest = 1;
  EXPECT_EQ(XBDXINFO(&count, &longest), XB_TABLE_EMPTY);
  EXPECT_EQ(Add("ONE(", Upper), 0);  // and can be made again
  EXPECT_EQ(Eval("ONE(CITY)").text, "PARIS   ");
}

TEST_F(ExprFunctions, BadArguments) {
  EXPECT_EQ(XBDXADD(nullptr, Upper), XB_E_NULL);
  XBESCODE(0);
  char name[] = "X(";
  EXPECT_EQ(XBDXADD(name, nullptr), XB_E_NULL);
  XBESCODE(0);
  char empty[] = "";
  EXPECT_EQ(XBDXADD(empty, Upper), XB_E_ARGUMENT);  // would match every term
  XBESCODE(0);
  EXPECT_EQ(XBDXDEL(nullptr), XB_E_NULL);
  XBESCODE(0);
  uint16_t n = 0;
  EXPECT_EQ(XBDXINFO(nullptr, &n), XB_E_NULL);
  XBESCODE(0);
}

TEST_F(ExprFunctions, TheEngineEndFreesTheTable) {
  const size_t before = kvp::GlobalLiveBlocks();
  for (const char* n : {"A(", "B(", "C("}) ASSERT_EQ(Add(n, Upper), 0);
  EXPECT_EQ(kvp::GlobalLiveBlocks(), before + 4);  // the table and three names
  XBDDCLOSE(h_);
  h_ = XB_NO_HANDLE;
  XBDTERM();
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocksBefore_);
  ASSERT_EQ(XBDINIT(100, 4), 0);
  uint16_t count = 1;
  uint16_t longest = 1;
  EXPECT_EQ(XBDXINFO(&count, &longest), XB_TABLE_EMPTY);
}

TEST_F(ExprFunctions, HostFunctionsEvaluateInnerTermsThroughTheState) {
  ASSERT_EQ(Add("UPPER(", Upper), 0);
  ASSERT_EQ(Add("REPEAT(", Repeat), 0);
  ASSERT_EQ(Add("NUM", Num), 0);
  EXPECT_EQ(Eval("UPPER(NAME)").text, "SMITH     ");
  EXPECT_EQ(Eval("upper(left(name,3))+city").text, "SMIParis   ");
  EXPECT_EQ(Eval("LEFT(UPPER(NAME),2)").text, "SM");
  EXPECT_EQ(Eval("UPPER(UPPER(SUBSTR(CITY,2,3)))").text, "ARI");
  EXPECT_EQ(Eval("REPEAT(LEFT(NAME,2),3)").text, "SmSmSm");
  EXPECT_EQ(Eval("REPEAT(UPPER(LEFT(CITY,1)),4)+NAME").text, "PPPPSmith     ");
  EXPECT_EQ(Eval("REPEAT(NAME,0)").text, "");
  Evaluated e = Eval("NUM(42)+AMOUNT");
  EXPECT_EQ(e.type, 'N');
  EXPECT_DOUBLE_EQ(e.number, 54.5);
  EXPECT_EQ(Eval("STR(NUM(-7),4)").text, "  -7");
  EXPECT_EQ(Eval("DTOS(BIRTH)+UPPER(NAME)").text, "19960229SMITH     ");
  ExpectSyntaxError("UPPER(AMOUNT)");
  ExpectSyntaxError("UPPER(NAME");
  ExpectSyntaxError("REPEAT(NAME,X)");
  ExpectSyntaxError("REPEAT(NAME)");
  ExpectSyntaxError("NUM()");
}

TEST_F(ExprFunctions, TheStateDescribesEachInnerTerm) {
  ASSERT_EQ(Add("PROBE(", Probing), 0);
  struct Case {
    const char* expression;
    char type;
    uint16_t length;
  } cases[] = {{"PROBE(NAME)", 'C', 11},  {"PROBE(LEFT(CITY,3))", 'C', 4},
               {"PROBE(BIRTH)", 'D', 11}, {"PROBE(AMOUNT)", 'N', 8},
               {"PROBE(RATE)", 'F', 8},   {"PROBE(OK)", 'L', 1},
               {"PROBE(NOTES)", 'M', 4},  {"PROBE(SUBSTR(NAME,20))", 'C', 1}};
  for (const Case& c : cases) {
    probe = Probe{};
    const Evaluated e = Eval(c.expression);
    EXPECT_EQ(e.status, 0) << c.expression;
    EXPECT_EQ(probe.type, c.type) << c.expression;
    EXPECT_EQ(probe.length, c.length) << c.expression;
    EXPECT_EQ(e.type, c.type) << c.expression;
  }
  probe = Probe{};
  Eval("PROBE(DTOS(BIRTH))");
  EXPECT_EQ(probe.text, "19960229");
  probe = Probe{};
  Eval("PROBE(AMOUNT)");
  EXPECT_DOUBLE_EQ(probe.number, 12.5);
  // The value block the function saw is freed once the evaluation ends.
  EXPECT_NE(kvp::GlobalFlags(probe.block) & kvp::GMEM_INVALID_HANDLE, 0u);
}

TEST_F(ExprFunctions, AHostFunctionMayEvaluateAWholeExpressionItself) {
  ASSERT_EQ(Add("NESTED(", Nested), 0);
  ASSERT_EQ(Add("UPPER(", Upper), 0);
  nestedHandle = h_;
  EXPECT_EQ(Eval("UPPER(NESTED(NAME))+CITY").text, "SMITH     Paris   ");
}

TEST_F(ExprFunctions, HostFunctionFailuresBecomeTheStatus) {
  ASSERT_EQ(Add("FAIL(", Failing), 0);
  ASSERT_EQ(Add("NOTHING(", NoValue), 0);
  ASSERT_EQ(Add("AWAY(", Runaway), 0);
  EXPECT_EQ(Eval("FAIL(NAME)").status, XB_E_VALUE);
  XBESCODE(0);
  EXPECT_EQ(Eval("NAME+FAIL(").status, XB_E_VALUE);
  XBESCODE(0);
  ExpectSyntaxError("NOTHING()");   // no value left in the state
  ExpectSyntaxError("AWAY(NAME)");  // cursor moved out of the text
}

TEST_F(ExprFunctions, TermCallsOutsideAnEvaluationAreRefused) {
  EXPECT_EQ(XBDXPROC(), XB_E_ARGUMENT);
  XBESCODE(0);
  int16_t n = 0;
  EXPECT_EQ(XBDXVGET(&n), XB_E_ARGUMENT);
  XBESCODE(0);
}

TEST_F(ExprFunctions, IndexKeysThroughTheInternalInterface) {
  namespace expr = kv::xb::expr;
  ASSERT_EQ(XBCDSTYLE(1), 0);  // two-digit years
  kv::xb::dbf::DataFile* file = kv::xb::dbf::SelectData(h_);
  ASSERT_NE(file, nullptr);
  const std::string record(reinterpret_cast<const char*>(file->recordBytes()), file->recordLength);

  expr::KeyValue key;
  const char text[] = "left(name, 3)+dtos(birth)";
  ASSERT_EQ(expr::EvaluateKey(*file, text, &key), 0);
  EXPECT_STREQ(text, "left(name, 3)+dtos(birth)");  // the caller's text is kept
  EXPECT_EQ(key.type, 'C');
  EXPECT_EQ(key.text, "Smi19960229");
  ASSERT_EQ(expr::EvaluateKey(*file, "BIRTH", &key), 0);
  EXPECT_EQ(key.type, 'D');
  EXPECT_EQ(key.text, "02/29/96");
  EXPECT_EQ(key.date.year, 1996);  // from the stored digits, not the short text
  EXPECT_EQ(key.date.month, 2);
  EXPECT_EQ(key.date.day, 29);
  ASSERT_EQ(expr::EvaluateKey(*file, "AMOUNT+TAX", &key), 0);
  EXPECT_EQ(key.type, 'N');
  EXPECT_DOUBLE_EQ(key.number, 13.75);

  expr::KeyShape shape;
  ASSERT_EQ(expr::DescribeKey(*file, "NAME+STR(AMOUNT,8,2)", &shape), 0);
  EXPECT_EQ(shape.type, 'C');
  EXPECT_EQ(shape.length, 18);
  ASSERT_EQ(expr::DescribeKey(*file, "DTOS(BIRTH)", &shape), 0);
  EXPECT_EQ(shape.type, 'C');
  EXPECT_EQ(shape.length, 8);
  ASSERT_EQ(expr::DescribeKey(*file, "BIRTH", &shape), 0);
  EXPECT_EQ(shape.type, 'D');
  EXPECT_EQ(shape.length, 8);
  ASSERT_EQ(expr::DescribeKey(*file, "AMOUNT", &shape), 0);
  EXPECT_EQ(shape.type, 'N');
  EXPECT_EQ(shape.length, 8);
  ASSERT_EQ(expr::DescribeKey(*file, "SUBSTR(CITY,3)", &shape), 0);
  EXPECT_EQ(shape.length, 6);
  // Describing works on a blank record and leaves the real one in place.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(file->recordBytes()), file->recordLength),
            record);
  EXPECT_EQ(expr::DescribeKey(*file, "LEFT(NAME", &shape), XB_E_EXPRESSION);
  XBESCODE(0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(file->recordBytes()), file->recordLength),
            record);
  EXPECT_EQ(expr::EvaluateKey(*file, nullptr, &key), XB_E_NULL);
  XBESCODE(0);
}

}  // namespace
