// Evaluating key expressions through XBDXEVAL: fields of every type, the
// built-in functions, concatenation and addition, dates, numbers and the
// refusal of malformed expressions.
#include <fstream>
#include <regex>
#include <string>

#include "platform/kernel/fault.h"
#include "tests/xbase/expr_support.h"

namespace {

using kvtest::Evaluated;

class ExprEval : public kvtest::ExprTest {};

TEST_F(ExprEval, FieldsKeepTheirTypes) {
  Evaluated e = Eval("NAME");
  EXPECT_EQ(e.type, 'C');
  EXPECT_EQ(e.text, "Smith     ");
  EXPECT_EQ(e.length, 10);
  e = Eval("BIRTH");  // the fixture runs in style 4
  EXPECT_EQ(e.type, 'D');
  EXPECT_EQ(e.text, "19960229");
  EXPECT_EQ(e.length, 8);
  e = Eval("AMOUNT");
  EXPECT_EQ(e.type, 'N');
  EXPECT_DOUBLE_EQ(e.number, 12.5);
  EXPECT_EQ(e.length, 8);
  e = Eval("RATE");
  EXPECT_EQ(e.type, 'F');
  EXPECT_DOUBLE_EQ(e.number, 0.125);
  e = Eval("OK");
  EXPECT_EQ(e.type, 'L');
  EXPECT_EQ(e.flag, 1);
  EXPECT_EQ(e.length, 1);
  e = Eval("NOTES");
  EXPECT_EQ(e.type, 'M');
  EXPECT_EQ(e.memo, 12);
  EXPECT_EQ(e.length, 4);
}

TEST_F(ExprEval, BlankFieldsConvertAsTheFieldReadDoes) {
  ASSERT_EQ(XBDDRGET(h_, 2), 0);
  EXPECT_EQ(Eval("NAME").text, std::string(10, ' '));
  EXPECT_EQ(Eval("BIRTH").text, std::string(8, ' '));
  EXPECT_EQ(Eval("AMOUNT").number, 0.0);
  EXPECT_EQ(Eval("OK").flag, '?');
  EXPECT_EQ(Eval("NOTES").memo, 0);
  EXPECT_EQ(Eval("DTOS(BIRTH)").text, std::string(8, ' '));
  ASSERT_EQ(XBCDSTYLE(7), 0);
  EXPECT_EQ(Eval("BIRTH").text, std::string(10, ' '));
}

TEST_F(ExprEval, TextIsStrippedOfSpacesAndUpperCasedInPlace) {
  std::string text = "left(name, 3) + city";
  const Evaluated e = EvalInPlace(text, h_);
  EXPECT_EQ(text, "LEFT(NAME,3)+CITY");
  EXPECT_EQ(e.text, "SmiParis   ");
}

TEST_F(ExprEval, CharacterTermsConcatenateWithTheirTrailingSpaces) {
  Evaluated e = Eval("NAME+CITY");
  EXPECT_EQ(e.type, 'C');
  EXPECT_EQ(e.text, "Smith     Paris   ");
  EXPECT_EQ(e.length, 18);
  // A character term needs no '+' to be appended.
  EXPECT_EQ(Eval("LEFT(NAME,2)CITY").text, "SmParis   ");
  EXPECT_EQ(Eval("CITY+ABC+NAME").text, "Paris   ABCSmith     ");
}

TEST_F(ExprEval, NumericTermsAdd) {
  Evaluated e = Eval("AMOUNT+TAX");
  EXPECT_EQ(e.type, 'N');
  EXPECT_DOUBLE_EQ(e.number, 13.75);
  EXPECT_DOUBLE_EQ(Eval("AMOUNT+TAX+RATE+2").number, 15.875);
  e = Eval("RATE+AMOUNT");  // the first term's type is the result's
  EXPECT_EQ(e.type, 'F');
  EXPECT_DOUBLE_EQ(e.number, 12.625);
  // A later date, logical or memo term adds nothing.
  e = Eval("AMOUNT+BIRTH+OK+NOTES");
  EXPECT_EQ(e.type, 'N');
  EXPECT_DOUBLE_EQ(e.number, 12.5);
  ASSERT_EQ(XBDDRGET(h_, 3), 0);
  EXPECT_DOUBLE_EQ(Eval("AMOUNT+TAX+RATE").number, -6.0);
}

TEST_F(ExprEval, MixingTextAndNumbersIsATypeError) {
  ExpectSyntaxError("NAME+AMOUNT");
  ExpectSyntaxError("AMOUNT+NAME");
  ExpectSyntaxError("BIRTH+NAME");
  ExpectSyntaxError("BIRTH+AMOUNT");
  ExpectSyntaxError("OK+TAX");
}

TEST_F(ExprEval, SimpleTermsAreFieldsNumbersOrTexts) {
  Evaluated e = Eval("12.5");
  EXPECT_EQ(e.type, 'N');
  EXPECT_DOUBLE_EQ(e.number, 12.5);
  EXPECT_DOUBLE_EQ(Eval("7+0.25").number, 7.25);
  e = Eval("ABC");
  EXPECT_EQ(e.type, 'C');
  EXPECT_EQ(e.text, "ABC");
  EXPECT_EQ(Eval("ABCDEFGHIJ").text, "ABCDEFGHIJ");  // 10 characters: still a term
  EXPECT_EQ(Eval("-5").text, "-5");                  // a sign makes it a text
  ExpectSyntaxError("ABCDEFGHIJK");                  // 11 characters
  ExpectSyntaxError("12345678901");
  EXPECT_EQ(Eval("name").text, "Smith     ");  // field names without regard to case
}

TEST_F(ExprEval, SubstrLeftRight) {
  EXPECT_EQ(Eval("SUBSTR(NAME,2,3)").text, "mit");
  EXPECT_EQ(Eval("SUBSTR(NAME,3)").text, "ith     ");
  EXPECT_EQ(Eval("SUBSTR(NAME,1,10)").text, "Smith     ");
  EXPECT_EQ(Eval("LEFT(NAME,3)").text, "Smi");
  EXPECT_EQ(Eval("RIGHT(NAME,7)").text, "th     ");
  EXPECT_EQ(Eval("LEFT(NAME,0)").text, "");
  EXPECT_EQ(Eval("RIGHT(NAME,0)").text, "");
  EXPECT_EQ(Eval("SUBSTR(NAME,4,0)").text, "");
  EXPECT_EQ(Eval("LEFT(ABCDEF,2)").text, "AB");
  const Evaluated e = Eval("SUBSTR(CITY,2,2)");
  EXPECT_EQ(e.type, 'C');
  EXPECT_EQ(e.length, 2);
}

TEST_F(ExprEval, CountsAndPositionsBeyondTheTextAreClampedToIt) {
  Evaluated e = Eval("SUBSTR(NAME,11)");
  EXPECT_EQ(e.status, 0);
  EXPECT_EQ(e.type, 'C');
  EXPECT_EQ(e.text, "");
  EXPECT_EQ(Eval("SUBSTR(NAME,32767,5)").text, "");
  EXPECT_EQ(Eval("SUBSTR(NAME,8,50)").text, "   ");
  EXPECT_EQ(Eval("SUBSTR(NAME,10,32767)").text, " ");
  EXPECT_EQ(Eval("LEFT(NAME,32767)").text, "Smith     ");
  EXPECT_EQ(Eval("RIGHT(NAME,11)").text, "Smith     ");
  EXPECT_EQ(Eval("RIGHT(LEFT(NAME,3),500)").text, "Smi");
  EXPECT_EQ(Eval("SUBSTR(LEFT(NAME,0),1,1)").text, "");
  // Negative or zero positions and negative counts are refused.
  ExpectSyntaxError("SUBSTR(NAME,0)");
  ExpectSyntaxError("SUBSTR(NAME,-3,2)");
  ExpectSyntaxError("SUBSTR(NAME,2,-1)");
  ExpectSyntaxError("LEFT(NAME,-1)");
  ExpectSyntaxError("RIGHT(NAME,-32768)");
  ExpectSyntaxError("LEFT(NAME,32768)");  // beyond a 16-bit count
}

TEST_F(ExprEval, FunctionsNest) {
  EXPECT_EQ(Eval("LEFT(SUBSTR(NAME,2),3)").text, "mit");
  EXPECT_EQ(Eval("RIGHT(LEFT(NAME,5),2)").text, "th");
  EXPECT_EQ(Eval("SUBSTR(DTOS(BIRTH),5,2)").text, "02");
  EXPECT_EQ(Eval("LEFT(STR(AMOUNT,8,2),5)").text, "   12");
  EXPECT_EQ(Eval("DTOS(BIRTH)+LEFT(NAME,1)+STR(TAX,4,1)").text, "19960229S 1.3");
  std::string deep = "NAME";
  for (int i = 0; i < 30; ++i) deep = "LEFT(" + deep + ",9)";
  EXPECT_EQ(Eval(deep).text, "Smith    ");
}

TEST_F(ExprEval, DtocFollowsTheStyleAndDtosAlwaysSorts) {
  struct Case {
    int16_t style;
    const char* dtoc;
  } cases[] = {{1, "02/29/96"}, {2, "02/29/1996"}, {3, "1996/060"},
               {4, "19960229"}, {7, "29.02.1996"}, {15, "1996.02.29"}};
  for (const Case& c : cases) {
    ASSERT_EQ(XBCDSTYLE(c.style), 0);
    Evaluated e = Eval("DTOC(BIRTH)");
    EXPECT_EQ(e.type, 'C') << c.style;
    EXPECT_EQ(e.text, c.dtoc) << c.style;
    e = Eval("BIRTH");
    EXPECT_EQ(e.type, 'D');
    EXPECT_EQ(e.text, c.dtoc);
    EXPECT_EQ(e.length, std::string(c.dtoc).size());
    e = Eval("DTOS(BIRTH)");
    EXPECT_EQ(e.type, 'C');
    EXPECT_EQ(e.text, "19960229") << c.style;
    // The style comes back after DTOS(.
    EXPECT_EQ(Eval("DTOC(BIRTH)").text, c.dtoc);
    int16_t style = 0;
    char description[64];
    ASSERT_EQ(XBCDGSTYLE(&style, description), 0);
    EXPECT_EQ(style, c.style);
  }
  ExpectSyntaxError("DTOC(NAME)");
  ExpectSyntaxError("DTOS(AMOUNT)");
  ExpectSyntaxError("DTOS(BIRTH");
  ExpectSyntaxError("DTOS(DTOC(BIRTH))");  // DTOC gives text, not a date
}

TEST_F(ExprEval, AStoredDateThatDoesNotReadFailsTheExpression) {
  std::string path = File("bad_date.dbf");
  kvtest::DbfBuilder b;
  b.Field("D", 'D', 8).Row({"19961340"});
  kvtest::DbfBuilder::WriteFile(path, b.Bytes());
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDDOPENX(&h, path.c_str(), 0), 0);
  ASSERT_EQ(XBDDRGET(h, 1), 0);
  ASSERT_EQ(XBCDSTYLE(2), 0);
  EXPECT_EQ(Eval("DTOS(D)", h).status, XB_E_DATE);
  XBESCODE(0);
  // The failed DTOS( argument gives the client its own style back.
  int16_t style = 0;
  char description[64];
  ASSERT_EQ(XBCDGSTYLE(&style, description), 0);
  EXPECT_EQ(style, 2);
  EXPECT_EQ(Eval("DTOC(D)", h).status, XB_E_DATE);
  XBESCODE(0);
  XBDDCLOSE(h);
}

