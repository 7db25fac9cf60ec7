// The DESSIN_* exports, taken by name from the loaded library and called
// with a CallBlock as the host calls them.
#include <string>
#include <vector>

#include "tests/chart_protocol/protocol_fixture.h"

namespace chartprotocol {
namespace {

const std::string E = "\x1b";   // ESC
const std::string RS = "\x1e";  // record separator

class DrawingTest : public ProtocolTest {
 protected:
  // Calls an export with the preset result type of a text and `capacity`.
  CallOutcome Draw(const char* exportName, int16_t syntax, const std::vector<Argument>& arguments,
                   ResultArea area = ResultArea{kResultText, 256}) {
    auto function = reinterpret_cast<KvLanguageFunction>(library_.Symbol(exportName));
    if (function == nullptr) {
      ADD_FAILURE() << "no export " << exportName;
      return CallOutcome{};
    }
    CallOutcome outcome = library_.CallDirect(function, syntax, arguments, area);
    EXPECT_FALSE(outcome.overran) << exportName;
    EXPECT_FALSE(outcome.reported) << exportName;
    return outcome;
  }

  // The text a call delivered; checks that it is a complete text result.
  std::string Text(const char* exportName, int16_t syntax, const std::vector<Argument>& arguments) {
    CallOutcome outcome = Draw(exportName, syntax, arguments);
    EXPECT_EQ(outcome.returned, 1) << exportName << " syntax " << syntax;
    EXPECT_EQ(outcome.resultType, kResultText) << exportName;
    EXPECT_TRUE(outcome.terminated) << exportName;
    EXPECT_EQ(outcome.resultLength, outcome.resultBytes.size());
    return outcome.resultBytes;
  }

