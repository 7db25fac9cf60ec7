// The network language functions through the harness, by their French and
// English names: servers started and connected on loopback, remote calls,
// file transfers with progress, directory and drive lists, and what an
// unknown or wrong-kind identifier gives.
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/ui/window.h"
#include "tests/comm_command/comm_fixture.h"

namespace commcmd {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

using NetFunctions = CommTest;

TEST_F(NetFunctions, AddressesAndMachineName) {
  EXPECT_EQ(Text("NetIPAddress", 2, {T("localhost")}), "127.0.0.1");
  EXPECT_EQ(Text("NetAdresseIP", 3, {T("127.0.0.1"), I(0)}), "127.0.0.1");
  EXPECT_EQ(Text("NetIPAddress", 3, {T("127.0.0.1"), I(7)}), "") << "no eighth address";
  EXPECT_EQ(Text("NetIPAddress", 3, {T("127.0.0.1"), I(-1)}), "");
  char host[256] = {};
  ASSERT_EQ(::gethostname(host, sizeof host), 0);
  EXPECT_EQ(Text("NetNomMachine", 0, {}), host);
  EXPECT_EQ(Text("NetMachineName", 0, {}, 3), std::string(host).substr(0, 2)) << "cut to room";
  // The local address is one of this machine's (whatever it is), or empty.
  const std::string local = Text("NetIPAddress", 0, {});
  EXPECT_EQ(local, Text("NetIPAddress", 1, {I(0)}));
}

TEST_F(NetFunctions, WholeSessionByFrenchNames) {
  const int32_t callPort = FreePort();
  const int32_t filePort = FreePort();
  const int32_t callServer = Call(
                                 "NetD\xe9"
                                 "marreServeur",
                                 2, {I(0), I(0), I(callPort)})
                                 .Integer();
  const int32_t fileServer = Call(
                                 "NetD\xe9"
                                 "marreServeur",
                                 2, {I(1), I(0), I(filePort)})
                                 .Integer();
  ASSERT_NE(callServer, 0);
  ASSERT_NE(fileServer, 0);
  EXPECT_NE(callServer, fileServer);
  EXPECT_TRUE(Listening(callPort));
  const int32_t rpc = Connect(0, callPort, "NetConnecte");
  const int32_t ftp = Connect(1, filePort, "NetConnecte");
  ASSERT_NE(rpc, 0);
  ASSERT_NE(ftp, 0);

  answer_ = kvp::IDNO;
  CallOutcome box =
      Call("NetMessageBoxDistant", 0, {I(rpc), T("Continuer ?"), T("Question"), I(4)});
  EXPECT_EQ(box.returned, 1);
  EXPECT_EQ(box.Integer(), kvp::IDNO);
  std::vector<Box> boxes = Boxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().text, "Continuer ?");
  EXPECT_EQ(boxes.back().caption, "Question");
  EXPECT_EQ(boxes.back().type, 4u);
  // The file server's connection carries remote calls too.
  EXPECT_EQ(Call("NetMessageBoxDistant", 0, {I(ftp), T("b"), T("c"), I(0)}).Integer(), kvp::IDNO);