TEST_F(ExprEval, StrWritesFixedWidthNumbers) {
  Evaluated e = Eval("STR(AMOUNT)");
  EXPECT_EQ(e.type, 'C');
  EXPECT_EQ(e.text, "        13");  // halves round away from zero
  EXPECT_EQ(e.length, 10);
  EXPECT_EQ(Eval("STR(AMOUNT,8,2)").text, "   12.50");
  EXPECT_EQ(Eval("STR(AMOUNT,5)").text, "   13");
  EXPECT_EQ(Eval("STR(RATE,10,4)").text, "    0.1250");
  EXPECT_EQ(Eval("STR(RATE,6,2)").text, "  0.13");
  EXPECT_EQ(Eval("STR(12.5,4,1)").text, "12.5");
  // A number wider than the width fills it with asterisks.
  EXPECT_EQ(Eval("STR(AMOUNT,1)").text, "*");
  EXPECT_EQ(Eval("STR(AMOUNT,4,2)").text, "****");
  EXPECT_EQ(Eval("STR(1234567890,5)").text, "*****");
  ASSERT_EQ(XBDDRGET(h_, 3), 0);
  EXPECT_EQ(Eval("STR(AMOUNT,8,2)").text, "   -3.50");
  EXPECT_EQ(Eval("STR(TAX,4)").text, "   0");
  EXPECT_EQ(Eval("STR(RATE,3)").text, " -3");
  ExpectSyntaxError("STR(NAME)");
  ExpectSyntaxError("STR(BIRTH)");
  ExpectSyntaxError("STR(AMOUNT,0)");
  ExpectSyntaxError("STR(AMOUNT,8,-1)");
  ExpectSyntaxError("STR(AMOUNT,256)");
  ExpectSyntaxError("STR(AMOUNT,8,2,1)");
  ExpectSyntaxError("STR(AMOUNT+TAX)");
  ExpectSyntaxError("STR(AMOUNT,X)");
}

