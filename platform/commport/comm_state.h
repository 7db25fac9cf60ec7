// Communications ports (used by kvcomm's serial functions): opening COM and
// LPT devices, their line settings, control lines and queue counts, in the
// shape of the Windows communications functions, over Linux termios.
//
// Port names map to devices through one table (MapCommDeviceName): COMn is
// /dev/ttyS(n-1) and LPTn /dev/lp(n-1) unless the "Ports" section of the
// system profile names another device under the key "COMn.Device" (or
// "LPTn.Device"). Setting KV_COMM_CONFIGURED_ONLY=1 in the environment turns
// the defaults off, so that a port without such a key never opens a real
// device (the tests run with it: COM1 may be the machine's console).
#pragma once
#include "platform/kernel/win_types.h"

namespace kvp {

// Parity codes of the device control block.
inline constexpr BYTE NOPARITY = 0;
inline constexpr BYTE ODDPARITY = 1;
inline constexpr BYTE EVENPARITY = 2;
inline constexpr BYTE MARKPARITY = 3;
inline constexpr BYTE SPACEPARITY = 4;

// Stop-bit codes.
inline constexpr BYTE ONESTOPBIT = 0;
inline constexpr BYTE ONE5STOPBITS = 1;
inline constexpr BYTE TWOSTOPBITS = 2;

// DTR and RTS control modes.
inline constexpr DWORD DTR_CONTROL_DISABLE = 0;
inline constexpr DWORD DTR_CONTROL_ENABLE = 1;
inline constexpr DWORD DTR_CONTROL_HANDSHAKE = 2;
inline constexpr DWORD RTS_CONTROL_DISABLE = 0;
inline constexpr DWORD RTS_CONTROL_ENABLE = 1;
inline constexpr DWORD RTS_CONTROL_HANDSHAKE = 2;
inline constexpr DWORD RTS_CONTROL_TOGGLE = 3;

// Escape functions.
inline constexpr DWORD SETXOFF = 1;
inline constexpr DWORD SETXON = 2;
inline constexpr DWORD SETRTS = 3;
inline constexpr DWORD CLRRTS = 4;
inline constexpr DWORD SETDTR = 5;
inline constexpr DWORD CLRDTR = 6;
inline constexpr DWORD RESETDEV = 7;
inline constexpr DWORD SETBREAK = 8;
inline constexpr DWORD CLRBREAK = 9;

// The device control block: the members of the Windows record, as plain
// members (the flags are not packed into one word here; nothing outside the
// process sees this record).
struct DCB {
  DWORD DCBlength = sizeof(DCB);
  DWORD BaudRate = 0;
  DWORD fBinary = 1;
  DWORD fParity = 0;
  DWORD fOutxCtsFlow = 0;
  DWORD fOutxDsrFlow = 0;
  DWORD fDtrControl = DTR_CONTROL_ENABLE;
  DWORD fDsrSensitivity = 0;
  DWORD fTXContinueOnXoff = 0;
  DWORD fOutX = 0;
  DWORD fInX = 0;
  DWORD fErrorChar = 0;
  DWORD fNull = 0;
  DWORD fRtsControl = RTS_CONTROL_ENABLE;
  DWORD fAbortOnError = 0;
  WORD XonLim = 0;
  WORD XoffLim = 0;
  BYTE ByteSize = 8;
  BYTE Parity = NOPARITY;
  BYTE StopBits = ONESTOPBIT;
  char XonChar = 17;
  char XoffChar = 19;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
};

// What ClearCommError reports about the queues.
struct COMSTAT {
  DWORD flags = 0;
  DWORD cbInQue = 0;
  DWORD cbOutQue = 0;
};

// Communication error bits of ClearCommError.
inline constexpr DWORD CE_OVERRUN = 0x0002;
inline constexpr DWORD CE_RXPARITY = 0x0004;
inline constexpr DWORD CE_FRAME = 0x0008;
inline constexpr DWORD CE_BREAK = 0x0010;

// Writes the Linux device that stands for a port name ("COM3", "lpt2",
// optionally with a trailing ':'); returns its length, or 0 with the last
// error set: ERROR_FILE_NOT_FOUND for a name that is no port or a port left
// unconfigured while KV_COMM_CONFIGURED_ONLY is set, ERROR_INSUFFICIENT_BUFFER.
KVP_API DWORD MapCommDeviceName(const char* portName, char* buffer, DWORD size);

// Opens a port by its name, as CreateFileA opens "COM3" on Windows:
// `access` GENERIC_READ | GENERIC_WRITE, `share` must be 0 (a port is never
// shared), `disposition` OPEN_EXISTING. The open is exclusive: another open
// of the same device, in this process or any other, fails with
// ERROR_ACCESS_DENIED (an flock held for the handle's life, and TIOCEXCL on
// terminals). A terminal is put in raw mode with reads that return at once
// with whatever has arrived (possibly nothing). ReadFile, WriteFile and
// CloseHandle work on the handle.
KVP_API HANDLE CreateCommFileA(const char* portName, DWORD access, DWORD share, void* security,
                               DWORD disposition, DWORD flags, HANDLE templateFile);

// The line settings. Termios holds baud rate, framing, parity checking,
// RTS/CTS and XON/XOFF flow and the XON/XOFF characters; the members it has
// no place for (DSR flow, DTR and RTS control modes, the XON and XOFF
// limits) are the ones the last SetCommState gave, since Linux has no DSR/DTR
// flow control and fixed queue thresholds.
KVP_API BOOL GetCommState(HANDLE port, DCB* dcb);

// Applies the settings: fails with ERROR_INVALID_PARAMETER (nothing
// changed) for a baud rate termios has no speed for, a byte size outside 5
// to 8, an unknown parity or stop-bit code, or 1.5 stop bits with more than
// 5 data bits. DTR and RTS are raised or lowered as their control modes say.
KVP_API BOOL SetCommState(HANDLE port, const DCB* dcb);

// Escape functions SETXOFF to CLRBREAK; any other code fails with
// ERROR_INVALID_PARAMETER.
KVP_API BOOL EscapeCommFunction(HANDLE port, DWORD function);

// The bytes waiting in the input and output queues; `errors` receives the
// communication errors since the last call (0: Linux reports none per read).
KVP_API BOOL ClearCommError(HANDLE port, DWORD* errors, COMSTAT* status);

}  // namespace kvp
