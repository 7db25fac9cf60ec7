// Line settings <-> termios. Ports run raw: no line editing, no echo, no
// output processing, reads that return at once with what has arrived.
#include <termios.h>

#include "platform/commport/comm_device.h"

namespace kvp {

namespace {

struct Speed {
  DWORD baud;
  speed_t code;
};

constexpr Speed kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedCode(DWORD baud, speed_t& code) {
  for (const Speed& s : kSpeeds) {
    if (s.baud == baud) {
      code = s.code;
      return true;
    }
  }
  return false;
}

DWORD BaudOf(speed_t code) {
  for (const Speed& s : kSpeeds) {
    if (s.code == code) return s.baud;
  }
  return 0;
}

bool SizeFlag(BYTE size, tcflag_t& flag) {
  switch (size) {
    case 5:
      flag = CS5;
      return true;
    case 6:
      flag = CS6;
      return true;
    case 7:
      flag = CS7;
      return true;
    case 8:
      flag = CS8;
      return true;
    default:
      return false;
  }
}

}  // namespace

bool CommStateToTermios(const DCB& dcb, termios& t) {
  speed_t speed = 0;
  tcflag_t size = 0;
  if (!SpeedCode(dcb.BaudRate, speed) || !SizeFlag(dcb.ByteSize, size)) return false;
  tcflag_t parity = 0;
  switch (dcb.Parity) {
    case NOPARITY:
      break;
    case ODDPARITY:
      parity = PARENB | PARODD;
      break;
    case EVENPARITY:
      parity = PARENB;
      break;
    // Mark and space parity: the parity bit is stuck at 1 or 0.
    case MARKPARITY:
      parity = PARENB | PARODD | CMSPAR;
      break;
    case SPACEPARITY:
      parity = PARENB | CMSPAR;
      break;
    default:
      return false;
  }
  tcflag_t stop = 0;
  switch (dcb.StopBits) {
    case ONESTOPBIT:
      break;
    // A UART sends one and a half stop bits when told "two" with 5 data
    // bits, and has no such setting otherwise.
    case ONE5STOPBITS:
      if (dcb.ByteSize != 5) return false;
      stop = CSTOPB;
      break;
    case TWOSTOPBITS:
      stop = CSTOPB;
      break;
    default:
      return false;
  }

  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                      IXON | IXOFF | IXANY | INPCK | IGNPAR | IUCLC | IMAXBEL);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  t.c_cflag |= size | parity | stop | CREAD | CLOCAL;
  if (dcb.fParity && parity != 0) t.c_iflag |= INPCK;
  // Linux has one switch for both directions of hardware flow control.
  if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) t.c_cflag |= CRTSCTS;
  if (dcb.fOutX) t.c_iflag |= IXON;
  if (dcb.fInX) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  return true;
}

void CommStateFromTermios(const termios& t, DCB& dcb) {
  dcb.BaudRate = BaudOf(cfgetospeed(&t));
  switch (t.c_cflag & CSIZE) {
    case CS5:
      dcb.ByteSize = 5;
      break;
    case CS6:
      dcb.ByteSize = 6;
      break;
    case CS7:
      dcb.ByteSize = 7;
      break;
    default:
      dcb.ByteSize = 8;
      break;
  }
  if ((t.c_cflag & PARENB) == 0) {
    dcb.Parity = NOPARITY;
  } else if (t.c_cflag & CMSPAR) {
    dcb.Parity = (t.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
  } else {
    dcb.Parity = (t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
  }
  if (t.c_cflag & CSTOPB) {
    dcb.StopBits = dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
  } else {
    dcb.StopBits = ONESTOPBIT;
  }
  dcb.fParity = (t.c_iflag & INPCK) ? 1 : 0;
  dcb.fOutxCtsFlow = (t.c_cflag & CRTSCTS) ? 1 : 0;
  dcb.fOutX = (t.c_iflag & IXON) ? 1 : 0;
  dcb.fInX = (t.c_iflag & IXOFF) ? 1 : 0;
  dcb.XonChar = static_cast<char>(t.c_cc[VSTART]);
  dcb.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
}

}  // namespace kvp
