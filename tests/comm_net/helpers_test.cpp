// The socket helpers: the service start and end, address look-ups, the
// French error texts byte for byte, the error message box.
#include <gtest/gtest.h>

#include <set>

#include "platform/ui/message_box.h"
#include "tests/comm_net/service_support.h"

namespace {

using kvnettest::LocalPin;

TEST(Helpers, ServiceStartAndEndAreCounted) {
  const int before = kvp::WSAStartupCount();
  EXPECT_EQ(nInitWinSock(), 0);
  EXPECT_EQ(kvp::WSAStartupCount(), before + 1);
  EXPECT_EQ(nEndWinSock(), 0);
  EXPECT_EQ(nEndWinSock(), kvp::SOCKET_ERROR);
  EXPECT_EQ(kvp::WSAGetLastError(), kvp::WSANOTINITIALISED);
  EXPECT_EQ(hLoadWinSock(), -1);
  FreeWinSock();
  EXPECT_EQ(kvp::WSAStartupCount(), before);
}

TEST(Helpers, AddressesOfNamesAndOfTheLocalHost) {
  char buffer[16];
  ASSERT_NE(pszAdresseIP(buffer, "localhost", 0), nullptr);
  EXPECT_STREQ(buffer, "127.0.0.1");
  EXPECT_EQ(pszAdresseIP(buffer, "127.0.0.200", 0), buffer);
  EXPECT_STREQ(buffer, "127.0.0.200");
  EXPECT_EQ(pszAdresseIP(buffer, "localhost", 1), nullptr);
  EXPECT_EQ(pszAdresseIP(buffer, "localhost", -1), nullptr);
  EXPECT_EQ(pszAdresseIP(buffer, "no-such-host.invalid", 0), nullptr);
  EXPECT_EQ(pszAdresseIP(buffer, nullptr, 0), nullptr);
  {
    LocalPin pin("127.0.0.5,127.0.0.6");
    ASSERT_NE(pszAdresseIPLocale(buffer, 1), nullptr);
    EXPECT_STREQ(buffer, "127.0.0.6");
    EXPECT_EQ(pszAdresseIPLocale(buffer, 2), nullptr);
  }
  char name[256];
  ASSERT_EQ(pszNomLocal(name), name);
  EXPECT_GT(std::strlen(name), 0u);
  EXPECT_EQ(kvp::WSAStartupCount(), 0);  // every helper ended what it started
}

TEST(Helpers, LocalNameAndAddressOfAnEnd) {
  kvnettest::Session session;
  LocalPin pin("127.0.0.77");
  clSERVER server(nullptr, 1, 0);
  char text[256];
  // Read on demand, without nInit.
  ASSERT_NE(server.pszGetIPAddress(text), nullptr);
  EXPECT_STREQ(text, "127.0.0.77");
  char expected[256];
  ASSERT_NE(pszNomLocal(expected), nullptr);
  ASSERT_NE(server.pszGetLocalName(text), nullptr);
  EXPECT_STREQ(text, expected);
  EXPECT_EQ(server.pszGetLocalName(nullptr), nullptr);
}

TEST(Helpers, ErrorTextsByteForByte) {
  char buffer[128];
  EXPECT_STREQ(szTranslateError(buffer, 10061),
               "Connexion refus\xE9"
               "e");
  EXPECT_STREQ(szTranslateError(buffer, 10054),
               "Connexion R\xE9initialis\xE9"
               "e par l'autre partie");
  EXPECT_STREQ(szTranslateError(buffer, 10060), "D\xE9lai de connexion d\xE9pass\xE9");
  EXPECT_STREQ(szTranslateError(buffer, 10022), "WSAEINVAL");
  EXPECT_STREQ(szTranslateError(buffer, 10091), "Le syst\xE8me de r\xE9seau n'est pas pr\xEAt");
  EXPECT_STREQ(szTranslateError(buffer, 11001), "Authoritative Answer Host not found");
  EXPECT_STREQ(szTranslateError(buffer, 12001),
               "Cr\xE9"
               "ation de l'objet socket impossible : Probl\xE8me m\xE9moire");
  EXPECT_STREQ(szTranslateError(buffer, 16006),
               "Impossible de cr\xE9"
               "er la socket d'\xE9"
               "coute (Serveur) ou locale (Client)");
  EXPECT_STREQ(szTranslateError(buffer, 16007), "Communication KV impossible");
  EXPECT_STREQ(szTranslateError(buffer, 18001), "Erreur n\xB0 18001");
  EXPECT_STREQ(szTranslateError(buffer, -2147483647 - 1), "Erreur n\xB0 -2147483648");
  EXPECT_STREQ(szTranslateError(buffer, 0), "Erreur n\xB0 0");
  EXPECT_EQ(szTranslateError(nullptr, 1), nullptr);
}

TEST(Helpers, EveryTabledCodeHasItsOwnText) {
  const int codes[] = {10004, 10014, 10022, 10024, 10035, 10036, 10038, 10039, 10040, 10041, 10043,
                       10044, 10045, 10047, 10048, 10049, 10050, 10051, 10052, 10053, 10054, 10055,
                       10056, 10057, 10058, 10060, 10061, 10091, 10092, 10093, 11001, 11002, 11003,
                       11004, 12001, 16001, 16002, 16003, 16004, 16005, 16006, 16007};
  std::set<std::string> texts;
  for (int code : codes) {
    char buffer[128];
    const std::string text = szTranslateError(buffer, code);
    EXPECT_NE(text.rfind("Erreur n\xB0", 0), 0u) << code;
    EXPECT_LT(text.size(), 100u);
    texts.insert(text);
  }
  EXPECT_EQ(texts.size(), std::size(codes));
  // Neighbours without a text of their own get the numbered form.
  char buffer[128];
  for (int code : {10037, 10042, 10046, 10059, 10062, 11000, 16000, 16008, 18002})
    EXPECT_EQ(std::string(szTranslateError(buffer, code)), "Erreur n\xB0 " + std::to_string(code));
}

struct SeenBox {
  std::string text;
  std::string caption;
  unsigned type = 99;
  void* owner = nullptr;
};

int RecordBox(void* owner, const char* text, const char* caption, unsigned type, void* context) {
  SeenBox* seen = static_cast<SeenBox*>(context);
  seen->text = text;
  seen->caption = caption != nullptr ? caption : "<null>";
  seen->type = type;
  seen->owner = owner;
  return kvp::IDOK;
}

TEST(Helpers, DisplayLastErrorShowsTheTextOfThePlatformsError) {
  SeenBox seen;
  kvp::SetMessageBoxHook(RecordBox, &seen);
  int window = 0;
  kvp::WSASetLastError(kvp::WSAETIMEDOUT);
  DisplayLastError(&window, "Connexion");
  kvp::SetMessageBoxHook(nullptr, nullptr);
  EXPECT_EQ(seen.text, "D\xE9lai de connexion d\xE9pass\xE9");
  EXPECT_EQ(seen.caption, "Connexion");
  EXPECT_EQ(seen.type, kvp::MB_OK);
  EXPECT_EQ(seen.owner, &window);
}

}  // namespace
