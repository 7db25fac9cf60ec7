// Every language function called many times with random syntaxes and
// arguments, the hostile values a program or a careless host may pass among
// them: no crash (the suite also runs under AddressSanitizer and
// UndefinedBehaviorSanitizer), no call that grows memory without bound, and
// after command 2 no global block and no graphic object left.
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>

#include "tests/chart_model/chart_fixture.h"

namespace charttest {
namespace {

class RandomCalls : public ChartTest, public ::testing::WithParamInterface<unsigned> {
 protected:
  std::mt19937 random_;

  int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }
  bool Chance(int percent) { return Pick(100) < percent; }

  int32_t RandomInt() {
    static const int32_t kEdges[] = {0,
                                     1,
                                     -1,
                                     2,
                                     3,
                                     5,
                                     8,
                                     16,
                                     100,
                                     999,
                                     1000,
                                     1001,
                                     9999,
                                     10000,
                                     10001,
                                     32767,
                                     32768,
                                     65535,
                                     65536,
                                     -32768,
                                     -65536,
                                     std::numeric_limits<int32_t>::max(),
                                     std::numeric_limits<int32_t>::min()};
    // Large numbers are rare, so that the values written stay within memory.
    if (Chance(8)) return kEdges[Pick(static_cast<int>(std::size(kEdges)))];
    return std::uniform_int_distribution<int32_t>(-3, 12)(random_);
  }

  double RandomDouble() {
    static const double kEdges[] = {0.0,
                                    -0.0,
                                    std::numeric_limits<double>::quiet_NaN(),
                                    std::numeric_limits<double>::infinity(),
                                    -std::numeric_limits<double>::infinity(),
                                    std::numeric_limits<double>::max(),
                                    std::numeric_limits<double>::lowest(),
                                    std::numeric_limits<double>::denorm_min()};
    if (Chance(10)) return kEdges[Pick(static_cast<int>(std::size(kEdges)))];
    return std::uniform_real_distribution<double>(-1e6, 1e6)(random_);
  }

  Argument RandomText(bool isName) {
    static const char* kNames[] = {"a", "B", "chart", "CHART", "\xE9t\xE9", ""};
    if (Chance(3)) return Argument::NullText();
    if (isName) return Argument::Text(kNames[Pick(static_cast<int>(std::size(kNames)))]);
    if (Chance(5)) return Argument::Text(std::string(static_cast<size_t>(Pick(2000)), 'x'));
    std::string text;
    for (int i = Pick(12); i > 0; --i) text.push_back(static_cast<char>(1 + Pick(255)));
    return Argument::Text(text);
  }

  Argument RandomArgument(uint16_t type, bool isName) {
    switch (type) {
      case kArgInt:
      case kArgIntAlt:
        return Argument::Int(RandomInt());
      case kArgDouble:
        return Argument::Double(RandomDouble());
      case kArgText:
      case kArgTextAlt:
        return RandomText(isName);
      case kArgField: {
        FieldReference field{};
        field.deviceContext = reinterpret_cast<void*>(static_cast<uintptr_t>(random_()));
        field.window = reinterpret_cast<void*>(static_cast<uintptr_t>(random_()));
        return Argument::Field(field);
      }
      default:
        return Argument::Window(reinterpret_cast<void*>(static_cast<uintptr_t>(random_())));
    }
  }

  // One call of a random function: usually with a syntax it declares and
  // arguments of the declared types, sometimes with a syntax it does not.
  void CallOne() {
    const FunctionEntry& entry =
        library_.description().functions[Pick(library_.description().functionCount)];
    if (Chance(5)) {
      const int16_t syntax = Chance(50) ? static_cast<int16_t>(entry.syntaxCount + Pick(4))
                                        : static_cast<int16_t>(-1 - Pick(40000));
      const CallOutcome outcome =
          library_.CallDirect(entry.function, syntax, {}, kvhost::ResultArea{});
      EXPECT_EQ(outcome.returned, 0) << entry.englishName << " syntax " << syntax;
      EXPECT_FALSE(outcome.reported) << entry.englishName;
      return;
    }
    const int16_t syntax = static_cast<int16_t>(Pick(entry.syntaxCount));
    const SyntaxDescriptor& descriptor = entry.syntaxes[syntax];
    // Chart functions take the name first; grCréePolice does not.
    const bool takesName = descriptor.parameters[0].type == kArgText;
    std::vector<Argument> arguments;
    for (int k = 0; k < descriptor.parameterCount; ++k) {
      arguments.push_back(RandomArgument(descriptor.parameters[k].type, takesName && k == 0));
    }
    std::string mismatch;
    const std::optional<CallOutcome> outcome =
        library_.CallByName(entry.englishName, syntax, arguments, std::nullopt, &mismatch);
    ASSERT_TRUE(outcome) << mismatch;
    EXPECT_TRUE(outcome->returned == 0 || outcome->returned == 1) << entry.englishName;
    // A failure either comes with a complete report or with none at all.
    if (outcome->returned == 1) {
      EXPECT_FALSE(outcome->reported) << entry.englishName;
    } else if (outcome->reported) {
      EXPECT_EQ(outcome->errorTextCount, 2) << entry.englishName;
      EXPECT_EQ(outcome->errorMessage, outcome->errorRecordMessage);
      EXPECT_FALSE(outcome->englishText.empty()) << entry.englishName;
    }
  }
};

TEST_P(RandomCalls, NoCrashNoLeak) {
  random_.seed(GetParam());
  SCOPED_TRACE("seed " + std::to_string(GetParam()));
  const auto* grCreate = library_.FindFunction("grCreate");
  ASSERT_NE(grCreate, nullptr);
  for (int round = 0; round < 3; ++round) {
    for (int call = 0; call < 1500 && !HasFatalFailure(); ++call) {
      // Charts are made often so that most calls find one.
      if (Chance(10)) {
        Call("grCreate", 0, {RandomText(true), Argument::Int(RandomInt())});
      } else if (Chance(2)) {
        ASSERT_TRUE(library_.SetLanguage(static_cast<uint32_t>(Pick(3))));
      } else {
        CallOne();
      }
    }
    // Each round ends the instance and checks that it took everything with it.
    ASSERT_TRUE(library_.DestroyInstance());
    EXPECT_EQ(kvp::GlobalLiveBlocks(), blocksBefore_) << "round " << round;
    EXPECT_EQ(kvp::GdiLiveObjects(), objectsBefore_) << "round " << round;
    ASSERT_TRUE(library_.CreateInstance());
  }
}

// A few fixed seeds keep failures reproducible; KV_CHART_SEED adds one.
std::vector<unsigned> Seeds() {
  std::vector<unsigned> seeds = {1, 2, 3, 20240611};
  if (const char* extra = std::getenv("KV_CHART_SEED")) {
    seeds.push_back(static_cast<unsigned>(std::strtoul(extra, nullptr, 10)));
  }
  return seeds;
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomCalls, ::testing::ValuesIn(Seeds()));

}  // namespace
}  // namespace charttest