  EXPECT_EQ(Call("NetEnvoieMessage", 1, {I(rpc), T("KV_DEMO_MESSAGE")}).returned, 1);
  EXPECT_EQ(Call("NetEnvoieMessage", 4, {I(rpc), I(0x0400), I(1), I(2)}).returned, 1);
  CallOutcome buffer = Call("NetEnvoieBuffer", 1,
                            {I(rpc),
                             T("donn\xe9"
                               "es"),
                             I(77)});
  EXPECT_EQ(buffer.returned, 1);
  EXPECT_EQ(buffer.resultType, 3);
  EXPECT_EQ(buffer.resultLength, 2u);
  EXPECT_EQ(buffer.Boolean(), 1);
  // The program runs on the server's machine (here: this one).
  const std::string ran = dir_.File("ran");
  EXPECT_EQ(Call("NetEx\xe9"
                 "cute",
                 0, {I(rpc), T("/usr/bin/touch " + ran)})
                .returned,
            1);
  for (int i = 0; i < 200 && !fs::exists(ran); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(fs::exists(ran)) << "NetExecute started nothing";

  EXPECT_EQ(Call("NetD\xe9"
                 "connecte",
                 0, {I(rpc)})
                .returned,
            1);
  EXPECT_EQ(Call("NetD\xe9"
                 "connecte",
                 0, {I(rpc)})
                .returned,
            0)
      << "already closed";
  EXPECT_EQ(Call("NetFinServeur", 0, {I(callServer)}).Boolean(), 1);
  EXPECT_FALSE(Listening(callPort));
  EXPECT_EQ(Call("NetFinServeur", 0, {I(callServer)}).Boolean(), 0) << "already stopped";
  EXPECT_TRUE(Listening(filePort)) << "the other server goes on";
}

TEST_F(NetFunctions, FilesBothWaysWithProgressByEnglishNames) {
  const int32_t port = FreePort();
  const int32_t server = StartServer(1, port);
  ASSERT_NE(server, 0);
  const int32_t ftp = Connect(1, port);
  ASSERT_NE(ftp, 0);
  struct Notices {
    std::mutex mutex;
    std::vector<std::pair<unsigned, int>> seen;  // message, finished
  } notices;
  using Observer = void (*)(void*, unsigned, int64_t, int64_t, int);
  using SetObserver = void (*)(Observer, void*);
  auto set = reinterpret_cast<SetObserver>(library_.Symbol("KVRPC_SetTransferObserver"));
  ASSERT_NE(set, nullptr);
  set(
      [](void* context, unsigned message, int64_t, int64_t, int finished) {
        auto* n = static_cast<Notices*>(context);
        std::lock_guard<std::mutex> guard(n->mutex);
        n->seen.push_back({message, finished});
      },
      &notices);

  std::string payload(300000, '\0');
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 7 + i / 251);
  std::ofstream(dir_.File("out.bin"), std::ios::binary) << payload;
  CallOutcome put =
      Call("NetSendFile", 1,
           {I(ftp), T(dir_.File("out.bin")), T(dir_.File("up.bin")), I(0x0C01), I(10)});
  EXPECT_EQ(put.Boolean(), 1);
  WaitTransfers();
  EXPECT_EQ(ReadFile(dir_.File("up.bin")), payload);

  CallOutcome get =
      Call("NetGetFile", 2,
           {I(ftp), T(dir_.File("up.bin")), T(dir_.File("back.bin")), T("KV_PROGRESS"), I(25)});
  EXPECT_EQ(get.Boolean(), 1);
  WaitTransfers();
  EXPECT_EQ(ReadFile(dir_.File("back.bin")), payload);
  EXPECT_EQ(
      Call("NetGetFile", 0, {I(ftp), T(dir_.File("up.bin")), T(dir_.File("plain.bin"))}).Boolean(),
      1);
  WaitTransfers();
  set(nullptr, nullptr);
  EXPECT_EQ(ReadFile(dir_.File("plain.bin")), payload);

  std::lock_guard<std::mutex> guard(notices.mutex);
  size_t putNotices = 0, getNotices = 0, completed = 0;
  const unsigned registered = kvp::RegisterWindowMessageA("KV_PROGRESS");
  for (const auto& [message, finished] : notices.seen) {
    if (finished == 0 && message == 0x0C01) ++putNotices;
    if (finished == 0 && message == registered) ++getNotices;
    if (finished == 1) ++completed;
  }
  EXPECT_GE(putNotices, 5u) << "every tenth at least";
  EXPECT_GE(getNotices, 2u);
  EXPECT_EQ(completed, 3u);
}

TEST_F(NetFunctions, DirectoryListsLocalAndRemote) {
  fs::create_directories(dir_.File("share/sub"));
  std::ofstream(dir_.File("share/small.txt")) << "abc";
  std::ofstream(dir_.File("share/big.dat")) << std::string(5000, 'x');
  std::ofstream(dir_.File("share/empty"));
  const std::string pattern = "C:\\share\\*.*";
  const std::string local = Text("NetListeRep", 0, {T(pattern)}, 4000);
  const size_t line = local.find("\r\n");
  ASSERT_NE(line, std::string::npos) << local;
  const std::string dirs = "\t" + local.substr(0, line) + "\t";
  const std::string files = "\t" + local.substr(line + 2) + "\t";
  EXPECT_NE(dirs.find("\tsub\t"), std::string::npos) << local;
  EXPECT_NE(files.find("\tsmall.txt/1\t"), std::string::npos) << local;
  EXPECT_NE(files.find("\tbig.dat/4\t"), std::string::npos) << local;
  EXPECT_NE(files.find("\tempty/0\t"), std::string::npos) << local;
  EXPECT_EQ(local.find('\\'), std::string::npos);
  EXPECT_EQ(Text("NetDirList", 0, {T("C:\\share\\*.none")}), "") << "nothing matches";

  const int32_t port = FreePort();
  ASSERT_NE(StartServer(0, port), 0);
  const int32_t rpc = Connect(0, port);
  ASSERT_NE(rpc, 0);
  EXPECT_EQ(Text("NetDirList", 1, {I(rpc), T(pattern)}, 4000), local);
  EXPECT_EQ(Text("NetDirList", 1, {I(rpc + 1000), T(pattern)}), "") << "unknown connection";
}

