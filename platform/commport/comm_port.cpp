// Communications ports over termios: an exclusive open, the line settings,
// the control lines and the queue counts. Every device operation goes
// through the installed CommDeviceOps (the system calls by default).
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

#include "platform/commport/comm_device.h"
#include "platform/kernel/eintr.h"
#include "platform/kernel/errno_map.h"
#include "platform/kernel/file_object.h"
#include "platform/kernel/files.h"

namespace kvp {

namespace detail {

// A port: a file object (ReadFile, WriteFile and CloseHandle take it as
// they are) plus the members of the line settings termios cannot hold.
class CommPortObject : public FileObject {
 public:
  CommPortObject(int fd, bool terminal)
      : FileObject(fd, GENERIC_READ | GENERIC_WRITE, true, false), terminal_(terminal) {}
  bool terminal() const { return terminal_; }
  std::mutex mutex;
  DCB kept;  // the last settings applied

 private:
  const bool terminal_;
};

}  // namespace detail

using detail::CommPortObject;
using detail::LookUpObject;

CommDeviceOps::~CommDeviceOps() = default;

int CommDeviceOps::GetAttributes(int fd, termios* settings) {
  return ::tcgetattr(fd, settings) == 0 ? 0 : errno;
}

int CommDeviceOps::SetAttributes(int fd, const termios& settings) {
  return detail::RetryOnEintr([&] { return ::tcsetattr(fd, TCSANOW, &settings); }) == 0 ? 0 : errno;
}

int CommDeviceOps::SetModemLines(int fd, int lines, bool raise) {
  return ::ioctl(fd, raise ? TIOCMBIS : TIOCMBIC, &lines) == 0 ? 0 : errno;
}

int CommDeviceOps::SetBreak(int fd, bool on) {
  return ::ioctl(fd, on ? TIOCSBRK : TIOCCBRK) == 0 ? 0 : errno;
}

int CommDeviceOps::Flow(int fd, int action) {
  return ::tcflow(fd, action) == 0 ? 0 : errno;
}

int CommDeviceOps::QueueCounts(int fd, DWORD* input, DWORD* output) {
  int in = 0, out = 0;
  if (::ioctl(fd, TIOCINQ, &in) != 0) return errno;
  if (::ioctl(fd, TIOCOUTQ, &out) != 0) return errno;
  *input = in < 0 ? 0 : static_cast<DWORD>(in);
  *output = out < 0 ? 0 : static_cast<DWORD>(out);
  return 0;
}

namespace {

CommDeviceOps& SystemOps() {
  static CommDeviceOps ops;
  return ops;
}

std::atomic<CommDeviceOps*>& InstalledOps() {
  static std::atomic<CommDeviceOps*> ops{nullptr};
  return ops;
}

CommDeviceOps& Ops() {
  CommDeviceOps* ops = InstalledOps().load(std::memory_order_acquire);
  return ops != nullptr ? *ops : SystemOps();
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE_;
}

BOOL FailErrno(int error) {
  detail::SetLastErrorFromErrno(error);
  return FALSE_;
}

// The port behind a handle that is a terminal (the line functions mean
// nothing on a printer port).
std::shared_ptr<CommPortObject> TerminalPort(HANDLE handle) {
  std::shared_ptr<CommPortObject> port = LookUpObject<CommPortObject>(handle);
  if (port && !port->terminal()) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return nullptr;
  }
  return port;
}

int ApplyControlLines(int fd, const DCB& dcb) {
  // Handshake modes leave the line to the driver (RTS) or, lacking DTR
  // flow control on Linux, raised (DTR) so that the peer sees us ready.
  const bool dtr = dcb.fDtrControl != DTR_CONTROL_DISABLE;
  const bool rts = dcb.fRtsControl != RTS_CONTROL_DISABLE;
  if (int e = Ops().SetModemLines(fd, TIOCM_DTR, dtr); e != 0) return e;
  if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) return 0;
  return Ops().SetModemLines(fd, TIOCM_RTS, rts);
}

}  // namespace

CommDeviceOps* SetCommDeviceOps(CommDeviceOps* ops) {
  return InstalledOps().exchange(ops, std::memory_order_acq_rel);
}

