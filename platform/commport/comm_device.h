// The seam between the communications-port functions and the device: every
// operation on a port's terminal goes through one CommDeviceOps object. The
// default one makes the system calls; a test installs its own to record the
// settings and control-line changes (pseudo-terminals keep neither parity
// nor modem lines, and answer ENOTTY to the modem-line ioctls).
#pragma once
#include <termios.h>

#include "platform/commport/comm_state.h"

namespace kvp {

class KVP_API CommDeviceOps {
 public:
  virtual ~CommDeviceOps();
  // Each returns 0 or an errno value.
  virtual int GetAttributes(int fd, termios* settings);
  virtual int SetAttributes(int fd, const termios& settings);
  // TIOCM_DTR and/or TIOCM_RTS raised (TIOCMBIS) or lowered (TIOCMBIC).
  virtual int SetModemLines(int fd, int lines, bool raise);
  virtual int SetBreak(int fd, bool on);
  // tcflow: TCOOFF, TCOON, TCIOFF, TCION.
  virtual int Flow(int fd, int action);
  virtual int QueueCounts(int fd, DWORD* input, DWORD* output);
};

// Installs the operations every port uses from now on (null restores the
// system calls); returns the previous ones. The object must outlive its use.
KVP_API CommDeviceOps* SetCommDeviceOps(CommDeviceOps* ops);

// The line settings translated to and from termios (used by the port
// functions; public so that the translation can be checked on its own).
// ToTermios starts from `settings` and changes only the members it owns;
// false for settings termios cannot express.
KVP_API bool CommStateToTermios(const DCB& dcb, termios& settings);
KVP_API void CommStateFromTermios(const termios& settings, DCB& dcb);

}  // namespace kvp