TEST_F(NetFunctions, DriveListLineLocalAndRemote) {
  EXPECT_EQ(Text("NetListeDisque", 0, {}), "C\t HD \r\n");
  const int32_t port = FreePort();
  ASSERT_NE(StartServer(0, port), 0);
  const int32_t rpc = Connect(0, port);
  ASSERT_NE(rpc, 0);
  EXPECT_EQ(Text("NetDiskList", 1, {I(rpc)}), "C\t HD \r\n");
  EXPECT_EQ(Text("NetDiskList", 1, {I(0)}), "");
}

// The directory list used to be written into its work buffer without a
// bound: a directory whose list is longer than 20000 bytes must come back
// cut after a whole entry, inside the buffer.
TEST_F(NetFunctions, LongDirectoryListStaysInsideTheWorkBuffer) {
  fs::create_directories(dir_.File("many"));
  const std::string stem(60, 'n');
  for (int i = 0; i < 600; ++i)
    std::ofstream(dir_.File("many/" + stem + std::to_string(1000 + i) + ".txt")) << "x";
  const std::string list = Text("NetDirList", 0, {T("C:\\many\\*.txt")}, 64000);
  ASSERT_FALSE(list.empty());
  EXPECT_LT(list.size(), 20000u);
  const size_t line = list.find("\r\n");
  ASSERT_NE(line, std::string::npos);
  std::stringstream files(list.substr(line + 2));
  std::string entry;
  size_t count = 0;
  while (std::getline(files, entry, '\t')) {
    EXPECT_EQ(entry.size(), stem.size() + 4 + 4 + 2) << "a whole entry: " << entry;
    EXPECT_EQ(entry.substr(entry.size() - 2), "/1");
    ++count;
  }
  EXPECT_GT(count, 200u);
  EXPECT_LT(count, 600u);
  // Remotely the same bound holds.
  const int32_t port = FreePort();
  ASSERT_NE(StartServer(0, port), 0);
  const int32_t rpc = Connect(0, port);
  ASSERT_NE(rpc, 0);
  EXPECT_EQ(Text("NetDirList", 1, {I(rpc), T("C:\\many\\*.txt")}, 64000), list);
}

// The drive list used to be written into the result buffer without a bound.
TEST_F(NetFunctions, DriveListStaysInsideTheResultBuffer) {
  std::string drives;
  for (char letter = 'C'; letter <= 'Z'; ++letter)
    drives += std::string(1, letter) + ":HD=" + dir_.path() + ";";
  ::setenv("KV_DRIVES", drives.c_str(), 1);
  const std::string whole = Text("NetDiskList", 0, {}, 1000);
  EXPECT_EQ(whole.size(), 24u * 8u);
  for (uint32_t capacity : {1u, 2u, 8u, 9u, 20u, 100u}) {
    const CallOutcome cut = Call("NetDiskList", 0, {}, capacity);  // checks the guard bytes
    EXPECT_EQ(cut.returned, 1);
    EXPECT_LE(cut.resultLength + 1, capacity);
    EXPECT_EQ(cut.resultLength % 8, 0u) << "whole lines only";
    EXPECT_EQ(cut.resultBytes, whole.substr(0, cut.resultLength));
  }
  const int32_t port = FreePort();
  ASSERT_NE(StartServer(0, port), 0);
  const int32_t rpc = Connect(0, port);
  ASSERT_NE(rpc, 0);
  const CallOutcome remote = Call("NetDiskList", 1, {I(rpc)}, 20);
  EXPECT_EQ(remote.resultBytes, whole.substr(0, 16));
}

