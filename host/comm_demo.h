// `kvhost comm demo`: kvcomm driven as a program of the language drives it,
// through DLL_bCommande and the language functions by name.
#pragma once

namespace kvhost {

// Starts a call server and a file server on loopback, connects to both,
// calls a remote function, sends and fetches a file with progress, lists a
// remote directory and the remote drives, reads a Maildir through the mail
// functions and writes to a pseudo-terminal port; everything lives in a
// temporary directory that goes at the end. 0 when every step did what it
// should, 1 otherwise.
int CommDemoCommand();

}  // namespace kvhost
