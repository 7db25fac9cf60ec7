// Internal: where profile files live and how their names are matched.
#pragma once
#include <string>

namespace kvp::detail {

// $KV_WINDIR; else $XDG_CONFIG_HOME/kv; else $HOME/.config/kv (the home
// directory from the password database when HOME is unset). No trailing '/'.
std::string WindowsDirectory();

struct ProfileLocation {
  std::string directory;  // the folder the file is (or would be) in
  std::string path;       // the file: an existing one whose name matches, or the name as given
  bool inWindowsDirectory = false;
};

// A bare name (no '/') is looked up in the Windows directory, any other name
// where it says. Within its folder the file name is matched without regard
// to case, so "KVDB4XX.INI" finds "kvdb4xx.ini"; an exact match wins, and
// among several case variants the first in byte order is taken.
ProfileLocation LocateProfile(const char* fileName);

}  // namespace kvp::detail