// Identifiers are numbers of the instance's list, not addresses cut to 32
// bits: they are small, distinct, never shared between instances, and an
// identifier of one kind does nothing to an object of another.
TEST_F(NetFunctions, IdentifiersAreListNumbersCheckedByKindAndInstance) {
  const int32_t port = FreePort();
  const int32_t server = StartServer(0, port);
  const int32_t rpc = Connect(0, port);
  ASSERT_NE(server, 0);
  ASSERT_NE(rpc, 0);
  EXPECT_GT(server, 0);
  EXPECT_GT(rpc, server);
  EXPECT_LT(rpc - server, 100) << "numbers handed out in turn, not addresses";

  CallOutcome wrongKind = Call("NetEndServer", 0, {I(rpc)});
  EXPECT_EQ(wrongKind.returned, 0);
  EXPECT_EQ(wrongKind.resultType, 3);
  EXPECT_EQ(wrongKind.Boolean(), 0);
  EXPECT_TRUE(Listening(port)) << "a connection identifier stops nothing";
  EXPECT_EQ(Call("NetRemoteMessageBox", 0, {I(rpc), T("t"), T("c"), I(0)}).Integer(), kvp::IDYES)
      << "and the connection still works";
  EXPECT_EQ(Call("NetDisconnect", 0, {I(server)}).returned, 0);
  EXPECT_TRUE(Listening(port));
  EXPECT_EQ(Call("NetRemoteMessageBox", 0, {I(server), T("t"), T("c"), I(0)}).Integer(), 0);

  // A second instance of the library sees none of the first one's objects.
  kvhost::ExtensionLibrary other;
  std::string error;
  ASSERT_TRUE(other.Load("kvcomm.dll", error)) << error;
  ASSERT_TRUE(other.CreateInstance());
  ASSERT_TRUE(other.Describe());
  auto foreign = other.CallByName("NetEndServer", 0, {I(server)});
  ASSERT_TRUE(foreign.has_value());
  EXPECT_EQ(foreign->Boolean(), 0);
  EXPECT_TRUE(Listening(port));
  auto box = other.CallByName("NetRemoteMessageBox", 0, {I(rpc), T("t"), T("c"), I(0)});
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->Integer(), 0);
  other.Unload();
  EXPECT_TRUE(Listening(port));
}

// What a top-level window of the remote machine (here: one of this thread,
// pumped while a session thread of the server delivers) receives from
// NetSendMessage and NetSendBuffer.
struct Delivered {
  kvp::UINT message;
  kvp::WPARAM wParam;
  kvp::LPARAM lParam;
  uintptr_t dataWord;
  std::string bytes;
};
std::vector<Delivered> gDelivered;  // written by this thread's window only

kvp::LRESULT DeliveryProcedure(kvp::HWND window, kvp::UINT message, kvp::WPARAM wParam,
                               kvp::LPARAM lParam) {
  if (message == kvp::WM_COPYDATA) {
    const auto* data = reinterpret_cast<const kvp::COPYDATASTRUCT*>(lParam);
    gDelivered.push_back({message, wParam, 0, data->dwData,
                          std::string(static_cast<const char*>(data->lpData), data->cbData)});
    return 1;
  }
  if (message >= 0x0400) {
    gDelivered.push_back({message, wParam, lParam, 0, {}});
    return 0;
  }
  return kvp::DefWindowProcA(window, message, wParam, lParam);
}

