// kvxbase loaded at run time, as the host loads it: the entry points are
// taken by name from the shared library.
#pragma once
#include <string>

#include "kv/xbase.h"

namespace kvhost {

struct XbaseBinding {
  void* module = nullptr;
  decltype(&::KV5InitInstance) KV5InitInstance = nullptr;
  decltype(&::XBDTERM) XBDTERM = nullptr;
  decltype(&::XBESCODE) XBESCODE = nullptr;
  decltype(&::XBDDOPENX) XBDDOPENX = nullptr;
  decltype(&::XBDDCLOSE) XBDDCLOSE = nullptr;
  decltype(&::XBDDINFO) XBDDINFO = nullptr;
  decltype(&::XBDDFINFO) XBDDFINFO = nullptr;
  decltype(&::XBDDSIZE) XBDDSIZE = nullptr;
  decltype(&::XBDDLUD) XBDDLUD = nullptr;
  decltype(&::XBDDRGET) XBDDRGET = nullptr;
  decltype(&::XBDDRINFO) XBDDRINFO = nullptr;
  decltype(&::XBDDFGET) XBDDFGET = nullptr;
  decltype(&::XBDDFGETS) XBDDFGETS = nullptr;
  decltype(&::XBCDSTYLE) XBCDSTYLE = nullptr;
  decltype(&::XBCDGSTYLE) XBCDGSTYLE = nullptr;
  decltype(&::XBCDS2S) XBCDS2S = nullptr;
  decltype(&::XBCDS2LX) XBCDS2LX = nullptr;
  decltype(&::XBCDS2DAY) XBCDS2DAY = nullptr;
  decltype(&::XBDXEVAL) XBDXEVAL = nullptr;
  decltype(&::XBMFREE) XBMFREE = nullptr;
  decltype(&::XBDNCREATE) XBDNCREATE = nullptr;
  decltype(&::XBDNOPENX) XBDNOPENX = nullptr;
  decltype(&::XBDNCLOSE) XBDNCLOSE = nullptr;
  decltype(&::XBDNKMAKE) XBDNKMAKE = nullptr;
  decltype(&::XBDNKADD) XBDNKADD = nullptr;
  decltype(&::XBDNKFIND) XBDNKFIND = nullptr;
  decltype(&::XBDNKTOP) XBDNKTOP = nullptr;
  decltype(&::XBDNKBOT) XBDNKBOT = nullptr;
  decltype(&::XBDNKNEXT) XBDNKNEXT = nullptr;
  decltype(&::XBDNKPREV) XBDNKPREV = nullptr;
  decltype(&::XBDDRLOCK) XBDDRLOCK = nullptr;
  decltype(&::XBDDCREATE) XBDDCREATE = nullptr;
  decltype(&::XBDDFPUT) XBDDFPUT = nullptr;
  decltype(&::XBDDRPUT) XBDDRPUT = nullptr;
  decltype(&::XBDDRDEL) XBDDRDEL = nullptr;
  decltype(&::XBDDPACK) XBDDPACK = nullptr;

  // The index builds and the MDX calls around them, bound by
  // LoadIndexBuilds only where they are used, so that the other tools run
  // on an engine without them.
  decltype(&::XBDNINDEX) XBDNINDEX = nullptr;
  decltype(&::XBDIINDEX) XBDIINDEX = nullptr;
  decltype(&::XBDCINDEX) XBDCINDEX = nullptr;
  decltype(&::XBDMTINDEX) XBDMTINDEX = nullptr;
  decltype(&::XBDMCREATE) XBDMCREATE = nullptr;
  decltype(&::XBDMOPENX) XBDMOPENX = nullptr;
  decltype(&::XBDMCLOSE) XBDMCLOSE = nullptr;

  // Loads the library and every entry point; on failure `error` says which.
  bool Load(std::string& error);
  // After Load: binds the index builds; on failure `error` says which.
  bool LoadIndexBuilds(std::string& error);
  void Unload();
};

}  // namespace kvhost
