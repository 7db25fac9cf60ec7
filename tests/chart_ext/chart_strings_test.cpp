// Every message of the chart library in both languages, as the host shows
// it, and the menu texts' numbering beside them.
#include "chart/command/chart_strings.h"

#include <gtest/gtest.h>

#include "tests/support/cp1252.h"

namespace {

using kv::chart::ChartStrings;

TEST(ChartStrings, MessagesInFrenchAndEnglish) {
  struct Message {
    uint32_t number;
    const char* french;  // UTF-8
    const char* english;
  };
  const Message messages[] = {
      {1, "Destination non définie ", "No destination"},
      {2, "Données incorrecte pour ce type de graphe", "Incorrect data"},
      {3, "Paramètre incorrect", "Incorrect parameter"},
      {4, "Dépassement de capacité des données du graphe", "Graph data overflow"},
      {50, "Graphe non créé, utilisez GrCrée", "Uncreated Graph, use GrCreate"},
      {51, "Police non créée , utilisez GrCréePolice", "Uncreated Font , use GrCreateFont"},
  };
  for (const Message& message : messages) {
    EXPECT_EQ(ChartStrings().Find(message.number), kvtest::Cp1252(message.french))
        << message.number;
    EXPECT_EQ(ChartStrings().Find(message.number + 10000), message.english) << message.number;
  }
  EXPECT_EQ(kv::chart::MessageStrings().size(), 2 * std::size(messages));
  // Numbers between the messages have no text.
  for (uint32_t number : {0u, 5u, 49u, 52u, 10000u, 10005u}) {
    EXPECT_EQ(ChartStrings().Find(number), "") << number;
  }
}

TEST(ChartStrings, MenuTextsJoinTheMessagesWithoutReplacingThem) {
  // The menu texts are numbered 101..120 (French) and 10101..10120 (English).
  for (uint32_t number = 101; number <= 120; ++number) {
    EXPECT_FALSE(ChartStrings().Find(number).empty()) << number;
    EXPECT_FALSE(ChartStrings().Find(number + 10000).empty()) << number;
  }
  EXPECT_EQ(ChartStrings().size(), kv::chart::MessageStrings().size() + 40);
}

}  // namespace
