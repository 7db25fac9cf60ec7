// kvcomm's threads may each own an instance: sessions opened and read from
// several threads at once keep to their own instance and messages.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/comm_mail/mail_fixture.h"
#include "tests/comm_mail/sample_messages.h"

namespace {

using mailtest::MailTest;

TEST_F(MailTest, InstancesOnSeveralThreadsReadTheMailboxEachInFull) {
  constexpr int kMessages = 12, kThreads = 4;
  for (int i = 0; i < kMessages; ++i) {
    Place(std::to_string(1700000000 + i) + ".M1P1Q" + std::to_string(i) + ".test",
          i % 3 == 0 ? mailtest::MultipartWithAttachments() : mailtest::kPlain);
  }
  std::atomic<int> failures{0};
  std::vector<int> counts(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::vector<char> block(KV_EMAIL_MESSAGE_SIZE);
      CommRecord record{};
      kv::comm::InitEmailState(record, block.data());
      CommInstanceContext instance{};
      instance.record = &record;
      const int32_t session =
          commtest::Call(NET_bEMailOuvreSession, &instance, 0, {commtest::Text{"Test"}}).Integer();
      if (session == 0) {
        ++failures;
        return;
      }
      // The plain filter walks every message, read or not, so each thread
      // sees them all whatever the others marked.
      bool more = commtest::Call(NET_bEMailLitPremier, &instance, 0, {session}).Boolean() == 1;
      while (more && record.email.out == 0) {
        if (record.email.attachCount == 2 && !std::filesystem::exists(record.email.attach[0]))
          ++failures;
        ++counts[static_cast<size_t>(t)];
        more = commtest::Call(NET_bEMailLitSuivant, &instance, 0, {session}).Boolean() == 1;
      }
      if (!more) ++failures;
      // Another instance's session is not this one's.
      kv::comm::CloseMailSessions(&instance);
      if (commtest::Call(NET_bEMailLitPremier, &instance, 0, {session}).Boolean() != 0) ++failures;
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  for (int count : counts) EXPECT_EQ(count, kMessages);
}

}  // namespace