TEST_F(ExprEval, EmptyExpressionGivesAnEmptyResult) {
  for (const char* text : {"", "   "}) {
    const Evaluated e = Eval(text);
    EXPECT_EQ(e.status, 0);
    EXPECT_EQ(e.type, ' ');
    EXPECT_EQ(e.length, 0);
    EXPECT_EQ(e.text, "");
  }
}

TEST_F(ExprEval, MalformedExpressionsAreRefused) {
  for (const char* text : {"LEFT(NAME,3",
                           "LEFT(NAME",
                           "LEFT(NAME)",
                           "LEFT(NAME,)",
                           "LEFT(NAME,ABC)",
                           "LEFT(NAME,3+1)",
                           "LEFT(AMOUNT,3)",
                           "RIGHT(OK,1)",
                           "SUBSTR(NAME,2,3))",
                           "SUBSTR(NAME)",
                           "SUBSTR(NAME,2,3,4)",
                           "SUBSTR(",
                           "NAME+",
                           "+",
                           "(NAME)",
                           "NAME,CITY",
                           ")",
                           ",",
                           "UPPER(NAME)",
                           "LEFT(",
                           "STR(",
                           "DTOC()",
                           "NAME++CITY"}) {
    ExpectSyntaxError(text);
  }
}

TEST_F(ExprEval, ErrorsAreStickyUntilReset) {
  EXPECT_EQ(Eval("LEFT(NAME").status, XB_E_EXPRESSION);
  EXPECT_EQ(Eval("NAME").status, XB_E_EXPRESSION);
  EXPECT_EQ(XBESCODE(0), 0);
  EXPECT_EQ(Eval("NAME").status, 0);
}

