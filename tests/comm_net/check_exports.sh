#!/usr/bin/env bash
# Checks that libkvcomm.so exports the socket layer: the C helpers declared
# with KV_API in the header, the classes' members (the assignment operators
# and destructors included), and none of the layer's internal functions.
# Other parts of the library may export more; they are not judged here.
set -euo pipefail
library=${1:?shared library}
header=${2:?public header}

exported=$(nm -DC --defined-only "$library" | awk '$2 ~ /^[TW]$/ {$1 = ""; $2 = ""; sub(/^  /, ""); print}')
status=0
need() {
  if ! grep -qxF -- "$1" <<<"$exported"; then
    echo "not exported: $1"
    status=1
  fi
}

for name in $(grep -oE 'KV_API[^;(]*KV_CALL[[:space:]]+[A-Za-z_][A-Za-z0-9_]*' "$header" | awk '{print $NF}'); do
  need "$name"
done
for member in \
  'clSOCKET::clSOCKET(long)' 'clSOCKET::~clSOCKET()' 'clSOCKET::operator=(clSOCKET const&)' \
  'clSOCKET::nCreate()' 'clSOCKET::nBind(kvp::sockaddr_in*)' 'clSOCKET::nListen()' \
  'clSOCKET::pclAccept()' 'clSOCKET::nConnect(kvp::sockaddr_in const*, long)' \
  'clSOCKET::nSend(char const*, long)' 'clSOCKET::lRecv(char*, long)' 'clSOCKET::nClose()' \
  'clSOCKET::nGetLastError()' \
  'clCONNECTED::nInit()' 'clCONNECTED::pszGetLocalName(char*)' 'clCONNECTED::pszGetIPAddress(char*)' \
  'clCONNECTED::nGetLastError()' 'clCONNECTED::~clCONNECTED()' \
  'clCONNECTED::operator=(clCONNECTED const&)' \
  'clCHANNEL::clCHANNEL(clSOCKET*)' 'clCHANNEL::~clCHANNEL()' 'clCHANNEL::operator=(clCHANNEL const&)' \
  'clCHANNEL::lSend(char const*, long)' 'clCHANNEL::lRecv(char*, long)' 'clCHANNEL::nGetLastError()' \
  'clCLIENT::clCLIENT(void (*)(clCHANNEL*, unsigned long), char const*, long, unsigned int, char const*, char const*, long)' \
  'clCLIENT::~clCLIENT()' 'clCLIENT::operator=(clCLIENT const&)' \
  'clCLIENT::nConnect(char*, long, int)' 'clCLIENT::Service(unsigned long)' \
  'clCLIENT::nDisconnect()' 'clCLIENT::SetUserCtx(void*)' 'clCLIENT::pGetUserCtx()' \
  'clSERVER::clSERVER(void (*)(clCHANNEL*), unsigned int, long)' 'clSERVER::~clSERVER()' \
  'clSERVER::operator=(clSERVER const&)' 'clSERVER::nStart()' 'clSERVER::nStop()'; do
  need "$member"
done
for type in 'unsigned char' 'unsigned short' 'unsigned long' 'short' 'long' 'float' 'double' 'long double'; do
  need "clCHANNEL::operator<<($type)"
  need "clCHANNEL::operator>>($type&)"
done
if grep -E '^(kvnet|kvp)::' <<<"$exported"; then
  echo "internal functions exported (above)"
  status=1
fi
[ "$status" -eq 0 ] && echo "socket layer exports present in $library"
exit "$status"
