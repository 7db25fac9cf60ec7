// The SERIE_bs language functions through CallBlocks: opening with the
// profile's line settings, message 1, line settings and handshakes,
// escapes, and the table's bounds.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <climits>
#include <fstream>
#include <string>

#include "platform/commport/comm_state.h"
#include "platform/kernel/files.h"
#include "tests/comm_serial/serial_fixture.h"

namespace {

using commtest::Outcome;
using commtest::SerialTest;
using commtest::Text;

tcflag_t Framing(const termios& t) {
  return t.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
}

TEST_F(SerialTest, ProfileEntrySetsTheLineWhenTheDeviceOpens) {
  WritePorts({{"COM3:", "19200,e,7,2"}});
  ASSERT_TRUE(Open(3));
  ASSERT_TRUE(device_.settings.has_value());
  EXPECT_EQ(Framing(*device_.settings), tcflag_t{CS7 | PARENB | CSTOPB});
  EXPECT_EQ(cfgetospeed(&*device_.settings), speed_t{B19200});
}

TEST_F(SerialTest, AParityLetterOfTheWrongCaseKeepsThePortsParity) {
  // The device already runs odd parity; "N" is not "n".
  WritePorts({{"COM3:", "9600,N,8,1"}});
  termios odd{};
  cfmakeraw(&odd);
  odd.c_cflag = (odd.c_cflag & ~CSIZE) | CS7 | PARENB | PARODD;
  cfsetospeed(&odd, B2400);
  cfsetispeed(&odd, B2400);
  device_.settings = odd;
  ASSERT_TRUE(Open(3));
  EXPECT_EQ(Framing(*device_.settings), tcflag_t{CS8 | PARENB | PARODD});
  EXPECT_EQ(cfgetospeed(&*device_.settings), speed_t{B9600});
}

TEST_F(SerialTest, SettingsTheLineCannotTakeAnswerFalse) {
  WritePorts({{"COM3:", "12345,n,8,1"}});
  EXPECT_FALSE(Open(3));
  EXPECT_NE(Handle(3), kvp::INVALID_HANDLE_VALUE) << "the port stays open as it was";
}

TEST_F(SerialTest, AMissingEntryOpensAtTheDefaultsAndReportsMessageOne) {
  WritePorts({});
  Outcome out = Run(SERIE_bsOuvre, {3, 0, 0});
  EXPECT_EQ(out.returned, 0);
  EXPECT_EQ(out.Boolean(), 0);
  EXPECT_EQ(out.resultType, 3);
  ASSERT_TRUE(out.reported);
  EXPECT_EQ(out.kind, 1);
  EXPECT_EQ(out.message, 1u);
  EXPECT_EQ(out.french,
            "Aucune configuration du port COM3 n'a \xe9t\xe9 trouv\xe9"
            "e.\nLa configuration par "
            "d\xe9"
            "faut est : \n9600 Bauds,\n8 bits de donn\xe9"
            "es, pas de parit\xe9, un bit "
            "stop.");
  EXPECT_EQ(out.english,
            "Port COM3 configuration not found.\nDefault configuration is : \n9600 Bauds,\n8 data "
            "bits, no parity, 1 bit stop.");
  EXPECT_NE(Handle(3), kvp::INVALID_HANDLE_VALUE);
  EXPECT_EQ(Framing(*device_.settings), tcflag_t{CS8});
  EXPECT_EQ(cfgetospeed(&*device_.settings), speed_t{B9600});
}

TEST_F(SerialTest, LptPortsOpenTheirDeviceWithoutLineSettings) {
  WritePorts({});
  Outcome out = Run(SERIE_bsOuvre, {-2, 0, 0});
  EXPECT_EQ(out.Boolean(), 1);
  EXPECT_FALSE(out.reported);
  EXPECT_NE(Handle(-2), kvp::INVALID_HANDLE_VALUE);
  EXPECT_TRUE(device_.applied.empty());
  // Nothing has arrived on a printer port, and it has no line to set.
  EXPECT_EQ(Run(SERIE_bsDansFileEntree, {-2}).Integer(), 0);
  EXPECT_EQ(Run(SERIE_bsFixeParametre, {-2, 9600, 0, 8, 0}).Boolean(), 0);
  Outcome written = Run(SERIE_bsEcrit, {-2, Text{"page"}});
  EXPECT_EQ(written.Integer(), 4);
  std::ifstream printed(dir_.File("printer"));
  std::string text;
  std::getline(printed, text);
  EXPECT_EQ(text, "page");
}

TEST_F(SerialTest, UnconfiguredPortsNeverReachARealDevice) {
  WritePorts({{"COM1:", "9600,n,8,1"}});
  EXPECT_FALSE(Open(1));  // COM1 would be /dev/ttyS0, the console
  EXPECT_FALSE(Open(-1));
  EXPECT_FALSE(Open(0));
  EXPECT_EQ(Handle(1), kvp::INVALID_HANDLE_VALUE);
}

TEST_F(SerialTest, PortsOutsideTheTableAreRefusedEverywhere) {
  WritePorts({{"COM3:", "9600,n,8,1"}});
  for (int32_t port : {32, 33, -33, INT_MAX, INT_MIN, 1000}) {
    EXPECT_EQ(Run(SERIE_bsOuvre, {port, 0, 0}).Boolean(), 0) << port;
    EXPECT_EQ(Run(SERIE_bsFerme, {port}).returned, 1) << port;
    EXPECT_EQ(Run(SERIE_bsFixeParametre, {port, 9600, 0, 8, 0}).Boolean(), 0);
    EXPECT_EQ(Run(SERIE_bsEchap, {port, Text{"SETDTR"}}).Boolean(), 0);
    Outcome read = Run(SERIE_bsLit, {port, 10});
    EXPECT_EQ(read.resultLength, 0u);
    EXPECT_TRUE(read.terminated);
    EXPECT_EQ(Run(SERIE_bsEcrit, {port, Text{"x"}}).Integer(), 0);
    EXPECT_EQ(Run(SERIE_bsDansFileEntree, {port}).Integer(), 0);
    EXPECT_EQ(Run(SERIE_bsDansFileSortie, {port}).Integer(), 0);
  }
  for (void* entry : instance_.ports) EXPECT_EQ(entry, kvp::INVALID_HANDLE_VALUE);
}

TEST_F(SerialTest, ReopeningAnOpenPortClosesItsOldHandle) {
  WritePorts({{"COM3:", "9600,n,8,1"}});
  ASSERT_TRUE(Open(3));
  void* old = Handle(3);
  ASSERT_TRUE(Open(3)) << "the exclusive open needs the old handle gone";
  EXPECT_NE(Handle(3), old);
  EXPECT_FALSE(kvp::CloseHandle(old)) << "the old handle was closed";
}

TEST_F(SerialTest, ClosingFreesTheEntryAndAlwaysSucceeds) {
  WritePorts({{"COM3:", "9600,n,8,1"}});
  ASSERT_TRUE(Open(3));
  void* handle = Handle(3);
  EXPECT_EQ(Run(SERIE_bsFerme, {3}).returned, 1);
  EXPECT_EQ(Handle(3), kvp::INVALID_HANDLE_VALUE);
  EXPECT_FALSE(kvp::CloseHandle(handle));
  EXPECT_EQ(Run(SERIE_bsFerme, {3}).returned, 1);
}

TEST_F(SerialTest, OtherSyntaxesGiveZeroWithoutAReport) {
  WritePorts({{"COM3:", "9600,n,8,1"}});
  EXPECT_EQ(Run(SERIE_bsOuvre, {3, 0, 0}, 1).returned, 0);
  EXPECT_EQ(Handle(3), kvp::INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Open(3));
  EXPECT_EQ(Run(SERIE_bsFixeParametre, {3, 9600, 0, 8, 0, 0, 0, 0, 0}, 4).returned, 0);
  EXPECT_EQ(Run(SERIE_bsFixeParametre, {3, 9600, 0, 8, 0}, -1).returned, 0);
  EXPECT_EQ(Run(SERIE_bsLit, {3, 1}, 1).returned, 0);
  EXPECT_EQ(Run(SERIE_bsEchap, {3, Text{"SETDTR"}}, 1).returned, 0);
  EXPECT_EQ(Run(SERIE_bsDansFileSortie, {3}, 2).returned, 0);
  EXPECT_EQ(Run(SERIE_bsFerme, {3}, 1).returned, 0);
  EXPECT_NE(Handle(3), kvp::INVALID_HANDLE_VALUE);
  EXPECT_EQ(SERIE_bsOuvre(nullptr), 0);
}

TEST_F(SerialTest, LanguageParityOneIsEvenAndTwoIsOdd) {
  WritePorts({{"COM3:", "9600,n,8,1"}});
  ASSERT_TRUE(Open(3));
  ASSERT_EQ(Run(SERIE_bsFixeParametre, {3, 4800, 1, 7, 0}).Boolean(), 1);
  EXPECT_EQ(Framing(*device_.settings), tcflag_t{CS7 | PARENB});
  EXPECT_EQ(cfgetospeed(&*device_.settings), speed_t{B4800});
  ASSERT_EQ(Run(SERIE_bsFixeParametre, {3, 38400, 2, 8, 2}).Boolean(), 1);
  EXPECT_EQ(Framing(*device_.settings), tcflag_t{CS8 | PARENB | PARODD | CSTOPB});
  ASSERT_EQ(Run(SERIE_bsFixeParametre, {3, 9600, 3, 8, 0}).Boolean(), 1);
  EXPECT_EQ(Framing(*device_.settings), tcflag_t{CS8 | PARENB | PARODD | CMSPAR});
  // Parity checking and binary mode are on, XON 17 and XOFF 19.
  EXPECT_NE(device_.settings->c_iflag & INPCK, 0u);
  EXPECT_EQ(device_.settings->c_cc[VSTART], 17);
  EXPECT_EQ(device_.settings->c_cc[VSTOP], 19);
  kvp::DCB dcb;
  ASSERT_TRUE(kvp::GetCommState(Handle(3), &dcb));
  EXPECT_EQ(dcb.XonLim, 100);
  EXPECT_EQ(dcb.XoffLim, 100);
  EXPECT_EQ(dcb.fBinary, 1u);
}

TEST_F(SerialTest, ValuesOutsideTheSettingsAreRefusedNotCut) {
  WritePorts({{"COM3:", "9600,n,8,1"}});
  ASSERT_TRUE(Open(3));
  const size_t before = device_.applied.size();
  EXPECT_EQ(Run(SERIE_bsFixeParametre, {3, 12345, 0, 8, 0}).Boolean(), 0);
  EXPECT_EQ(Run(SERIE_bsFixeParametre, {3, 9600, 0, 264, 0}).Boolean(), 0);  // 264 & 0xFF is 8
  EXPECT_EQ(Run(SERIE_bsFixeParametre, {3, -9600, 0, 8, 0}).Boolean(), 0);
  EXPECT_EQ(Run(SERIE_bsFixeParametre, {3, 9600, 7, 8, 0}).Boolean(), 0);
  EXPECT_EQ(Run(SERIE_bsFixeParametre, {3, 9600, 0, 8, 1}).Boolean(), 0);  // 1.5 with 8 bits
  EXPECT_EQ(device_.applied.size(), before);
  EXPECT_EQ(Run(SERIE_bsFixeParametre, {4, 9600, 0, 8, 0}).Boolean(), 0) << "COM4 is not open";
}

TEST_F(SerialTest, HandshakesOfEachSyntax) {
  WritePorts({{"COM3:", "9600,n,8,1"}});
  ASSERT_TRUE(Open(3));
  kvp::DCB dcb;
  // Syntax 0: no handshake, DTR and RTS raised.
  device_.lineChanges.clear();
  ASSERT_EQ(Run(SERIE_bsFixeParametre, {3, 9600, 0, 8, 0}).Boolean(), 1);
  EXPECT_EQ(device_.settings->c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(device_.settings->c_iflag & (IXON | IXOFF), 0u);
  EXPECT_TRUE(device_.LastLine(TIOCM_DTR, true));
  EXPECT_TRUE(device_.LastLine(TIOCM_RTS, true));
  // Syntax 1: DSR/DTR.
  ASSERT_EQ(Run(SERIE_bsFixeParametre, {3, 9600, 0, 8, 0, 1}, 1).Boolean(), 1);
  ASSERT_TRUE(kvp::GetCommState(Handle(3), &dcb));
  EXPECT_EQ(dcb.fOutxDsrFlow, 1u);
  EXPECT_EQ(dcb.fDtrControl, kvp::DTR_CONTROL_HANDSHAKE);
  EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
  // Syntax 2: RTS/CTS as well.
  ASSERT_EQ(Run(SERIE_bsFixeParametre, {3, 9600, 0, 8, 0, 0, 1}, 2).Boolean(), 1);
  EXPECT_NE(device_.settings->c_cflag & CRTSCTS, 0u);
  ASSERT_TRUE(kvp::GetCommState(Handle(3), &dcb));
  EXPECT_EQ(dcb.fOutxCtsFlow, 1u);
  EXPECT_EQ(dcb.fRtsControl, kvp::RTS_CONTROL_HANDSHAKE);
  EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
  // Syntax 3: XON/XOFF from the lowest bit.
  ASSERT_EQ(Run(SERIE_bsFixeParametre, {3, 9600, 0, 8, 0, 0, 0, 3}, 3).Boolean(), 1);
  EXPECT_EQ(device_.settings->c_iflag & (IXON | IXOFF), tcflag_t{IXON | IXOFF});
  EXPECT_EQ(device_.settings->c_cflag & CRTSCTS, 0u);
  ASSERT_EQ(Run(SERIE_bsFixeParametre, {3, 9600, 0, 8, 0, 0, 0, 2}, 3).Boolean(), 1);
  EXPECT_EQ(device_.settings->c_iflag & (IXON | IXOFF), 0u);
}

TEST_F(SerialTest, EscapesAreComparedWithoutCase) {
  WritePorts({{"COM3:", "9600,n,8,1"}});
  ASSERT_TRUE(Open(3));
  device_.lineChanges.clear();
  EXPECT_EQ(Run(SERIE_bsEchap, {3, Text{"setdtr"}}).Boolean(), 1);
  EXPECT_TRUE(device_.LastLine(TIOCM_DTR, true));
  EXPECT_EQ(Run(SERIE_bsEchap, {3, Text{"ClrDtr"}}).Boolean(), 1);
  EXPECT_TRUE(device_.LastLine(TIOCM_DTR, false));
  EXPECT_EQ(Run(SERIE_bsEchap, {3, Text{"SETRTS"}}).Boolean(), 1);
  EXPECT_TRUE(device_.LastLine(TIOCM_RTS, true));
  EXPECT_EQ(Run(SERIE_bsEchap, {3, Text{"clrrts"}}).Boolean(), 1);
  EXPECT_TRUE(device_.LastLine(TIOCM_RTS, false));
  EXPECT_EQ(Run(SERIE_bsEchap, {3, Text{"SETXOFF"}}).Boolean(), 1);
  EXPECT_EQ(Run(SERIE_bsEchap, {3, Text{"setxon"}}).Boolean(), 1);
  ASSERT_EQ(device_.flows.size(), 2u);
  EXPECT_EQ(device_.flows[0], TCOOFF);
  EXPECT_EQ(device_.flows[1], TCOON);
  EXPECT_EQ(device_.lineChanges.size(), 4u);
  for (const char* other : {"BREAK", "SETBREAK", "SETDTR ", "", "SETD"}) {
    EXPECT_EQ(Run(SERIE_bsEchap, {3, Text{other}}).Boolean(), 0) << other;
  }
  EXPECT_TRUE(device_.breaks.empty());
  EXPECT_EQ(device_.lineChanges.size(), 4u);
  EXPECT_EQ(Run(SERIE_bsEchap, {5, Text{"SETDTR"}}).Boolean(), 0);
}

TEST_F(SerialTest, ResultsHonourThePresetType) {
  WritePorts({{"COM3:", "9600,n,8,1"}});
  Outcome refused = Run(SERIE_bsOuvre, {3, 0, 0}, 0, kResultText);
  EXPECT_EQ(refused.returned, 0);
  EXPECT_EQ(refused.resultLength, 0u);
  Outcome boolean = Run(SERIE_bsOuvre, {3, 0, 0}, 0, 3);
  EXPECT_EQ(boolean.Boolean(), 1);
  EXPECT_EQ(boolean.resultLength, 2u);
  EXPECT_EQ(Run(SERIE_bsLit, {3, 4}, 0, kResultInt).returned, 0);
  EXPECT_EQ(Run(SERIE_bsDansFileEntree, {3}, 0, kResultText).returned, 0);
}

}  // namespace