HANDLE CreateCommFileA(const char* portName, DWORD access, DWORD share, void* security,
                       DWORD disposition, DWORD flags, HANDLE templateFile) {
  if ((access & (GENERIC_READ | GENERIC_WRITE)) != (GENERIC_READ | GENERIC_WRITE) || share != 0 ||
      disposition != OPEN_EXISTING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  char device[512];
  if (MapCommDeviceName(portName, device, sizeof device) == 0) return INVALID_HANDLE_VALUE;

  // Non-blocking for the open only: a modem line without carrier would
  // otherwise hold it.
  const int fd = detail::RetryOnEintr(
      [&] { return ::open(device, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
  if (fd < 0) {
    detail::SetLastErrorForPath(errno, device);
    return INVALID_HANDLE_VALUE;
  }
  // TIOCEXCL keeps other opens out but not root's; the flock, held for the
  // life of this open file, refuses every other open that asks for it too.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) {
      SetLastError(ERROR_ACCESS_DENIED);
    } else {
      detail::SetLastErrorFromErrno(error);
    }
    return INVALID_HANDLE_VALUE;
  }
  const bool terminal = ::isatty(fd) == 1;
  termios settings{};
  if (terminal) {
    ::ioctl(fd, TIOCEXCL);
    if (int e = Ops().GetAttributes(fd, &settings); e != 0) {
      ::close(fd);
      FailErrno(e);
      return INVALID_HANDLE_VALUE;
    }
  }
  const int status = ::fcntl(fd, F_GETFL);
  if (status >= 0) ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);

  auto port = std::make_shared<CommPortObject>(fd, terminal);
  if (terminal) {
    // Raw mode at the speed and framing the device has.
    DCB dcb;
    CommStateFromTermios(settings, dcb);
    if (dcb.BaudRate == 0) dcb.BaudRate = 9600;
    if (!CommStateToTermios(dcb, settings)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
    }
    if (int e = Ops().SetAttributes(fd, settings); e != 0) {
      FailErrno(e);
      return INVALID_HANDLE_VALUE;
    }
    port->kept = dcb;
  }
  return detail::RegisterObject(std::move(port));
}

BOOL GetCommState(HANDLE handle, DCB* dcb) {
  if (dcb == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::shared_ptr<CommPortObject> port = TerminalPort(handle);
  if (!port) return FALSE_;
  std::lock_guard<std::mutex> guard(port->mutex);
  termios settings{};
  if (int e = Ops().GetAttributes(port->fd(), &settings); e != 0) return FailErrno(e);
  DCB state = port->kept;
  CommStateFromTermios(settings, state);
  // The kernel keeps one switch for both directions of hardware flow: the
  // direction the caller asked for is the one reported.
  if (settings.c_cflag & CRTSCTS) {
    state.fOutxCtsFlow = port->kept.fOutxCtsFlow;
    state.fRtsControl = port->kept.fRtsControl;
  }
  state.DCBlength = sizeof(DCB);
  *dcb = state;
  return TRUE_;
}

BOOL SetCommState(HANDLE handle, const DCB* dcb) {
  if (dcb == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::shared_ptr<CommPortObject> port = TerminalPort(handle);
  if (!port) return FALSE_;
  std::lock_guard<std::mutex> guard(port->mutex);
  termios settings{};
  if (int e = Ops().GetAttributes(port->fd(), &settings); e != 0) return FailErrno(e);
  if (!CommStateToTermios(*dcb, settings)) return Fail(ERROR_INVALID_PARAMETER);
  if (int e = Ops().SetAttributes(port->fd(), settings); e != 0) return FailErrno(e);
  port->kept = *dcb;
  // A line without modem control (a pseudo-terminal, a plain three-wire
  // adapter) takes the settings all the same.
  if (int e = ApplyControlLines(port->fd(), *dcb); e != 0 && e != ENOTTY && e != EINVAL)
    return FailErrno(e);
  return TRUE_;
}

BOOL EscapeCommFunction(HANDLE handle, DWORD function) {
  std::shared_ptr<CommPortObject> port = TerminalPort(handle);
  if (!port) return FALSE_;
  const int fd = port->fd();
  int error = 0;
  switch (function) {
    case SETXOFF:
      error = Ops().Flow(fd, TCOOFF);
      break;  // as if XOFF had arrived
    case SETXON:
      error = Ops().Flow(fd, TCOON);
      break;
    case SETRTS:
      error = Ops().SetModemLines(fd, TIOCM_RTS, true);
      break;
    case CLRRTS:
      error = Ops().SetModemLines(fd, TIOCM_RTS, false);
      break;
    case SETDTR:
      error = Ops().SetModemLines(fd, TIOCM_DTR, true);
      break;
    case CLRDTR:
      error = Ops().SetModemLines(fd, TIOCM_DTR, false);
      break;
    case RESETDEV:
      return TRUE_;  // printer ports only on Windows; nothing to do
    case SETBREAK:
      error = Ops().SetBreak(fd, true);
      break;
    case CLRBREAK:
      error = Ops().SetBreak(fd, false);
      break;
    default:
      return Fail(ERROR_INVALID_PARAMETER);
  }
  return error == 0 ? TRUE_ : FailErrno(error);
}

BOOL ClearCommError(HANDLE handle, DWORD* errors, COMSTAT* status) {
  std::shared_ptr<CommPortObject> port = LookUpObject<CommPortObject>(handle);
  if (!port) return FALSE_;
  if (errors != nullptr) *errors = 0;
  COMSTAT counts;
  if (port->terminal()) {
    if (int e = Ops().QueueCounts(port->fd(), &counts.cbInQue, &counts.cbOutQue); e != 0)
      return FailErrno(e);
  }
  if (status != nullptr) *status = counts;
  return TRUE_;
}

}  // namespace kvp