TEST_F(ExprEval, AFailedExpressionWritesOneLogLine) {
  const std::string log = File("x.log");
  ASSERT_LT(log.size(), 30u) << "the log name must fit its 30 bytes";
  ASSERT_EQ(XBESLOG(1, log.c_str()), 0);
  EXPECT_EQ(Eval("LEFT(NAME,X)").status, XB_E_EXPRESSION);
  std::ifstream in(log);
  std::string line;
  std::string rest;
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_TRUE(std::regex_match(line, std::regex("[A-Z]+\t[0-9]+\t-7"))) << line;
  EXPECT_FALSE(std::getline(in, rest)) << "only one line: " << rest;
  XBESCODE(0);
  XBESLOG(0, nullptr);
}

TEST_F(ExprEval, NullArgumentsAndWrongHandles) {
  XBEVALRESULT r{};
  EXPECT_EQ(XBDXEVAL(h_, nullptr, &r), XB_E_NULL);
  XBESCODE(0);
  char text[] = "NAME";
  EXPECT_EQ(XBDXEVAL(h_, text, nullptr), XB_E_NULL);
  XBESCODE(0);
  EXPECT_EQ(Eval("NAME", 77).status, XB_E_HANDLE);
  XBESCODE(0);
}

TEST_F(ExprEval, VeryLongExpressions) {
  // 5000 concatenated fields: 50000 characters.
  std::string text = "NAME";
  for (int i = 1; i < 5000; ++i) text += "+NAME";
  Evaluated e = Eval(text);
  ASSERT_EQ(e.status, 0);
  EXPECT_EQ(e.length, 50000);
  EXPECT_EQ(e.text.substr(49990), "Smith     ");
  // A text longer than a 16-bit length can describe is refused.
  for (int i = 0; i < 2000; ++i) text += "+NAME";
  ExpectSyntaxError(text);
  // Nesting deeper than the evaluator allows is refused, not a crash.
  std::string deep = "NAME";
  for (int i = 0; i < 20000; ++i) deep = "LEFT(" + deep;
  for (int i = 0; i < 20000; ++i) deep += ",9)";
  ExpectSyntaxError(deep);
  ExpectSyntaxError(std::string(100000, 'A'));
  ExpectSyntaxError(std::string(100000, '('));
}

TEST_F(ExprEval, AllocationFailureLeavesNothingBehind) {
  for (unsigned nth = 1; nth <= 2; ++nth) {
    kvp::fault::Reset();
    kvp::fault::Arm(kvp::fault::Op::Alloc, nth, 8);
    const Evaluated e = Eval("NAME+CITY");
    kvp::fault::Reset();
    if (e.status == 0) continue;  // this evaluation needed fewer blocks
    EXPECT_EQ(e.status, XB_E_MEMORY);
    XBESCODE(0);
  }
  kvp::fault::Reset();
  kvp::fault::Arm(kvp::fault::Op::Alloc, 1, 8);
  EXPECT_EQ(Eval("NAME").status, XB_E_MEMORY);
  kvp::fault::Reset();
}

}  // namespace