// The message named by a text is the number the server registered for it,
// wparam and lparam are 0 unless given; the buffer is the text with its zero
// and its data word 0 unless given. Messages go first: a buffer holds the
// session until this thread takes it, and the message calls wait for their
// answers.
TEST_F(NetFunctions, MessagesAndBuffersReachTheTopLevelWindowsWithTheirDefaults) {
  gDelivered.clear();
  kvp::WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DeliveryProcedure;
  windowClass.lpszClassName = "CommDeliveryWindow";
  ASSERT_NE(kvp::RegisterClassA(&windowClass), 0);
  kvp::HWND window = kvp::CreateWindowExA(0, "CommDeliveryWindow", "delivery", 0, 0, 0, 50, 50,
                                          nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  const int32_t port = FreePort();
  ASSERT_NE(StartServer(0, port), 0);
  const int32_t rpc = Connect(0, port);
  ASSERT_NE(rpc, 0);
  EXPECT_EQ(Call("NetSendMessage", 1, {I(rpc), T("KV_LANGUAGE_NOTICE")}).returned, 1);
  EXPECT_EQ(Call("NetEnvoieMessage", 2, {I(rpc), I(0x0401), I(5)}).returned, 1);
  EXPECT_EQ(Call("NetSendMessage", 4, {I(rpc), I(0x0402), I(7), I(9)}).returned, 1);
  EXPECT_EQ(Call("NetEnvoieBuffer", 0, {I(rpc), T("abc")}).Boolean(), 1);
  EXPECT_EQ(Call("NetSendBuffer", 1, {I(rpc), T("xy"), I(77)}).Boolean(), 1);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (gDelivered.size() < 5 && std::chrono::steady_clock::now() < deadline) {
    kvp::MSG message{};
    while (kvp::PeekMessageA(&message, nullptr, 0, 0, kvp::PM_REMOVE))
      kvp::DispatchMessageA(&message);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  // Gone first, so that a copy this thread never took answers 0 and frees
  // the session before the connection closes.
  kvp::DestroyWindow(window);
  kvp::UnregisterClassA("CommDeliveryWindow", nullptr);
  EXPECT_EQ(Call("NetDisconnect", 0, {I(rpc)}).returned, 1);
  ASSERT_EQ(gDelivered.size(), 5u) << "not every message or buffer reached the window";
  auto find = [](kvp::UINT message, uintptr_t dataWord) -> const Delivered* {
    for (const Delivered& d : gDelivered)
      if (d.message == message && d.dataWord == dataWord) return &d;
    return nullptr;
  };
  const kvp::UINT named = kvp::RegisterWindowMessageA("KV_LANGUAGE_NOTICE");
  const Delivered* notice = find(named, 0);
  ASSERT_NE(notice, nullptr) << "the named message came under another number";
  EXPECT_EQ(notice->wParam, 0u);
  EXPECT_EQ(notice->lParam, 0);
  const Delivered* withWord = find(0x0401, 0);
  ASSERT_NE(withWord, nullptr);
  EXPECT_EQ(withWord->wParam, 5u);
  EXPECT_EQ(withWord->lParam, 0);
  const Delivered* both = find(0x0402, 0);
  ASSERT_NE(both, nullptr);
  EXPECT_EQ(both->wParam, 7u);
  EXPECT_EQ(both->lParam, 9);
  const Delivered* plain = find(kvp::WM_COPYDATA, 0);
  ASSERT_NE(plain, nullptr) << "the buffer without a data word";
  EXPECT_EQ(plain->bytes, std::string("abc", 4)) << "the text and its zero";
  const Delivered* worded = find(kvp::WM_COPYDATA, 77);
  ASSERT_NE(worded, nullptr);
  EXPECT_EQ(worded->bytes, std::string("xy", 3));
}

TEST_F(NetFunctions, UnknownIdentifiersGiveNeutralResults) {
  for (int32_t id : {0, -1, 12345, INT32_MAX}) {
    EXPECT_EQ(Call("NetEndServer", 0, {I(id)}).Boolean(), 0);
    EXPECT_EQ(Call("NetRemoteMessageBox", 0, {I(id), T("t"), T("c"), I(0)}).Integer(), 0);
    EXPECT_EQ(Call("NetSendBuffer", 0, {I(id), T("x")}).Boolean(), 0);
    EXPECT_EQ(Call("NetSendFile", 0, {I(id), T("a"), T("b")}).Boolean(), 0);
    EXPECT_EQ(Call("NetGetFile", 0, {I(id), T("a"), T("b")}).Boolean(), 0);
    EXPECT_EQ(Call("NetSendMessage", 0, {I(id), I(1)}).returned, 0);
    EXPECT_EQ(Call("NetExecute", 0, {I(id), T("/bin/true")}).returned, 0);
    EXPECT_EQ(Call("NetDisconnect", 0, {I(id)}).returned, 0);
  }
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(NetFunctions, RefusedStartsAndConnections) {
  EXPECT_EQ(Call("NetStartServer", 2, {I(2), I(0), I(FreePort())}).Integer(), 0) << "kind 2";
  EXPECT_EQ(Call("NetStartServer", 2, {I(0), I(0), I(70000)}).Integer(), 0);
  EXPECT_EQ(Call("NetStartServer", 2, {I(0), I(0), I(-5)}).Integer(), 0);
  const int32_t closed = FreePort();
  EXPECT_EQ(Connect(0, closed), 0) << "nothing listens";
  EXPECT_EQ(Call("NetConnect", 3, {T("127.0.0.1"), I(5), T("u"), T("p"), I(0), I(100), I(closed)})
                .Integer(),
            0);
  // A result type the host does not expect is refused and nothing starts.
  const int32_t port = FreePort();
  std::optional<CallOutcome> refused =
      library_.CallByName("NetStartServer", 2, {I(0), I(0), I(port)}, ResultArea{6, 64});
  ASSERT_TRUE(refused.has_value());
  EXPECT_EQ(refused->returned, 0);
  EXPECT_FALSE(Listening(port)) << "a server the program cannot name";
  refused = library_.CallByName("NetStartServer", 2, {I(0), I(0), I(port)}, ResultArea{2, 3});
  ASSERT_TRUE(refused.has_value());
  EXPECT_EQ(refused->returned, 0);
  EXPECT_FALSE(Listening(port));
}

// The program's client asks for the host runtime in its process: without
// kvhost's module loaded, NetConnect fails; with it, it connects.
TEST_F(NetFunctions, ConnectionNeedsTheHostRuntime) {
  const int32_t port = FreePort();
  ASSERT_NE(StartServer(0, port), 0);
  ASSERT_TRUE(kvp::FreeLibrary(host_));
  host_ = nullptr;
  ASSERT_EQ(kvp::GetModuleHandleA("kvhost.DLL"), nullptr)
      << "libkvhost.so stays loaded: this test cannot see the check";
  EXPECT_EQ(Connect(0, port), 0);
  host_ = kvp::LoadLibraryA("kvhost.DLL");
  ASSERT_NE(host_, nullptr);
  EXPECT_NE(Connect(0, port), 0);
}

// Command 2 stops the servers and closes the connections the program left
// open; the ports are free again and the library's threads are gone (the
// fixture checks the threads and blocks).
TEST_F(NetFunctions, DestroyingTheInstanceClosesWhatIsLeft) {
  const int32_t a = FreePort(), b = FreePort();
  ASSERT_NE(StartServer(0, a), 0);
  ASSERT_NE(StartServer(1, b), 0);
  ASSERT_NE(Connect(0, a), 0);
  ASSERT_NE(Connect(1, b), 0);
  ASSERT_NE(Connect(0, a), 0);
  EXPECT_TRUE(library_.DestroyInstance());
  EXPECT_FALSE(Listening(a));
  EXPECT_FALSE(Listening(b));
}

// The default ports: 2000 + kind for the server and the connection alike.
// Only this test listens there (the suite's resource lock).
TEST_F(NetFunctions, DefaultPortsAreTwoThousandPlusKind) {
  ASSERT_FALSE(Listening(2001)) << "something else listens on 2001";
  const int32_t server = Call(
                             "NetD\xe9"
                             "marreServeur",
                             0, {I(1)})
                             .Integer();
  ASSERT_NE(server, 0);
  EXPECT_TRUE(Listening(2001));
  const int32_t ftp =
      Call("NetConnecte", 0, {T("127.0.0.1"), I(1), T("alice"), T("Secret")}).Integer();
  EXPECT_NE(ftp, 0);
  // The server's mode is 0 unless given: a connection that names mode 0
  // reaches it, as the one above with the client's default mode did.
  EXPECT_NE(
      Call("NetConnect", 3, {T("127.0.0.1"), I(1), T("alice"), T("Secret"), I(0), I(2000), I(2001)})
          .Integer(),
      0);
  EXPECT_EQ(Call("NetConnect", 2, {T("127.0.0.1"), I(0), T("alice"), T("Secret"), I(0), I(200)})
                .Integer(),
            0)
      << "nothing on 2000";
  EXPECT_EQ(Call("NetEndServer", 0, {I(server)}).Boolean(), 1);
  EXPECT_FALSE(Listening(2001));
}

}  // namespace
}  // namespace commcmd

namespace commcmd {
namespace {

TEST_F(NetFunctions, WrongPasswordIsRefused) {
  const int32_t port = FreePort();
  ASSERT_NE(StartServer(0, port), 0);
  EXPECT_EQ(
      Call("NetConnect", 3, {T("127.0.0.1"), I(0), T("alice"), T("wrong"), I(0), I(2000), I(port)})
          .Integer(),
      0);
  EXPECT_EQ(Call("NetConnect", 3,
                 {T("127.0.0.1"), I(0), T("nobody"), T("Secret"), I(0), I(2000), I(port)})
                .Integer(),
            0);
  for (const std::string& odd :
       {std::string(5000, 'A'), std::string("C:\\rnd\\*.*"), std::string()}) {
    EXPECT_EQ(
        Call("NetConnect", 3, {T("127.0.0.1"), I(0), T(odd), T("Secret"), I(0), I(2000), I(port)})
            .Integer(),
        0);
    EXPECT_EQ(
        Call("NetConnect", 3, {T("127.0.0.1"), I(0), T("alice"), T(odd), I(0), I(2000), I(port)})
            .Integer(),
        0);
  }
  EXPECT_NE(Connect(0, port), 0) << "the server goes on";
}

}  // namespace
}  // namespace commcmd