  void ExpectNoResult(const char* exportName, int16_t syntax,
                      const std::vector<Argument>& arguments, uint8_t preset = kResultText) {
    CallOutcome outcome = Draw(exportName, syntax, arguments, ResultArea{preset, 64});
    EXPECT_EQ(outcome.returned, 0) << exportName << " syntax " << syntax;
    EXPECT_EQ(outcome.resultType, preset) << exportName << " syntax " << syntax;
    EXPECT_EQ(outcome.resultLength, 0u) << exportName << " syntax " << syntax;
  }
};

const std::vector<Argument> kFour = {I(10), I(-20), I(30), I(40)};

std::vector<Argument> FourAnd(std::initializer_list<int32_t> colours) {
  std::vector<Argument> arguments = kFour;
  for (int32_t colour : colours) arguments.push_back(I(colour));
  return arguments;
}

TEST_F(DrawingTest, ShapesGiveOneMoreArgumentPerSyntax) {
  struct Shape {
    const char* exportName;
    char letter;
    int lastSyntax;
  };
  for (Shape shape : {Shape{"DESSIN_bgRectangle", 'R', 6}, Shape{"DESSIN_bgCercle", 'E', 6},
                      Shape{"DESSIN_bgLigne", 'D', 5}}) {
    SCOPED_TRACE(shape.exportName);
    const std::string head = E + shape.letter + "(";
    const std::vector<Argument> all = FourAnd({0xFF0000, 0x123456});
    const std::string expected[] = {
        head + ",,,)",
        head + "10,,,)",
        head + "10,-20,,)",
        head + "10,-20,30,)",
        head + "10,-20,30,40)",
        head + "10,-20,30,40,B)",
        head + "10,-20,30,40,B,RVB(86,52,18))",
    };
    for (int syntax = 0; syntax <= shape.lastSyntax; ++syntax) {
      std::vector<Argument> given(all.begin(), all.begin() + syntax);
      EXPECT_EQ(Text(shape.exportName, static_cast<int16_t>(syntax), given), expected[syntax])
          << syntax;
    }
    ExpectNoResult(shape.exportName, static_cast<int16_t>(shape.lastSyntax + 1), all);
    ExpectNoResult(shape.exportName, -1, all);
  }
}

TEST_F(DrawingTest, CoordinatesAreReadAsSignedSixteenBitValues) {
  EXPECT_EQ(Text("DESSIN_bgRectangle", 4, {I(70000), I(0x18000), I(-1), I(32767)}),
            E + "R(4464,-32768,-1,32767)");
}

TEST_F(DrawingTest, ColourTexts) {
  const std::pair<int32_t, const char*> named[] = {
      {0x000000, "N"}, {0x000080, "r"}, {0x0000FF, "R"}, {0x008000, "v"}, {0x008080, "j"},
      {0x00FF00, "V"}, {0x00FFFF, "J"}, {0x800000, "b"}, {0x800080, "m"}, {0x808000, "c"},
      {0x808080, "g"}, {0xC0C0C0, "G"}, {0xFF0000, "B"}, {0xFF00FF, "M"}, {0xFFFF00, "C"},
      {0xFFFFFF, "W"}, {-1, "T"},       {-2, "S"},
  };
  for (auto [colour, letter] : named) {
    EXPECT_EQ(Text("DESSIN_bgStylo", 0, {I(colour)}), E + "T" + letter) << std::hex << colour;
    EXPECT_EQ(Text("DESSIN_bgFond", 0, {I(colour)}), E + "F" + letter) << std::hex << colour;
  }
  // Neighbours of the named values, and values whose high byte is set.
  EXPECT_EQ(Text("DESSIN_bgFond", 0, {I(0x123456)}), E + "FRVB(86,52,18)");
  EXPECT_EQ(Text("DESSIN_bgFond", 0, {I(0x000001)}), E + "FRVB(1,0,0)");
  EXPECT_EQ(Text("DESSIN_bgFond", 0, {I(0xFFFFFE)}), E + "FRVB(254,255,255)");
  EXPECT_EQ(Text("DESSIN_bgFond", 0, {I(0xC0C0C1)}), E + "FRVB(193,192,192)");
  EXPECT_EQ(Text("DESSIN_bgFond", 0, {I(-3)}), E + "FRVB(253,255,255)");
  EXPECT_EQ(Text("DESSIN_bgFond", 0, {I(0x01000000)}), E + "FRVB(0,0,0)");
}

TEST_F(DrawingTest, BackgroundAndPenTakeAColourOrATextAsItStands) {
  EXPECT_EQ(Text("DESSIN_bgFond", 1, {T("hatch(3)")}), E + "Fhatch(3)");
  EXPECT_EQ(Text("DESSIN_bgStylo", 1, {T("W2")}), E + "TW2");
  // A host that passes no text gets the command without one.
  EXPECT_EQ(Text("DESSIN_bgStylo", 1, {Argument::NullText()}), E + "T");
  ExpectNoResult("DESSIN_bgFond", 2, {I(0)});
  ExpectNoResult("DESSIN_bgStylo", -1, {I(0)});
}

TEST_F(DrawingTest, LinkIsWholeOrEmpty) {
  EXPECT_EQ(Text("DESSIN_bgLien", 0, {T("page2")}), E + "Kpage2" + E + "K");
  // "page2" and the four command bytes and the zero: 10 bytes fit exactly.
  CallOutcome fits = Draw("DESSIN_bgLien", 0, {T("page2")}, ResultArea{kResultText, 10});
  EXPECT_EQ(fits.returned, 1);
  EXPECT_EQ(fits.resultBytes, E + "Kpage2" + E + "K");
  EXPECT_TRUE(fits.terminated);
  // One byte less gives an empty result rather than a cut link.
  CallOutcome tooSmall = Draw("DESSIN_bgLien", 0, {T("page2")}, ResultArea{kResultText, 9});
  EXPECT_EQ(tooSmall.returned, 1);
  EXPECT_EQ(tooSmall.resultType, kResultText);
  EXPECT_EQ(tooSmall.resultLength, 0u);
  EXPECT_TRUE(tooSmall.terminated);
  ExpectNoResult("DESSIN_bgLien", 1, {T("page2")});
  ExpectNoResult("DESSIN_bgLien", 0, {T("page2")}, kResultInt);
}

TEST_F(DrawingTest, ImageByNameOrByNumbers) {
  EXPECT_EQ(Text("DESSIN_bgImage", 0, {T("logo.bmp")}), E + "BNlogo.bmp[]");
  EXPECT_EQ(Text("DESSIN_bgImage", 1, {I(3), I(-4)}), E + "B3[-4]");
  ExpectNoResult("DESSIN_bgImage", 2, {I(3), I(4)});
}

TEST_F(DrawingTest, DrawingPoint) {
  EXPECT_EQ(Text("DESSIN_bgCoord", 0, {I(5), I(7)}), E + "X5" + E + "Y0007");
  EXPECT_EQ(Text("DESSIN_bgCoord", 0, {I(-5), I(-7)}), E + "X-5" + E + "Y-007");
  EXPECT_EQ(Text("DESSIN_bgCoord", 0, {I(12345), I(12345)}), E + "X12345" + E + "Y12345");
  EXPECT_EQ(Text("DESSIN_bgCoord", 1, {I(5), I(7)}), E + "Y0007");
  EXPECT_EQ(Text("DESSIN_bgCoord", 2, {I(5), I(7)}), E + "X0005");
  EXPECT_EQ(Text("DESSIN_bgCoord", 3, {}), "");
  ExpectNoResult("DESSIN_bgCoord", 4, {I(5), I(7)});
}

TEST_F(DrawingTest, FramedFields) {
  EXPECT_EQ(Text("DESSIN_bgCadrage", 0, {T("G"), T("Total")}),
            E + "CGV(" + RS + "Total" + RS + ")");
  EXPECT_EQ(Text("DESSIN_bgCadrage", 1, {T("G"), T("Total"), I(12)}),
            E + "CGV(" + RS + "Total" + RS + ",12)");
  EXPECT_EQ(Text("DESSIN_bgCadrage", 2, {T("D"), T("x"), I(-1), I(9)}),
            E + "CDV(" + RS + "x" + RS + ",-1,,9)");
  ExpectNoResult("DESSIN_bgCadrage", 3, {T("G"), T("Total")});
}

TEST_F(DrawingTest, ValueToFetch) {
  EXPECT_EQ(Text("DESSIN_bgARecuperer", 0, {T("price")}), E + "Vprice" + E + "V");
  ExpectNoResult("DESSIN_bgARecuperer", 1, {T("price")});
}

TEST_F(DrawingTest, LongTextsAreNotLimitedByAnInnerBuffer) {
  const std::string name(2000, 'n');
  CallOutcome outcome = Draw("DESSIN_bgARecuperer", 0, {T(name)}, ResultArea{kResultText, 4096});
  EXPECT_EQ(outcome.returned, 1);
  EXPECT_EQ(outcome.resultBytes, E + "V" + name + E + "V");
}

TEST_F(DrawingTest, ResultIsCutToTheCapacityWithItsZeroInside) {
  const std::string full = E + "R(10,-20,30,40)";
  for (uint32_t capacity : {0u, 1u, 2u, 5u, 15u, 16u, 17u}) {
    CallOutcome outcome = Draw("DESSIN_bgRectangle", 4, kFour, ResultArea{kResultText, capacity});
    EXPECT_EQ(outcome.returned, 1) << capacity;
    size_t kept = capacity == 0 ? 0 : std::min<size_t>(full.size(), capacity - 1);
    EXPECT_EQ(outcome.resultLength, kept) << capacity;
    EXPECT_EQ(outcome.resultBytes, full.substr(0, kept)) << capacity;
    if (capacity > 0) {
      EXPECT_TRUE(outcome.terminated) << capacity;
    }
  }
}

TEST_F(DrawingTest, TextResultNeedsATextOrAnyPresetType) {
  for (uint8_t preset : {uint8_t{0}, uint8_t{2}, uint8_t{3}, uint8_t{7}, uint8_t{11}}) {
    ExpectNoResult("DESSIN_bgRectangle", 0, {}, preset);
    ExpectNoResult("DESSIN_bgCoord", 3, {}, preset);
  }
  for (uint8_t preset : {uint8_t{9}, uint8_t{10}}) {
    CallOutcome outcome = Draw("DESSIN_bgRectangle", 0, {}, ResultArea{preset, 64});
    EXPECT_EQ(outcome.returned, 1);
    EXPECT_EQ(outcome.resultType, kResultText);
    EXPECT_EQ(outcome.resultBytes, E + "R(,,,)");
  }
}

TEST_F(DrawingTest, ColourFromComponentsIsAnIntegerResult) {
  CallOutcome outcome = Draw("DESSIN_bRVB", 0, {I(1), I(2), I(3)}, ResultArea{kResultInt, 64});
  EXPECT_EQ(outcome.returned, 1);
  EXPECT_EQ(outcome.resultType, kResultInt);
  EXPECT_EQ(outcome.resultLength, 4u);
  EXPECT_EQ(outcome.Integer(), 0x030201);
  for (uint8_t preset : {uint8_t{9}, uint8_t{10}}) {
    CallOutcome any = Draw("DESSIN_bRVB", 0, {I(255), I(255), I(255)}, ResultArea{preset, 4});
    EXPECT_EQ(any.returned, 1);
    EXPECT_EQ(any.resultType, kResultInt);
    EXPECT_EQ(any.Integer(), 0xFFFFFF);
  }
  ExpectNoResult("DESSIN_bRVB", 0, {I(1), I(2), I(3)}, kResultText);
  ExpectNoResult("DESSIN_bRVB", 1, {I(1), I(2), I(3)}, kResultInt);
  // A buffer that cannot hold the integer is not written.
  CallOutcome small = Draw("DESSIN_bRVB", 0, {I(1), I(2), I(3)}, ResultArea{kResultInt, 3});
  EXPECT_EQ(small.returned, 0);
  EXPECT_EQ(small.resultLength, 0u);
}

}  // namespace
}  // namespace chartprotocol
