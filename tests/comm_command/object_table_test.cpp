// kvcomm's table of identifiers on its own (this executable's copy, apart
// from the one inside the loaded library): identifiers per instance and
// kind, lists that run from the most recent entry, and the table's limit.
#include "comm/objects/object_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

namespace {

using kv::comm::ListedObject;
using kv::comm::ObjectKind;

std::vector<int32_t> Ids(const std::vector<ListedObject>& list) {
  std::vector<int32_t> ids;
  for (const ListedObject& entry : list) ids.push_back(entry.id);
  return ids;
}

TEST(ObjectTable, KindsAndInstancesStayApartAndListsRunFromTheMostRecent) {
  int first = 0, second = 0;
  int server = 0, connection = 0, session = 0, foreign = 0;
  const int32_t s = kv::comm::RegisterObject(&first, ObjectKind::kServer, &server);
  const int32_t c = kv::comm::RegisterObject(&first, ObjectKind::kConnection, &connection);
  const int32_t m = kv::comm::RegisterObject(&first, ObjectKind::kMailSession, &session);
  const int32_t f = kv::comm::RegisterObject(&second, ObjectKind::kServer, &foreign);
  EXPECT_EQ(std::set<int32_t>({s, c, m, f}).size(), 4u);
  EXPECT_EQ(std::set<int32_t>({s, c, m, f}).count(0), 0u);
  EXPECT_EQ(kv::comm::RegisterObject(&first, ObjectKind::kServer, nullptr), 0);

  EXPECT_EQ(kv::comm::FindObject(&first, s, ObjectKind::kServer), &server);
  EXPECT_EQ(kv::comm::FindObject(&first, s, ObjectKind::kConnection), nullptr);
  EXPECT_EQ(kv::comm::FindObject(&second, s, ObjectKind::kServer), nullptr);
  ObjectKind kind = ObjectKind::kServer;
  ASSERT_TRUE(kv::comm::KindOf(&first, m, kind));
  EXPECT_EQ(kind, ObjectKind::kMailSession);
  EXPECT_FALSE(kv::comm::KindOf(&first, f, kind));

  EXPECT_EQ(Ids(kv::comm::ObjectsOf(&first)), (std::vector<int32_t>{m, c, s}));
  EXPECT_EQ(Ids(kv::comm::ObjectsOf(&first, ObjectKind::kConnection)), std::vector<int32_t>{c});
  // The wrong kind takes nothing out.
  EXPECT_EQ(kv::comm::RemoveObject(&first, c, ObjectKind::kServer), nullptr);
  EXPECT_EQ(kv::comm::RemoveObject(&second, c, ObjectKind::kConnection), nullptr);
  EXPECT_EQ(kv::comm::RemoveObject(&first, c, ObjectKind::kConnection), &connection);
  EXPECT_EQ(kv::comm::FindObject(&first, c, ObjectKind::kConnection), nullptr);
  const int32_t later = kv::comm::RegisterObject(&first, ObjectKind::kConnection, &connection);
  EXPECT_NE(later, c) << "a closed object's identifier named the next one";

  const std::vector<ListedObject> closing = kv::comm::RemoveObjectsOf(&first);
  EXPECT_EQ(Ids(closing), (std::vector<int32_t>{later, m, s}));
  ASSERT_EQ(closing.size(), 3u);
  EXPECT_EQ(closing[0].kind, ObjectKind::kConnection);
  EXPECT_EQ(closing[2].object, &server);
  EXPECT_TRUE(kv::comm::ObjectsOf(&first).empty());
  EXPECT_EQ(Ids(kv::comm::ObjectsOf(&second)), std::vector<int32_t>{f});
  EXPECT_EQ(Ids(kv::comm::RemoveObjectsOf(&second, ObjectKind::kServer)), std::vector<int32_t>{f});
}

TEST(ObjectTable, FullAtItsLimitAndOpenAgainOnceAnEntryIsClosed) {
  int instance = 0, object = 0;
  std::vector<int32_t> ids;
  for (size_t i = 0; i <= kv::comm::kMostObjects; ++i) {
    const int32_t id = kv::comm::RegisterObject(&instance, ObjectKind::kServer, &object);
    if (id == 0) break;
    ids.push_back(id);
  }
  EXPECT_EQ(ids.size(), kv::comm::kMostObjects);
  EXPECT_EQ(std::set<int32_t>(ids.begin(), ids.end()).size(), ids.size());
  EXPECT_EQ(kv::comm::RegisterObject(&instance, ObjectKind::kServer, &object), 0)
      << "past the limit";
  ASSERT_EQ(kv::comm::RemoveObject(&instance, ids[10], ObjectKind::kServer), &object);
  const int32_t again = kv::comm::RegisterObject(&instance, ObjectKind::kServer, &object);
  EXPECT_NE(again, 0);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), again), 0) << "an identifier in use or just closed";
  EXPECT_EQ(kv::comm::RemoveObjectsOf(&instance).size(), kv::comm::kMostObjects);
}

}  // namespace
